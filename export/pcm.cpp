// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "export/audio_export.h"

namespace vorneck {

namespace {

bool Supported(const SampleEncoding& encoding) {
    return (encoding.bits == 8 || encoding.bits == 16) && encoding.channels > 0;
}

// Interleaved bytes from `in` to `out`, eight at a time: every byte pair
// swapped when `swap` is set, then XORed with the eight-byte `pattern`.
// Loading and storing through memcpy keeps this free of alignment and byte
// order concerns: swapping neighbouring bytes of a word is the same
// operation on either kind of host, and the pattern is laid out in memory
// order.
void ConvertRun(const std::uint8_t* in, std::uint8_t* out, std::size_t size, bool swap,
                const std::uint8_t (&pattern)[8]) {
    std::uint64_t mask = 0;
    std::memcpy(&mask, pattern, 8);
    std::size_t k = 0;
    for (; k + 8 <= size; k += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + k, 8);
        if (swap) word = (word & 0x00FF00FF00FF00FFull) << 8 | ((word >> 8) & 0x00FF00FF00FF00FFull);
        word ^= mask;
        std::memcpy(out + k, &word, 8);
    }
    for (; k < size; ++k) out[k] = in[swap ? k ^ 1 : k] ^ pattern[k % 8];  // swap implies an even size
}

}  // namespace

std::uint64_t FrameCount(const SampleEncoding& encoding, std::uint64_t byteCount) {
    if (!Supported(encoding)) return 0;
    return byteCount / encoding.BytesPerFrame();
}

std::vector<std::uint8_t> ConvertSamples(const SampleEncoding& encoding, std::span<const std::uint8_t> stored,
                                         bool toSigned, bool toBigEndian) {
    const std::uint64_t frames = FrameCount(encoding, stored.size());
    const std::size_t channels = encoding.channels;
    const std::size_t width = encoding.bits / 8u;
    const std::size_t values = static_cast<std::size_t>(frames) * channels;
    std::vector<std::uint8_t> out(values * width);
    if (out.empty()) return out;

    // The sign flips by toggling the top bit of each value; 16-bit values
    // swap their bytes when the byte order changes.
    const bool flip = encoding.isSigned != toSigned;
    const bool swap = width == 2 && encoding.bigEndian != toBigEndian;
    const std::uint8_t flipByte = flip ? 0x80 : 0x00;

    const bool planar = channels > 1 && !encoding.interleaved;
    // The byte that is the high one of a 16-bit value in the target's order
    // carries the sign.
    const std::size_t high = width == 1 ? 0 : toBigEndian ? 0 : 1;
    if (!planar) {
        std::uint8_t pattern[8] = {};
        for (std::size_t i = 0; i < 8; ++i) pattern[i] = i % width == high ? flipByte : 0;
        if (!flip && !swap)
            std::memcpy(out.data(), stored.data(), out.size());
        else
            ConvertRun(stored.data(), out.data(), out.size(), swap, pattern);
        return out;
    }

    // Channels one after the other: each channel's `frames` values form a
    // block of their own, gathered value by value.
    for (std::size_t i = 0; i < frames; ++i) {
        for (std::size_t c = 0; c < channels; ++c) {
            const std::uint8_t* from = stored.data() + (c * frames + i) * width;
            std::uint8_t* to = out.data() + (i * channels + c) * width;
            if (width == 1) {
                to[0] = from[0] ^ flipByte;
            } else {
                to[0] = from[swap ? 1 : 0];
                to[1] = from[swap ? 0 : 1];
                to[high] ^= flipByte;
            }
        }
    }
    return out;
}

std::vector<std::uint8_t> ToDecodedPcm(const SampleEncoding& encoding, std::span<const std::uint8_t> stored) {
    return ConvertSamples(encoding, stored, true, false);
}

SampleLoop EffectiveLoop(const SampleInfo& sample, std::uint64_t frames) {
    if (sample.loopMode == LoopMode::None) return {};
    const std::uint64_t end = std::min(sample.loopEnd, frames);
    if (sample.loopStart >= end) return {};
    return {sample.loopMode, sample.loopStart, end};
}

}  // namespace vorneck
