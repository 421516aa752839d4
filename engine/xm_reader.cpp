// SPDX-License-Identifier: MIT
// FastTracker 2 modules (XM), little-endian. After the 60-byte start, a
// header of its own stated size; from version 1.04 on the patterns follow
// it, then each instrument: its header, its samples' 40-byte headers and
// their data. Versions 1.02 and 1.03 put every instrument's headers first,
// then the patterns, then all sample data.
//
// Sample data is delta-coded (each value the difference from the previous
// one), 8- or 16-bit; a stereo sample (a ModPlug/OpenMPT extension) holds
// its left channel, then its right, each coded on its own; a header whose
// reserved byte is 0xAD marks 8-bit data as 4-bit ADPCM.
#include <cmath>
#include <vector>

#include "engine/byte_reader.h"
#include "engine/sample_decoding.h"
#include "engine/sample_writer.h"
#include "engine/tracker_formats.h"

namespace vorneck {
namespace {

constexpr std::int64_t kSampleHeaderSize = 40;

struct XmSample {
    std::int64_t header = 0;
    std::int64_t instrument = 0;  // its instrument's header: the name a nameless sample goes by
    std::int32_t slot = 0;
};

// Rate of the reference note: C-4 at 8363 Hz, moved by the relative note
// (semitones) and finetune (1/128 semitone).
std::uint32_t XmRate(std::int8_t relativeNote, std::int8_t finetune) {
    const double semitones = relativeNote + finetune / 128.0;
    return static_cast<std::uint32_t>(std::lround(8363.0 * std::exp2(semitones / 12.0)));
}

// The bytes a sample's data takes in the file.
std::uint64_t StoredSize(const ByteReader& reader, std::int64_t header) {
    const std::uint64_t length = reader.u32le(header).value_or(0);
    const std::uint8_t type = reader.u8(header + 14).value_or(0);
    const bool adpcm = reader.u8(header + 17).value_or(0) == 0xAD && !(type & 0x10);
    return adpcm ? Adpcm4Size(length) : length;
}

// Writes one sample whose data starts at `data`.
void ReadSample(ExtractionState& state, Services& services, const ByteReader& reader, const XmSample& s,
                std::int64_t data) {
    const std::int64_t h = s.header;
    const std::uint64_t length = reader.u32le(h).value_or(0);
    const std::uint64_t loopStart = reader.u32le(h + 4).value_or(0);
    const std::uint64_t loopLength = reader.u32le(h + 8).value_or(0);
    const std::uint8_t type = reader.u8(h + 14).value_or(0);
    const bool sixteen = type & 0x10;
    const bool stereo = type & 0x20;
    const bool adpcm = reader.u8(h + 17).value_or(0) == 0xAD && !sixteen;

    SampleInfo info;
    info.slot = s.slot;
    info.name = reader.text(h + 18, 22);
    if (info.name.empty()) info.name = reader.text(s.instrument + 4, 22);
    info.volume = std::min<std::int32_t>(reader.u8(h + 12).value_or(64), 64);
    info.finetune = reader.i8(h + 13).value_or(0);
    info.transpose = reader.i8(h + 16).value_or(0);
    info.rate = XmRate(static_cast<std::int8_t>(info.transpose), static_cast<std::int8_t>(info.finetune));
    // The finetune kept in eighths of a semitone, as elsewhere.
    info.finetune = static_cast<std::int32_t>(std::lround(info.finetune / 16.0));
    info.decoded = true;
    const std::uint8_t channels = stereo && !adpcm ? 2 : 1;
    const std::uint8_t bits = sixteen ? 16 : 8;
    info.encoding = DecodedPcm(bits, channels);
    const std::uint64_t unit = (sixteen ? 2u : 1u) * channels;  // stored bytes per frame
    const std::uint64_t frames = adpcm ? length : length / unit;
    if ((type & 3) != 0 && loopLength > 0) {
        info.loopMode = (type & 3) == 2 ? LoopMode::PingPong : LoopMode::Forward;
        info.loopStart = loopStart / unit;
        info.loopEnd = (loopStart + loopLength) / unit;
    }
    if (frames == 0) return;

    const std::uint64_t stored = StoredSize(reader, h);
    const ClampedRange range = reader.clamp(data, static_cast<std::int64_t>(stored));
    if (range.clipped) state.ModuleDamaged = true;
    if (range.outside) return;
    bool complete = false;
    const std::uint64_t budget = (state.ModuleOutputLimit - std::min(state.ModuleOutputLimit, state.ModuleOutputBytes)) /
                                     info.encoding.BytesPerFrame() + 1;
    std::vector<std::uint8_t> pcm;
    if (adpcm) {
        pcm = DecodeAdpcm4(reader.bytes(range), std::min(frames, budget), complete);
    } else {
        StoredPcm layout{bits, channels, true, true};
        pcm = DecodeStoredPcm(layout, reader.bytes(range), frames, complete);
    }
    if (!complete && frames <= budget) state.ModuleDamaged = true;
    SaveDecodedSample(state, services, pcm, range.offset, range.length, state.ModuleSampleNumber, info);
}

}  // namespace

void ExtractXmSamples(ExtractionState& state, Services& services) {
    const ByteReader reader(state.ModuleBytes());
    state.ModuleSampleNumber = 0;
    state.Module.format = "xm";
    state.Module.songName = reader.text(17, 20);
    const auto version = reader.u16le(58);
    const auto headerSize = reader.u32le(60);
    const auto patterns = reader.u16le(70);
    const auto instruments = reader.u16le(72);
    if (!version || !headerSize || !patterns || !instruments) {
        state.ModuleDamaged = true;
        return;
    }
    const bool old = *version < 0x0104;
    std::int64_t at = 60 + std::int64_t{*headerSize};

    const auto skipPatterns = [&]() {
        for (std::uint32_t p = 0; p < *patterns; ++p) {
            const auto length = reader.u32le(at);
            const auto packed = reader.u16le(at + (*version == 0x0102 ? 6 : 7));
            if (!length || !packed) return false;
            at += std::int64_t{*length} + *packed;
        }
        return true;
    };
    if (!old && !skipPatterns()) {
        state.ModuleDamaged = true;
        return;
    }

    std::int32_t slot = 0;
    std::vector<XmSample> pending;  // old versions: samples whose data follows the patterns
    for (std::uint32_t i = 0; i < *instruments; ++i) {
        const auto size = reader.u32le(at);
        const auto count = reader.u16le(at + 27);
        if (!size || !count) {
            state.ModuleDamaged = true;
            return;
        }
        const std::int64_t instrument = at;
        // An instrument header is at least as long as its fixed part.
        at += std::max<std::int64_t>(*size, *count ? 33 : 29);
        if (!reader.contains(at, kSampleHeaderSize * *count)) {
            state.ModuleDamaged = true;
            return;
        }
        std::vector<XmSample> samples;
        samples.reserve(*count);
        for (std::uint32_t k = 0; k < *count; ++k) {
            samples.push_back({at, instrument, ++slot});
            at += kSampleHeaderSize;
        }
        if (old) {
            pending.insert(pending.end(), samples.begin(), samples.end());
            continue;
        }
        for (const auto& s : samples) {
            ReadSample(state, services, reader, s, at);
            at += static_cast<std::int64_t>(StoredSize(reader, s.header));
        }
    }
    if (!old) return;
    if (!skipPatterns()) {
        state.ModuleDamaged = true;
        return;
    }
    for (const auto& s : pending) {
        ReadSample(state, services, reader, s, at);
        at += static_cast<std::int64_t>(StoredSize(reader, s.header));
    }
}

}  // namespace vorneck
