// SPDX-License-Identifier: MIT
#include "engine/sample_decoding.h"

#include <algorithm>

namespace vorneck {
namespace {

// Reads bits least significant first, within one block's bytes.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    // False when fewer than `width` bits are left.
    bool Read(int width, std::uint32_t& value) {
        if (static_cast<std::uint64_t>(width) > bytes_.size() * 8 - position_) return false;
        value = 0;
        for (int i = 0; i < width;) {
            const std::uint64_t byte = position_ / 8;
            const int bit = static_cast<int>(position_ % 8);
            const int take = std::min(8 - bit, width - i);
            const std::uint32_t chunk = (bytes_[byte] >> bit) & ((1u << take) - 1);
            value |= chunk << i;
            i += take;
            position_ += static_cast<std::uint64_t>(take);
        }
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

void PutValue(std::vector<std::uint8_t>& out, std::uint8_t bits, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    if (bits == 16) out.push_back(static_cast<std::uint8_t>(value >> 8));
}

}  // namespace

std::vector<std::uint8_t> Interleave(std::span<const std::uint8_t> split, std::uint64_t frames, std::uint8_t bits,
                                     std::uint8_t channels) {
    const std::uint64_t width = bits / 8u;
    if (channels <= 1) return {split.begin(), split.begin() + static_cast<std::ptrdiff_t>(frames * width)};
    std::vector<std::uint8_t> out(static_cast<std::size_t>(frames * width * channels));
    for (std::uint64_t c = 0; c < channels; ++c)
        for (std::uint64_t f = 0; f < frames; ++f)
            for (std::uint64_t b = 0; b < width; ++b)
                out[static_cast<std::size_t>((f * channels + c) * width + b)] =
                    split[static_cast<std::size_t>((c * frames + f) * width + b)];
    return out;
}

std::vector<std::uint8_t> DecodeStoredPcm(const StoredPcm& layout, std::span<const std::uint8_t> stored,
                                          std::uint64_t frames, bool& complete) {
    const std::uint64_t width = layout.bits / 8u;
    const std::uint64_t channels = std::max<std::uint8_t>(layout.channels, 1);
    // Channel c's frames start at c * frames; a channel cut short limits all.
    std::uint64_t present = frames;
    for (std::uint64_t c = 0; c < channels; ++c) {
        const std::uint64_t start = c * frames * width;
        const std::uint64_t have = stored.size() > start ? (stored.size() - start) / width : 0;
        present = std::min(present, have);
    }
    complete = present == frames;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(present * width * channels));
    const std::uint32_t flip = layout.isSigned ? 0 : (width == 1 ? 0x80u : 0x8000u);
    for (std::uint64_t c = 0; c < channels && present > 0; ++c) {
        const std::uint8_t* in = stored.data() + c * frames * width;
        std::uint32_t previous = 0;
        for (std::uint64_t f = 0; f < present; ++f) {
            std::uint32_t v = width == 1 ? in[f] : static_cast<std::uint32_t>(in[2 * f] | (in[2 * f + 1] << 8));
            if (layout.delta) {
                v += previous;
                previous = v;
            }
            v ^= flip;
            const std::size_t at = static_cast<std::size_t>((f * channels + c) * width);
            out[at] = static_cast<std::uint8_t>(v);
            if (width == 2) out[at + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    return out;
}

std::vector<std::uint8_t> DecodeAdpcm4(std::span<const std::uint8_t> data, std::uint64_t frames, bool& complete) {
    std::vector<std::uint8_t> out;
    complete = false;
    if (data.size() < 16) return out;
    const auto table = data.first(16);
    const auto packed = data.subspan(16);
    const std::uint64_t present = std::min<std::uint64_t>(frames, std::uint64_t{packed.size()} * 2);
    complete = present == frames;
    out.resize(static_cast<std::size_t>(present));
    std::uint8_t value = 0;
    for (std::uint64_t f = 0; f < present; ++f) {
        const std::uint8_t byte = packed[static_cast<std::size_t>(f / 2)];
        const std::uint8_t nibble = f % 2 ? byte >> 4 : byte & 0x0F;
        value = static_cast<std::uint8_t>(value + table[nibble]);
        out[static_cast<std::size_t>(f)] = value;
    }
    return out;
}

bool DecompressIt(std::span<const std::uint8_t> data, std::uint64_t frames, std::uint8_t bits, bool it215,
                  std::vector<std::uint8_t>& out, std::uint64_t& consumed) {
    const int full = bits + 1;                 // the widest code: a value and the escape bit
    const int escapeBits = bits == 8 ? 3 : 4;  // the new width after the narrow codes' escape
    const std::uint32_t escapes = bits == 8 ? 8 : 16;
    const std::uint32_t mask = (1u << bits) - 1;
    const std::uint64_t blockFrames = bits == 8 ? 0x8000 : 0x4000;
    consumed = 0;
    std::uint64_t done = 0;
    while (done < frames) {
        if (data.size() - consumed < 2) return false;
        const std::uint64_t blockBytes = data[consumed] | (std::uint64_t{data[consumed + 1]} << 8);
        consumed += 2;
        const std::uint64_t available = std::min<std::uint64_t>(blockBytes, data.size() - consumed);
        BitReader reader(data.subspan(static_cast<std::size_t>(consumed), static_cast<std::size_t>(available)));
        consumed += available;
        const std::uint64_t blockEnd = std::min(frames, done + blockFrames);
        int width = full;
        std::uint32_t first = 0;   // the running sum of the values
        std::uint32_t second = 0;  // the running sum of that (2.15)
        while (done < blockEnd) {
            std::uint32_t v = 0;
            if (!reader.Read(width, v)) return false;
            if (width < 7) {
                // The lowest value of the code's range announces a new width.
                if (v == 1u << (width - 1)) {
                    std::uint32_t next = 0;
                    if (!reader.Read(escapeBits, next)) return false;
                    const int wanted = static_cast<int>(next) + 1;
                    width = wanted < width ? wanted : wanted + 1;
                    continue;
                }
            } else if (width < full) {
                // A run of values around the sign change does.
                const std::uint32_t border = (mask >> (full - width)) - escapes / 2;
                if (v > border && v <= border + escapes) {
                    const int wanted = static_cast<int>(v - border);
                    width = wanted < width ? wanted : wanted + 1;
                    continue;
                }
            } else {
                // At full width the escape bit does.
                if (v & (1u << bits)) {
                    width = static_cast<int>((v + 1) & 0xFF);
                    if (width < 1 || width > full) return false;
                    continue;
                }
            }
            // A signed value of `width` bits (the full code holds `bits` of them).
            const int valueBits = std::min(width, int{bits});
            const std::uint32_t sign = 1u << (valueBits - 1);
            std::uint32_t delta = v & ((1u << valueBits) - 1);
            if (delta & sign) delta |= ~((1u << valueBits) - 1);
            first = (first + delta) & mask;
            second = (second + first) & mask;
            PutValue(out, bits, it215 ? second : first);
            ++done;
        }
    }
    return true;
}

}  // namespace vorneck
