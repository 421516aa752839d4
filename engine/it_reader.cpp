// SPDX-License-Identifier: MIT
// Impulse Tracker modules (IT), and OpenMPT's MPTM, which is IT with more
// chunks after it; little-endian. The header's order, instrument and
// sample counts at 32, 34 and 36; from 0xC0 the orders, then one 32-bit
// offset per instrument and one per sample header ("IMPS"). A sample
// header holds its flags at 18 (1 data, 2 16-bit, 4 stereo, 8 compressed,
// 16 loop, 32 sustain loop, 64 ping-pong loop, 128 ping-pong sustain loop),
// its name at 20, its conversion flags at 46 (1 signed, 4 delta; with
// compression, 4 means IT 2.15), its length and loop in frames from 48, its
// C5 speed at 60, its sustain loop at 64 and its data's offset at 72.
//
// Uncompressed stereo data is the left channel's frames, then the right
// channel's; compressed stereo data one compressed stream per channel.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/byte_reader.h"
#include "engine/sample_decoding.h"
#include "engine/sample_writer.h"
#include "engine/tracker_formats.h"

namespace vorneck {
namespace {

// A loop of the header, cut to the frames; none when nothing of it is left.
void SetLoop(LoopMode& mode, std::uint64_t& start, std::uint64_t& end, bool on, bool pingPong,
             std::uint64_t loopStart, std::uint64_t loopEnd, std::uint64_t frames) {
    loopEnd = std::min(loopEnd, frames);
    if (!on || loopStart >= loopEnd) return;
    mode = pingPong ? LoopMode::PingPong : LoopMode::Forward;
    start = loopStart;
    end = loopEnd;
}

// The name of the first instrument ("IMPI": name at 32, then from 64 a
// note, sample pair for each of 120 notes) that plays sample `slot`: what
// a sample without a name of its own is known by.
std::string InstrumentNameFor(const ByteReader& reader, std::int64_t table, std::uint32_t instruments, std::int64_t slot) {
    for (std::uint32_t i = 0; i < instruments; ++i) {
        const auto at = reader.u32le(table + 4 * std::int64_t{i});
        if (!at || !reader.contains(*at, 64 + 240) || !reader.matches(*at, "IMPI")) continue;
        for (std::int64_t note = 0; note < 120; ++note)
            if (*reader.u8(*at + 65 + 2 * note) == slot) return reader.text(*at + 32, 26);
    }
    return {};
}

}  // namespace

void ExtractItSamples(ExtractionState& state, Services& services) {
    const ByteReader reader(state.ModuleBytes());
    state.ModuleSampleNumber = 0;
    state.Module.format = "it";
    state.Module.songName = reader.text(4, 26);
    const auto orders = reader.u16le(32);
    const auto instruments = reader.u16le(34);
    const auto samples = reader.u16le(36);
    if (!orders || !instruments || !samples) {
        state.ModuleDamaged = true;
        return;
    }
    const std::int64_t instrumentTable = 0xC0 + std::int64_t{*orders};
    const std::int64_t table = instrumentTable + 4 * std::int64_t{*instruments};

    for (std::int64_t i = 0; i < *samples; ++i) {
        const auto at = reader.u32le(table + 4 * i);
        if (!at) {
            state.ModuleDamaged = true;
            return;
        }
        const std::int64_t h = *at;
        if (!reader.contains(h, 0x50) || !reader.matches(h, "IMPS")) {
            state.ModuleDamaged = true;
            continue;
        }
        const std::uint8_t flags = *reader.u8(h + 18);
        const std::uint8_t convert = *reader.u8(h + 46);
        const std::uint64_t frames = *reader.u32le(h + 48);
        if (!(flags & 1) || frames == 0) continue;  // no data

        SampleInfo info;
        info.slot = static_cast<std::int32_t>(i + 1);
        info.name = reader.text(h + 20, 26);
        if (info.name.empty()) info.name = InstrumentNameFor(reader, instrumentTable, *instruments, i + 1);
        info.volume = std::min<std::int32_t>(*reader.u8(h + 19), 64);
        info.rate = *reader.u32le(h + 60);
        info.decoded = true;
        const std::uint8_t bits = (flags & 2) ? 16 : 8;
        const std::uint8_t channels = (flags & 4) ? 2 : 1;
        info.encoding = DecodedPcm(bits, channels);
        SetLoop(info.loopMode, info.loopStart, info.loopEnd, flags & 16, flags & 64, *reader.u32le(h + 52),
                *reader.u32le(h + 56), frames);
        SetLoop(info.sustainMode, info.sustainStart, info.sustainEnd, flags & 32, flags & 128,
                *reader.u32le(h + 64), *reader.u32le(h + 68), frames);
        const std::int64_t data = *reader.u32le(h + 72);
        const std::uint64_t width = bits / 8u;

        std::vector<std::uint8_t> pcm;
        std::uint64_t storedLength = 0;
        bool complete = false;
        if (flags & 8) {
            // Compressed: decode no further than one frame past the output
            // bound, so that a hostile length costs no more memory than that.
            const std::uint64_t room = state.ModuleOutputLimit - std::min(state.ModuleOutputLimit, state.ModuleOutputBytes);
            const std::uint64_t wanted = std::min(frames, room / (width * channels) + 1);
            const ClampedRange range = reader.clamp(data, static_cast<std::int64_t>(reader.size()));
            if (range.outside) {
                state.ModuleDamaged = true;
                continue;
            }
            const std::span<const std::uint8_t> stream = reader.bytes(range);
            std::vector<std::uint8_t> left;
            std::vector<std::uint8_t> right;
            std::uint64_t consumed = 0;
            complete = DecompressIt(stream, wanted, bits, convert & 4, left, consumed);
            storedLength = consumed;
            if (wanted < frames && left.size() == wanted * width) {
                // More than the module may still write: it and every later
                // sample are left out.
                state.ModuleOutputStopped = true;
                state.ModuleDamaged = true;
                return;
            }
            if (channels == 2 && complete) {
                complete = DecompressIt(stream.subspan(static_cast<std::size_t>(consumed)), wanted, bits, convert & 4,
                                        right, consumed);
                storedLength += consumed;
            }
            // Only the frames every channel has.
            std::uint64_t got = left.size() / width;
            if (channels == 2) got = std::min(got, right.size() / width);
            left.resize(static_cast<std::size_t>(got * width));
            if (channels == 2) {
                left.insert(left.end(), right.begin(), right.begin() + static_cast<std::ptrdiff_t>(got * width));
                pcm = Interleave(left, got, bits, channels);
            } else {
                pcm = std::move(left);
            }
            if (!complete) state.ModuleDamaged = true;
            SaveDecodedSample(state, services, pcm, static_cast<std::uint64_t>(data), storedLength,
                              state.ModuleSampleNumber, info);
            continue;
        }
        const ClampedRange range = reader.clamp(data, static_cast<std::int64_t>(frames * width * channels));
        if (range.clipped) state.ModuleDamaged = true;
        if (range.outside) continue;
        pcm = DecodeStoredPcm({bits, channels, (convert & 1) != 0, (convert & 4) != 0}, reader.bytes(range), frames,
                              complete);
        if (!complete) state.ModuleDamaged = true;
        SaveDecodedSample(state, services, pcm, range.offset, range.length, state.ModuleSampleNumber, info);
    }
}

}  // namespace vorneck
