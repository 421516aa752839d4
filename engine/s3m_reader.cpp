// SPDX-License-Identifier: MIT
// Scream Tracker 3 modules (S3M), little-endian. The header's instrument
// count at 34 and sample format at 42 (1 signed, 2 unsigned); from 0x60 the
// order list, then one paragraph pointer (16-byte units) per instrument.
// A sample instrument (type 1) holds its data's paragraph (a high byte at
// 13, the low word at 14), its length, loop start and end in frames, its
// flags at 31 (1 loop, 2 stereo, 4 16-bit) and its C2 speed at 32. Stereo
// data is the left channel's frames, then the right channel's.
#include <vector>

#include "engine/byte_reader.h"
#include "engine/sample_decoding.h"
#include "engine/sample_writer.h"
#include "engine/tracker_formats.h"

namespace vorneck {

void ExtractS3mSamples(ExtractionState& state, Services& services) {
    const ByteReader reader(state.ModuleBytes());
    state.ModuleSampleNumber = 0;
    state.Module.format = "s3m";
    state.Module.songName = reader.text(0, 28);
    const auto orders = reader.u16le(32);
    const auto instruments = reader.u16le(34);
    const auto sampleFormat = reader.u16le(42);
    if (!orders || !instruments || !sampleFormat) {
        state.ModuleDamaged = true;
        return;
    }
    const bool isSigned = *sampleFormat == 1;
    const std::int64_t pointers = 0x60 + std::int64_t{*orders};

    for (std::int64_t i = 0; i < *instruments; ++i) {
        const auto paragraph = reader.u16le(pointers + 2 * i);
        if (!paragraph) {
            state.ModuleDamaged = true;
            return;
        }
        const std::int64_t h = 16 * std::int64_t{*paragraph};
        if (*paragraph == 0) continue;
        if (!reader.contains(h, 0x50)) {
            state.ModuleDamaged = true;
            continue;
        }
        if (*reader.u8(h) != 1) continue;  // empty slot or an AdLib instrument
        const std::uint64_t frames = *reader.u32le(h + 16);
        const std::uint8_t packing = *reader.u8(h + 30);
        const std::uint8_t flags = *reader.u8(h + 31);
        if (frames == 0 || packing != 0) continue;  // no data, or packed in a way no tracker wrote
        const std::int64_t data = 16 * ((std::int64_t{*reader.u8(h + 13)} << 16) | *reader.u16le(h + 14));

        SampleInfo info;
        info.slot = static_cast<std::int32_t>(i + 1);
        info.name = reader.text(h + 48, 28);
        info.volume = std::min<std::int32_t>(*reader.u8(h + 28), 64);
        info.rate = *reader.u32le(h + 32);
        info.decoded = true;
        const std::uint8_t bits = (flags & 4) ? 16 : 8;
        const std::uint8_t channels = (flags & 2) ? 2 : 1;
        info.encoding = DecodedPcm(bits, channels);
        if (flags & 1) {
            const std::uint64_t start = *reader.u32le(h + 20);
            const std::uint64_t end = *reader.u32le(h + 24);
            if (start < end) {
                info.loopMode = LoopMode::Forward;
                info.loopStart = start;
                info.loopEnd = end;
            }
        }
        const std::uint64_t storedBytes = frames * (bits / 8u) * channels;
        const ClampedRange range = reader.clamp(data, static_cast<std::int64_t>(storedBytes));
        if (range.clipped) state.ModuleDamaged = true;
        if (range.outside) continue;
        bool complete = false;
        const std::vector<std::uint8_t> pcm =
            DecodeStoredPcm({bits, channels, isSigned, false}, reader.bytes(range), frames, complete);
        if (!complete) state.ModuleDamaged = true;
        SaveDecodedSample(state, services, pcm, range.offset, range.length, state.ModuleSampleNumber, info);
    }
}

}  // namespace vorneck
