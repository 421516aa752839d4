#include "selection/matcher.h"

#include <cstdint>
#include <vector>

namespace vorneck {
namespace {

// Characters are compared as numbers: a valid UTF-8 sequence gives its code
// point, and every byte that is not part of one gives a value above the
// Unicode range, so that it is one character of its own, equal only to the
// same stray byte.
constexpr std::uint32_t kStrayByteBase = 0x110000;

void Decode(std::string_view text, std::vector<std::uint32_t>& out) {
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        std::uint32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, cp = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, cp = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, cp = b & 0x07, min = 0x10000;
        }
        bool valid = extra > 0;
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not valid.
        if (valid && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
        if (valid) {
            out.push_back(cp);
            i += extra + 1;
        } else {
            out.push_back(kStrayByteBase + b);
            ++i;
        }
    }
}

std::uint32_t FoldAscii(std::uint32_t c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

}  // namespace

// The matcher answers exactly as this recursive definition would, for the
// rest s of the name and the rest p of the pattern:
//   1. p is exactly "*": true;
//   2. s empty: true only when p is empty too;
//   3. p starts with "*": match(s, p without it) or match(s without its first character, p);
//   4. p starts with "?": match of both without their first characters;
//   5. otherwise the first characters must be equal (ASCII letters folded
//      unless case matters) and the rests must match; an exhausted p fails.
// Evaluated as a table over (position in s, position in p), filled from the
// ends backwards, one row of the table at a time: time proportional to
// name length × pattern length, space to pattern length.
bool MatchFileName(std::string_view name, std::string_view pattern, bool matchCase) {
    if (pattern == "*") return true;
    thread_local std::vector<std::uint32_t> s;
    thread_local std::vector<std::uint32_t> p;
    thread_local std::vector<std::uint8_t> next;  // row i + 1
    thread_local std::vector<std::uint8_t> row;   // row i
    Decode(name, s);
    Decode(pattern, p);
    const std::size_t n = s.size();
    const std::size_t m = p.size();
    if (!matchCase) {
        for (auto& c : s) c = FoldAscii(c);
        for (auto& c : p) c = FoldAscii(c);
    }
    // From position m - 1 the rest of the pattern is exactly "*".
    const std::size_t loneStar = (m > 0 && p[m - 1] == '*') ? m - 1 : m + 1;

    // Row n: the name is used up.
    next.assign(m + 1, 0);
    for (std::size_t j = 0; j <= m; ++j) next[j] = (j == m || j == loneStar) ? 1 : 0;
    row.assign(m + 1, 0);
    for (std::size_t i = n; i-- > 0;) {
        row[m] = 0;  // a used-up pattern cannot match a character
        for (std::size_t j = m; j-- > 0;) {
            bool result;
            if (j == loneStar)
                result = true;
            else if (p[j] == '*')
                result = row[j + 1] || next[j];
            else if (p[j] == '?' || p[j] == s[i])
                result = next[j + 1];
            else
                result = false;
            row[j] = result ? 1 : 0;
        }
        std::swap(row, next);
    }
    return next[0] != 0;
}

}  // namespace vorneck
