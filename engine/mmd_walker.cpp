// SPDX-License-Identifier: MIT
// MMD0 to MMD3 modules: big-endian, parts addressed by 32-bit offsets from the
// start of the file. The song structure (offset at 8) holds the number of
// instrument slots at +787; the instrument table (offset at 24) holds one
// offset per slot; an instrument starts with its length (4 bytes) and type
// (2 bytes), followed by the sample data.
//
// Beside the samples, the walker reads what describes them: the song's
// sample table (repeat, volume, transpose for the first 63 slots), and the
// expansion data (offset at 32) with the song name, each instrument's name,
// its finetune, its loop's switch and mode, and (MMD3) its exact repeat.
#include <algorithm>

#include "engine/byte_reader.h"
#include "engine/sample_writer.h"
#include "engine/walkers.h"

namespace vorneck {
namespace {

constexpr std::int64_t kSongPointer = 8;
constexpr std::int64_t kTablePointer = 24;
constexpr std::int64_t kExpansionPointer = 32;
constexpr std::int64_t kSlotCountInSong = 787;
constexpr std::int64_t kInstrumentHeaderSize = 6;
constexpr std::int64_t kSongSampleEntries = 63;
// A hybrid instrument's header is a synthetic instrument's: its first
// waveform pointer, at +278 and relative to the instrument, leads to an
// ordinary sample header.
constexpr std::int64_t kHybridSamplePointer = 278;

// Types below 0 are synthetic (-1: waveforms only) and hybrid (-2).
constexpr std::int16_t kHybrid = -2;
constexpr std::int16_t kSixteenBit = 0x10;
constexpr std::int16_t kStereo = 0x20;

// The expansion data's tables, where the module has them.
struct Expansion {
    std::int64_t instrumentExt = 0;  // InstrExt array
    std::uint16_t instrumentExtEntries = 0;
    std::uint16_t instrumentExtSize = 0;
    std::int64_t instrumentInfo = 0;  // MMDInstrInfo array (names)
    std::uint16_t instrumentInfoEntries = 0;
    std::uint16_t instrumentInfoSize = 0;
};

Expansion ReadExpansion(const ByteReader& reader, ModuleInfo& module) {
    Expansion e;
    const auto at = reader.i32be(kExpansionPointer);
    if (!at || *at <= 0) return e;
    const std::int64_t x = *at;
    e.instrumentExt = reader.i32be(x + 4).value_or(0);
    e.instrumentExtEntries = reader.u16be(x + 8).value_or(0);
    e.instrumentExtSize = reader.u16be(x + 10).value_or(0);
    e.instrumentInfo = reader.i32be(x + 20).value_or(0);
    e.instrumentInfoEntries = reader.u16be(x + 24).value_or(0);
    e.instrumentInfoSize = reader.u16be(x + 26).value_or(0);
    const std::int64_t songName = reader.i32be(x + 44).value_or(0);
    const std::uint32_t songNameLength = reader.u32be(x + 48).value_or(0);
    if (songName > 0) module.songName = reader.text(songName, std::min<std::uint32_t>(songNameLength, 1024));
    return e;
}

// The description of slot i of a module of `version` (0 to 3).
SampleInfo Describe(const ByteReader& reader, std::int64_t song, const Expansion& e, std::int64_t i, int version) {
    SampleInfo info;
    info.slot = static_cast<std::int32_t>(i + 1);
    // Repeat and its length count words; a word is two frames, of 8-bit and
    // 16-bit samples alike. A length of one word or less means no loop.
    std::uint64_t loopStart = 0;
    std::uint64_t loopLength = 0;
    if (i < kSongSampleEntries) {
        const std::int64_t entry = song + 8 * i;
        loopStart = 2 * std::uint64_t{reader.u16be(entry).value_or(0)};
        loopLength = 2 * std::uint64_t{reader.u16be(entry + 2).value_or(0)};
        info.volume = std::min<std::int32_t>(reader.u8(entry + 6).value_or(64), 64);
        info.transpose = reader.i8(entry + 7).value_or(0);
    }
    bool pingPong = false;
    bool loopSwitchedOff = false;
    if (e.instrumentExt > 0 && i < e.instrumentExtEntries) {
        const std::int64_t ext = e.instrumentExt + std::int64_t{e.instrumentExtSize} * i;
        if (e.instrumentExtSize > 3) info.finetune = reader.i8(ext + 3).value_or(0);
        if (e.instrumentExtSize > 5) {
            const std::uint8_t flags = reader.u8(ext + 5).value_or(0);
            pingPong = (flags & 0x08) != 0;
            // From MMD2 on, trackers keep the loop's switch in the flags
            // (bit 0) and leave the repeat fields as they were.
            if (version >= 2) loopSwitchedOff = (flags & 0x01) == 0;
        }
        if (version >= 3 && e.instrumentExtSize >= 18) {
            // MMD3 holds the repeat exactly, in frames, beside the word
            // fields (which cannot hold an odd one or one past 128 Ki words).
            const std::uint32_t exactStart = reader.u32be(ext + 10).value_or(0);
            const std::uint32_t exactLength = reader.u32be(ext + 14).value_or(0);
            if (exactStart != 0 || exactLength != 0) {
                loopStart = exactStart;
                loopLength = exactLength;
            }
        }
    }
    if (e.instrumentInfo > 0 && i < e.instrumentInfoEntries && e.instrumentInfoSize > 0)
        info.name = reader.text(e.instrumentInfo + std::int64_t{e.instrumentInfoSize} * i,
                                std::min<std::uint16_t>(e.instrumentInfoSize, 40));
    info.rate = TunedRate(info.transpose, info.finetune);
    if (loopLength > 2 && !loopSwitchedOff) {
        info.loopMode = pingPong ? LoopMode::PingPong : LoopMode::Forward;
        info.loopStart = loopStart;
        info.loopEnd = loopStart + loopLength;
    }
    return info;
}

// Cuts the loop to the sample's frames; none when nothing of it is left.
void FitLoop(SampleInfo& info, std::uint64_t frames) {
    if (info.loopMode == LoopMode::None) return;
    info.loopEnd = std::min(info.loopEnd, frames);
    if (info.loopStart >= info.loopEnd) {
        info.loopMode = LoopMode::None;
        info.loopStart = info.loopEnd = 0;
    }
}

}  // namespace

void ExtractMmdSamples(ExtractionState& state, Services& services) {
    const ByteReader reader(state.ModuleBytes());
    state.ModuleSampleNumber = 0;
    const char versionDigit = static_cast<char>(reader.u8(3).value_or('0'));
    state.Module.format = "mmd" + std::string(1, versionDigit);
    const int version = versionDigit - '0';

    const auto song = reader.i32be(kSongPointer);
    if (!song) {
        state.ModuleDamaged = true;
        return;
    }
    const auto count = reader.u8(std::int64_t{*song} + kSlotCountInSong);
    if (!count) {
        state.ModuleDamaged = true;
        return;
    }
    const auto table = reader.i32be(kTablePointer);
    if (!table) {
        state.ModuleDamaged = true;
        return;
    }
    const Expansion expansion = ReadExpansion(reader, state.Module);
    const auto unknown = [&] {
        services.errors.Report({kUnknownInstrumentMessage, state.ModulePath, false, 0, ReportKind::Failure});
    };

    for (std::int64_t i = 0; i < *count; ++i) {
        const auto instrument = reader.i32be(std::int64_t{*table} + 4 * i);
        if (!instrument) {
            state.ModuleDamaged = true;
            return;
        }
        if (*instrument <= 0) continue;  // empty slot
        std::int64_t at = *instrument;
        if (!reader.contains(at, kInstrumentHeaderSize)) {
            state.ModuleDamaged = true;
            continue;
        }
        auto type = static_cast<std::int16_t>(*reader.u16be(at + 4));
        SampleInfo info = Describe(reader, *song, expansion, i, version);

        if (type == kHybrid) {
            // The sample inside: its header lies where the first waveform
            // pointer says, counted from the instrument's start.
            const auto pointer = reader.i32be(at + kHybridSamplePointer);
            if (!pointer || *pointer <= 0 || !reader.contains(at + *pointer, kInstrumentHeaderSize)) {
                state.ModuleDamaged = true;
                continue;
            }
            at += *pointer;
            type = static_cast<std::int16_t>(*reader.u16be(at + 4));
        }
        const std::int32_t length = *reader.i32be(at);
        if (type >= 0 && type <= 7) {
            // Plain samples and the multi-octave types, written as stored. An
            // instrument of n octaves holds 2^n - 1 times its shortest one,
            // to which its loop belongs.
            static constexpr std::uint8_t kOctaves[8] = {1, 5, 3, 2, 4, 6, 7, 1};
            const std::uint8_t octaves = kOctaves[type];
            const std::uint64_t parts = (1u << octaves) - 1;
            if (length > 0 && static_cast<std::uint64_t>(length) % parts == 0) info.octaves = octaves;
            if (length > 0) FitLoop(info, static_cast<std::uint64_t>(length) / (info.octaves > 1 ? parts : 1));
            SaveSample(state, services, at + kInstrumentHeaderSize, length, state.ModuleSampleNumber, info);
            continue;
        }
        const bool wide = type == kSixteenBit || type == kStereo || type == (kSixteenBit | kStereo);
        if (!wide || !state.DecodeWideMmd) {
            // Synthetic instruments hold only short waveforms; 16-bit and
            // stereo ones are written only where decoding was asked for.
            unknown();
            continue;
        }
        // 16-bit values are big-endian; a stereo sample's length counts one
        // channel, whose frames are followed by the other channel's.
        info.decoded = true;
        info.encoding.bits = (type & kSixteenBit) ? 16 : 8;
        info.encoding.channels = (type & kStereo) ? 2 : 1;
        info.encoding.interleaved = false;
        info.encoding.bigEndian = true;
        if (length <= 0) continue;
        FitLoop(info, static_cast<std::uint64_t>(length) / (info.encoding.bits / 8));
        SaveSample(state, services, at + kInstrumentHeaderSize, std::int64_t{length} * info.encoding.channels,
                   state.ModuleSampleNumber, info);
    }
}

}  // namespace vorneck
