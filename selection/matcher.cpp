// SPDX-License-Identifier: MIT
#include "selection/matcher.h"

#include <cstdint>
#include <string>
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

bool IsAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Plain glob matching over two character sequences: "*" any run, "?" one
// character. Greedy, going back only to the most recent "*": linear in
// the usual case, proportional to name length × pattern length at worst.
template <typename Seq>
bool Glob(const Seq& s, std::size_t n, const Seq& p, std::size_t m, bool matchCase) {
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t star = m;  // none yet
    std::size_t resume = 0;
    while (i < n) {
        if (j < m && p[j] == '*') {
            star = j++;
            resume = i;
        } else if (j < m && (p[j] == '?' || p[j] == s[i] ||
                             (!matchCase && FoldAscii(static_cast<std::uint32_t>(p[j])) ==
                                                FoldAscii(static_cast<std::uint32_t>(s[i]))))) {
            ++i;
            ++j;
        } else if (star != m) {
            j = star + 1;
            i = ++resume;
        } else {
            return false;
        }
    }
    while (j < m && p[j] == '*') ++j;
    return j == m;
}

}  // namespace

// The matcher answers exactly as this recursive definition would, for the
// rest s of the name and the rest p of the pattern:
//   1. p is exactly "*": true;
//   2. s empty: true only when p is empty too;
//   3. p starts with "*": match(s, p without it) or match(s without its first character, p);
//   4. p starts with "?": match of both without their first characters;
//   5. otherwise the first characters must be equal (ASCII letters folded
//      unless case matters) and the rests must match; an exhausted p fails.
// This is plain glob matching but for one thing: once the name is used up,
// only "" or a lone "*" may be left of the pattern, so a run of two or more
// stars at the end of the pattern needs at least one character. Replacing
// such a run by "?*" gives a pattern that plain glob matching answers
// exactly as the definition does.
bool MatchFileName(std::string_view name, std::string_view pattern, bool matchCase) {
    std::size_t trailingStars = 0;
    while (trailingStars < pattern.size() && pattern[pattern.size() - 1 - trailingStars] == '*') ++trailingStars;
    const bool needsOneMore = trailingStars >= 2;
    const std::size_t body = pattern.size() - (needsOneMore ? trailingStars : 0);

    if (IsAscii(name) && IsAscii(pattern)) {
        if (!needsOneMore) return Glob(name, name.size(), pattern, pattern.size(), matchCase);
        thread_local std::string adjusted;
        adjusted.assign(pattern.substr(0, body));
        adjusted += "?*";
        return Glob(name, name.size(), std::string_view(adjusted), adjusted.size(), matchCase);
    }
    thread_local std::vector<std::uint32_t> s;
    thread_local std::vector<std::uint32_t> p;
    Decode(name, s);
    Decode(pattern.substr(0, body), p);
    if (needsOneMore) {
        p.push_back('?');
        p.push_back('*');
    }
    return Glob(s, s.size(), p, p.size(), matchCase);
}

}  // namespace vorneck
