// SPDX-License-Identifier: MIT
#include "export/text_fields.h"

#include <cstdint>

namespace vorneck {

namespace {

void AppendLatin1(std::string& out, std::uint8_t byte) {
    if (byte < 0x80) {
        out += static_cast<char>(byte);
    } else {
        out += static_cast<char>(0xC0 | (byte >> 6));
        out += static_cast<char>(0x80 | (byte & 0x3F));
    }
}

bool Continuation(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence starting at `at`, or 0.
// Overlong forms, surrogates and code points beyond U+10FFFF are not
// well-formed.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
    const std::size_t left = text.size() - at;
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && Continuation(byte(1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !Continuation(byte(1)) || !Continuation(byte(2))) return 0;
        if (lead == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
        if (lead == 0xED && byte(1) >= 0xA0) return 0;  // surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !Continuation(byte(1)) || !Continuation(byte(2)) || !Continuation(byte(3))) return 0;
        if (lead == 0xF0 && byte(1) < 0x90) return 0;   // overlong
        if (lead == 0xF4 && byte(1) >= 0x90) return 0;  // beyond U+10FFFF
        return 4;
    }
    return 0;
}

}  // namespace

std::string CleanName(std::string_view stored) {
    const std::size_t nul = stored.find('\0');
    if (nul != std::string_view::npos) stored = stored.substr(0, nul);
    std::string out;
    out.reserve(stored.size());
    for (const char c : stored) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) continue;
        out += c;
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const std::size_t last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() * 2);
    for (const char c : latin1) AppendLatin1(out, static_cast<std::uint8_t>(c));
    return out;
}

std::string Latin1ToAscii(std::string_view latin1) {
    std::string out(latin1);
    for (char& c : out)
        if (static_cast<std::uint8_t>(c) >= 0x80) c = '?';
    return out;
}

std::string BytesToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, at);
        if (length == 0) {
            AppendLatin1(out, static_cast<std::uint8_t>(bytes[at]));
            ++at;
        } else {
            out.append(bytes.substr(at, length));
            at += length;
        }
    }
    return out;
}

}  // namespace vorneck
