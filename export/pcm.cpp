// SPDX-License-Identifier: MIT
#include <algorithm>

#include "export/audio_export.h"

namespace vorneck {

namespace {

bool Supported(const SampleEncoding& encoding) {
    return (encoding.bits == 8 || encoding.bits == 16) && encoding.channels > 0;
}

}  // namespace

std::uint64_t FrameCount(const SampleEncoding& encoding, std::uint64_t byteCount) {
    if (!Supported(encoding)) return 0;
    return byteCount / encoding.BytesPerFrame();
}

std::vector<std::uint8_t> ToDecodedPcm(const SampleEncoding& encoding, std::span<const std::uint8_t> stored) {
    const std::uint64_t frames = FrameCount(encoding, stored.size());
    const std::size_t channels = encoding.channels;
    const std::size_t width = encoding.bits / 8u;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(frames) * channels * width);
    if (out.empty()) return out;

    // Where sample `i` of channel `c` sits in the stored bytes, in samples.
    const bool planar = channels > 1 && !encoding.interleaved;
    const auto source = [&](std::size_t i, std::size_t c) {
        return planar ? c * static_cast<std::size_t>(frames) + i : i * channels + c;
    };

    if (width == 1) {
        const std::uint8_t flip = encoding.isSigned ? 0x00 : 0x80;
        if (!planar) {
            for (std::size_t k = 0; k < out.size(); ++k) out[k] = stored[k] ^ flip;
        } else {
            for (std::size_t i = 0; i < frames; ++i)
                for (std::size_t c = 0; c < channels; ++c) out[i * channels + c] = stored[source(i, c)] ^ flip;
        }
        return out;
    }

    const std::uint8_t flip = encoding.isSigned ? 0x00 : 0x80;  // applied to the high byte
    const std::size_t hi = encoding.bigEndian ? 0 : 1;
    const std::size_t lo = 1 - hi;
    for (std::size_t i = 0; i < frames; ++i) {
        for (std::size_t c = 0; c < channels; ++c) {
            const std::uint8_t* in = stored.data() + 2 * source(i, c);
            std::uint8_t* to = out.data() + 2 * (i * channels + c);
            to[0] = in[lo];
            to[1] = in[hi] ^ flip;
        }
    }
    return out;
}

SampleLoop EffectiveLoop(const SampleInfo& sample, std::uint64_t frames) {
    if (sample.loopMode == LoopMode::None) return {};
    const std::uint64_t end = std::min(sample.loopEnd, frames);
    if (sample.loopStart >= end) return {};
    return {sample.loopMode, sample.loopStart, end};
}

}  // namespace vorneck
