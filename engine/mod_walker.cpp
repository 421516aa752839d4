// SPDX-License-Identifier: MIT
// Four-channel modules: 31 instrument headers of 30 bytes from offset 20, the
// order table at 952, the signature at 1080, patterns of 1024 bytes from 1084,
// then the samples back to back in header order.
#include <algorithm>

#include "engine/byte_reader.h"
#include "engine/sample_writer.h"
#include "engine/walkers.h"

namespace vorneck {

// What an instrument header says about its sample beside its length: name
// (22 bytes), finetune (low nibble, signed, eighths of a semitone), volume
// (0 to 64), repeat start and repeat length in words.
SampleInfo DescribeModSample(const ByteReader& reader, std::int64_t header, int slot, std::int64_t length,
                             bool repeatInBytes) {
    SampleInfo info;
    info.slot = slot;
    info.name = reader.text(header, 22);
    const std::uint8_t nibble = reader.u8(header + 24).value_or(0) & 0x0F;
    info.finetune = nibble < 8 ? nibble : nibble - 16;
    info.volume = std::min<std::int32_t>(reader.u8(header + 25).value_or(64), 64);
    info.rate = TunedRate(0, info.finetune);
    const auto size = static_cast<std::uint64_t>(length);
    std::uint64_t start = (repeatInBytes ? 1 : 2) * std::uint64_t{reader.u16be(header + 26).value_or(0)};
    const std::uint64_t repeat = 2 * std::uint64_t{reader.u16be(header + 28).value_or(0)};
    // The oldest trackers counted the repeat start in bytes: a loop that only
    // fits the sample read that way is read that way.
    if (!repeatInBytes && start + repeat > size && start / 2 + repeat <= size) start /= 2;
    // A repeat of one word or less is the "no loop" marker.
    if (repeat > 2 && start < size) {
        info.loopMode = LoopMode::Forward;
        info.loopStart = start;
        info.loopEnd = std::min(start + repeat, size);
    }
    return info;
}

void ExtractModSamples(ExtractionState& state, Services& services) {
    constexpr std::int64_t kFirstHeader = 20;
    constexpr std::int64_t kHeaderSize = 30;
    constexpr std::int64_t kLengthInHeader = 22;
    constexpr std::int64_t kOrderTable = 952;
    constexpr std::int64_t kOrderEntries = 128;
    constexpr std::int64_t kPatternData = 1084;
    constexpr std::int64_t kPatternSize = 1024;
    constexpr int kInstruments = 31;

    const ByteReader reader(state.ModuleBytes());
    state.ModuleSampleNumber = 0;
    state.Module.format = "mod";
    state.Module.songName = reader.text(0, 20);

    // Every entry of the order table counts, not only those the song plays.
    std::int64_t highest = 0;
    for (std::int64_t i = 0; i < kOrderEntries; ++i) {
        const auto entry = reader.u8(kOrderTable + i);
        if (!entry) {
            state.ModuleDamaged = true;
            return;
        }
        if (*entry > highest) highest = *entry;
    }
    std::int64_t offset = kPatternData + kPatternSize * (highest + 1);

    for (int i = 0; i < kInstruments; ++i) {
        const std::int64_t header = kFirstHeader + kHeaderSize * i;
        const auto words = reader.u16be(header + kLengthInHeader);
        if (!words) {
            state.ModuleDamaged = true;
            return;
        }
        // Up to 65535 words: up to 131070 bytes.
        const std::int64_t length = 2 * static_cast<std::int64_t>(*words);
        if (length > 0) {
            const SampleInfo info = DescribeModSample(reader, header, i + 1, length);
            SaveSample(state, services, offset, length, state.ModuleSampleNumber, info);
        }
        offset += length;
    }
}

}  // namespace vorneck
