// SPDX-License-Identifier: MIT
// Bounds-checked, big-endian access to the bytes of one module file.
//
// Every read of module bytes goes through this reader. It only ever sees the
// current file's bytes: a read that would touch a byte outside them yields
// std::nullopt, never memory beyond the file. Offsets are signed 64-bit so that
// sums of 32-bit file offsets (which may be negative in damaged files) cannot
// wrap before they are checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vorneck {

// A byte range after clamping to the file: what lies inside is [offset,
// offset + length). `clipped` is set when the requested range ran past the
// end (or started before the beginning) and was cut; `outside` when nothing
// of it lies inside the file.
struct ClampedRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool clipped = false;
    bool outside = false;
};

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    // No object is larger than PTRDIFF_MAX bytes; saying so lets the
    // compiler see that checked offsets stay in range.
    std::uint64_t size() const {
        if (bytes_.size() > static_cast<std::size_t>(PTRDIFF_MAX)) __builtin_unreachable();
        return bytes_.size();
    }

    // True when all `count` bytes starting at `offset` lie inside the file.
    bool contains(std::int64_t offset, std::uint64_t count) const {
        if (offset < 0) return false;
        const auto start = static_cast<std::uint64_t>(offset);
        return start <= size() && count <= size() - start;
    }

    std::optional<std::uint8_t> u8(std::int64_t offset) const {
        if (!contains(offset, 1)) return std::nullopt;
        return bytes_[static_cast<std::size_t>(offset)];
    }

    std::optional<std::uint16_t> u16be(std::int64_t offset) const {
        if (!contains(offset, 2)) return std::nullopt;
        const auto* p = bytes_.data() + offset;
        return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
    }

    // Little-endian values, as the PC trackers' formats store them.
    std::optional<std::uint16_t> u16le(std::int64_t offset) const {
        if (!contains(offset, 2)) return std::nullopt;
        const auto* p = bytes_.data() + offset;
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }

    std::optional<std::uint32_t> u32le(std::int64_t offset) const {
        if (!contains(offset, 4)) return std::nullopt;
        const auto* p = bytes_.data() + offset;
        return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
               (std::uint32_t{p[3]} << 24);
    }

    // True when the `count` bytes at `offset` are exactly `text`.
    bool matches(std::int64_t offset, std::string_view text) const {
        if (!contains(offset, text.size())) return false;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (bytes_[static_cast<std::size_t>(offset) + i] != static_cast<std::uint8_t>(text[i])) return false;
        return true;
    }

    std::optional<std::int8_t> i8(std::int64_t offset) const {
        const auto v = u8(offset);
        if (!v) return std::nullopt;
        return static_cast<std::int8_t>(*v);
    }

    std::optional<std::uint32_t> u32be(std::int64_t offset) const {
        const auto v = i32be(offset);
        if (!v) return std::nullopt;
        return static_cast<std::uint32_t>(*v);
    }

    // A text field of `width` bytes: up to its first NUL, trailing blanks
    // dropped; the part inside the file when it runs past the end.
    std::string text(std::int64_t offset, std::uint64_t width) const {
        std::string out;
        for (std::uint64_t i = 0; i < width; ++i) {
            const auto c = u8(offset + static_cast<std::int64_t>(i));
            if (!c || *c == 0) break;
            out += static_cast<char>(*c);
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out;
    }

    std::optional<std::int32_t> i32be(std::int64_t offset) const {
        if (!contains(offset, 4)) return std::nullopt;
        const auto* p = bytes_.data() + offset;
        const std::uint32_t v = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                                (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
        return static_cast<std::int32_t>(v);
    }

    // Cuts [offset, offset + length) down to the bytes that exist. A range
    // with length <= 0 is empty and neither clipped nor outside.
    ClampedRange clamp(std::int64_t offset, std::int64_t length) const {
        ClampedRange r;
        if (length <= 0) return r;
        if (offset < 0 || static_cast<std::uint64_t>(offset) >= size()) {
            r.outside = true;
            r.clipped = true;
            return r;
        }
        r.offset = static_cast<std::uint64_t>(offset);
        const std::uint64_t available = size() - r.offset;
        const auto wanted = static_cast<std::uint64_t>(length);
        r.length = wanted < available ? wanted : available;
        r.clipped = r.length < wanted;
        return r;
    }

    // The bytes of a clamped range.
    std::span<const std::uint8_t> bytes(const ClampedRange& r) const {
        if (r.outside || r.length == 0) return {};
        return bytes_.subspan(static_cast<std::size_t>(r.offset), static_cast<std::size_t>(r.length));
    }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace vorneck
