// SPDX-License-Identifier: MIT
// Sample bytes as a module stores them, made from known values, for the
// tests of decoding and of audio files.
#pragma once

#include <cstdint>
#include <vector>

#include "export/audio_export.h"

namespace vorneck::testing {

// `frames` frames stored the way `encoding` says, channel c of frame i
// holding value(i, c) (signed, within the encoding's bits).
template <typename ValueOf>
std::vector<std::uint8_t> StoredPcm(const SampleEncoding& encoding, std::uint64_t frames, ValueOf value) {
    const std::size_t width = encoding.bits / 8u, channels = encoding.channels;
    std::vector<std::uint8_t> out(frames * channels * width);
    for (std::size_t i = 0; i < frames; ++i) {
        for (std::size_t c = 0; c < channels; ++c) {
            const int bias = encoding.isSigned ? 0 : 1 << (encoding.bits - 1);
            const auto unit = static_cast<std::uint16_t>(value(i, c) + bias);
            const std::size_t slot = encoding.interleaved ? i * channels + c : c * frames + i;
            if (width == 1) {
                out[slot] = static_cast<std::uint8_t>(unit);
            } else {
                out[2 * slot + (encoding.bigEndian ? 0 : 1)] = static_cast<std::uint8_t>(unit >> 8);
                out[2 * slot + (encoding.bigEndian ? 1 : 0)] = static_cast<std::uint8_t>(unit);
            }
        }
    }
    return out;
}

}  // namespace vorneck::testing
