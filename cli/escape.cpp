// SPDX-License-Identifier: MIT
#include "cli/escape.h"

namespace vorneck {
namespace {

void Hex(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

// Length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return length;
}

// Characters that are not controls in the C0 or C1 sense but still act on
// what a terminal shows: line and paragraph separators, and the marks,
// embeddings, overrides and isolates that reorder bidirectional text (so
// that "evil\u202Etxt.exe" cannot show as "evilexe.txt").
bool ActsOnLayout(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

char32_t CodePoint(std::string_view text, std::size_t i, std::size_t length) {
    const auto byte = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(text[i + k])); };
    if (length == 2) return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    if (length == 3) return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
}

}  // namespace

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
                case '\\': out += "\\\\"; break;
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                default:
                    if (c < 0x20 || c == 0x7F)
                        Hex(out, c);
                    else
                        out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        const std::size_t length = SequenceLength(text, i);
        if (length == 0) {
            Hex(out, c);
            ++i;
        } else if ((length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) ||
                   (length >= 2 && ActsOnLayout(CodePoint(text, i, length)))) {
            // U+0080 to U+009F (the C1 controls, CSI among them), and the
            // characters that break lines or reorder them.
            for (std::size_t k = 0; k < length; ++k) Hex(out, static_cast<unsigned char>(text[i + k]));
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace vorneck
