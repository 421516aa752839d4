// SPDX-License-Identifier: MIT
// The MOD family: modules laid out like the four-channel ones (31 instrument
// headers, the order table at 952, a signature at 1080, patterns, then the
// samples back to back), of other channel counts and signatures, and the
// fifteen-instrument Soundtracker modules that have no signature at all.
//
// Samples are 8-bit signed and written as stored, except those whose data
// begins with "ADPCM": 4-bit ADPCM (a 16-byte delta table, then two frames
// a byte), written decoded.
#include <algorithm>
#include <array>
#include <cctype>

#include "engine/byte_reader.h"
#include "engine/sample_decoding.h"
#include "engine/sample_writer.h"
#include "engine/tracker_formats.h"
#include "engine/walkers.h"

namespace vorneck {
namespace {

constexpr std::int64_t kSignatureAt = 1080;
constexpr std::int64_t kHeaderSize = 30;
constexpr std::int64_t kFirstHeader = 20;

// The periods the Amiga trackers' notes play at (finetune 0), five octaves.
constexpr std::array<std::uint16_t, 60> kAmigaPeriods = {
    1712, 1616, 1525, 1440, 1357, 1281, 1209, 1141, 1077, 1017, 961, 907,  //
    856,  808,  762,  720,  678,  640,  604,  570,  538,  508,  480, 453,  //
    428,  404,  381,  360,  339,  320,  302,  285,  269,  254,  240, 226,  //
    214,  202,  190,  180,  170,  160,  151,  143,  135,  127,  120, 113,  //
    107,  101,  95,   90,   85,   80,   76,   71,   67,   64,   60,  57};

bool IsAmigaPeriod(std::uint16_t period) {
    return std::find(kAmigaPeriods.begin(), kAmigaPeriods.end(), period) != kAmigaPeriods.end();
}

// The order table's highest entry (all 128 count, not only those played).
int HighestOrder(const ByteReader& reader, std::int64_t table) {
    int highest = 0;
    for (std::int64_t i = 0; i < 128; ++i) highest = std::max<int>(highest, reader.u8(table + i).value_or(0));
    return highest;
}

std::uint64_t SampleBytes(const ByteReader& reader, int instruments) {
    std::uint64_t total = 0;
    for (int i = 0; i < instruments; ++i) total += 2 * std::uint64_t{reader.u16be(kFirstHeader + kHeaderSize * i + 22).value_or(0)};
    return total;
}

// Channels a signature at 1080 stands for (0: none of the MOD family's).
int SignatureChannels(const ByteReader& reader, ModLayout& layout) {
    const auto at = [&](int i) { return static_cast<char>(reader.u8(kSignatureAt + i).value_or(0)); };
    const char a = at(0), b = at(1), c = at(2), d = at(3);
    const auto digit = [](char ch) { return ch >= '0' && ch <= '9'; };
    if (digit(a) && b == 'C' && c == 'H' && d == 'N') return a >= '1' ? a - '0' : 0;
    if (digit(a) && digit(b) && c == 'C' && d == 'H') {
        const int n = (a - '0') * 10 + (b - '0');
        return n >= 10 && n <= 32 ? n : 0;
    }
    if (reader.matches(kSignatureAt, "CD61")) return 6;
    if (reader.matches(kSignatureAt, "CD81")) return 8;
    if (a == 'F' && b == 'A' && c == '0' && (d == '4' || d == '6' || d == '8')) {
        layout.patternData = 1088;
        return d - '0';
    }
    if (a == 'T' && b == 'D' && c == 'Z' && d >= '1' && d <= '4') return d - '0';
    for (const char* four : {"M&K!", "N.T.", "NSMS", "LARD", "EXO4"})
        if (reader.matches(kSignatureAt, four)) return 4;
    if (reader.matches(kSignatureAt, "FLT8") || reader.matches(kSignatureAt, "EXO8")) {
        layout.pairedPatterns = true;
        return 8;
    }
    return 0;
}

// Name bytes of a Soundtracker module: printable ASCII, NUL-padded.
bool PrintableName(const ByteReader& reader, std::int64_t at, std::int64_t width) {
    for (std::int64_t i = 0; i < width; ++i) {
        const auto c = reader.u8(at + i);
        if (!c || (*c != 0 && (*c < 32 || *c > 126))) return false;
    }
    return true;
}

// The header part of the fifteen-instrument test: names, sample headers,
// song length and order table, and a file that holds every pattern.
bool LooksLikeSoundtracker(const ByteReader& reader, std::uint64_t fileSize) {
    if (reader.size() < 600) return false;
    if (!PrintableName(reader, 0, 20)) return false;
    bool anySample = false;
    for (int i = 0; i < 15; ++i) {
        const std::int64_t h = kFirstHeader + kHeaderSize * i;
        if (!PrintableName(reader, h, 22)) return false;
        const std::uint32_t words = *reader.u16be(h + 22);
        const std::uint32_t volume = *reader.u8(h + 25);
        const std::uint32_t repeat = *reader.u16be(h + 26);  // bytes
        const std::uint32_t repeatWords = *reader.u16be(h + 28);
        if (words > 0x8000 || volume > 64) return false;
        if (repeatWords > 1 && repeat + 2 * repeatWords > 2 * words) return false;
        anySample = anySample || words > 0;
    }
    const std::uint32_t songLength = *reader.u8(470);
    if (songLength < 1 || songLength > 127) return false;
    for (std::int64_t i = 0; i < 128; ++i)
        if (*reader.u8(472 + i) > 127) return false;
    const std::uint64_t patterns = static_cast<std::uint64_t>(HighestOrder(reader, 472)) + 1;
    return anySample && fileSize >= 600 + patterns * 1024;
}

std::int64_t PatternBytes(const ModLayout& layout, int highest) {
    if (layout.pairedPatterns) return 2048 * ((highest >> 1) + 1);
    return std::int64_t{64} * 4 * layout.channels * (highest + 1);
}

}  // namespace

ModLayout ModFamilyLayout(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    const ByteReader reader(head);
    ModLayout layout;
    if (reader.size() >= kSignatureAt + 4) {
        if (reader.matches(kSignatureAt, "M.K.")) {
            // An "M.K." module whose file holds its samples exactly (up to
            // less than one more pattern of 1024 bytes) only when its
            // patterns are read as eight channels is an eight-channel one.
            const std::uint64_t patterns = static_cast<std::uint64_t>(HighestOrder(reader, 952)) + 1;
            const std::uint64_t eight = 1084 + patterns * 2048 + SampleBytes(reader, 31);
            if (fileSize >= eight && fileSize < eight + 1024) layout.channels = 8;
            return layout;
        }
        layout.channels = SignatureChannels(reader, layout);
        if (layout.channels > 0) return layout;
    }
    if (LooksLikeSoundtracker(reader, fileSize)) {
        layout.channels = 4;
        layout.instruments = 15;
        layout.patternData = 600;
        layout.repeatInBytes = true;
    }
    return layout;
}

ModuleKind ConfirmTrackerKind(std::span<const std::uint8_t> bytes, ModuleKind kind, ModuleKind fallback) {
    if (kind != ModuleKind::ModFamily) return kind;
    const ModLayout layout = ModFamilyLayout(bytes, bytes.size());
    if (layout.instruments != 15) return layout.channels > 0 ? kind : fallback;
    // Every pattern cell of a Soundtracker module plays no note or an Amiga
    // period, with an instrument of the fifteen.
    const ByteReader reader(bytes);
    const std::int64_t end = layout.patternData + PatternBytes(layout, HighestOrder(reader, 472));
    for (std::int64_t cell = layout.patternData; cell < end; cell += 4) {
        const auto high = reader.u8(cell);
        const auto low = reader.u8(cell + 1);
        if (!high || !low) return fallback;
        if (*high & 0xF0) return fallback;
        const auto period = static_cast<std::uint16_t>(((*high & 0x0F) << 8) | *low);
        if (period != 0 && !IsAmigaPeriod(period)) return fallback;
    }
    return kind;
}

void ExtractModFamilySamples(ExtractionState& state, Services& services) {
    const ByteReader reader(state.ModuleBytes());
    state.ModuleSampleNumber = 0;
    state.Module.format = "mod";
    state.Module.songName = reader.text(0, 20);
    const ModLayout layout = ModFamilyLayout(state.ModuleBytes(), state.ModuleSize);
    if (layout.channels == 0) {
        state.ModuleDamaged = true;
        return;
    }
    const std::int64_t orders = layout.instruments == 15 ? 472 : 952;
    std::int64_t offset = layout.patternData + PatternBytes(layout, HighestOrder(reader, orders));

    for (int i = 0; i < layout.instruments; ++i) {
        const std::int64_t header = kFirstHeader + kHeaderSize * i;
        const auto words = reader.u16be(header + 22);
        if (!words) {
            state.ModuleDamaged = true;
            return;
        }
        const std::int64_t length = 2 * static_cast<std::int64_t>(*words);
        if (length == 0) continue;
        SampleInfo info = DescribeModSample(reader, header, i + 1, length, layout.repeatInBytes);
        if (!reader.matches(offset, "ADPCM")) {
            SaveSample(state, services, offset, length, state.ModuleSampleNumber, info);
            offset += length;
            continue;
        }
        const std::int64_t stored = 5 + static_cast<std::int64_t>(Adpcm4Size(static_cast<std::uint64_t>(length)));
        const ClampedRange range = reader.clamp(offset + 5, stored - 5);
        bool complete = false;
        const std::vector<std::uint8_t> pcm =
            DecodeAdpcm4(reader.bytes(range), static_cast<std::uint64_t>(length), complete);
        if (!complete) state.ModuleDamaged = true;
        info.decoded = true;
        info.encoding = DecodedPcm(8, 1);
        SaveDecodedSample(state, services, pcm, static_cast<std::uint64_t>(offset),
                          std::min<std::uint64_t>(static_cast<std::uint64_t>(stored), reader.size() - static_cast<std::uint64_t>(offset)),
                          state.ModuleSampleNumber, info);
        offset += stored;
    }
}

}  // namespace vorneck
