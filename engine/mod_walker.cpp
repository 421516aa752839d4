// Four-channel modules: 31 instrument headers of 30 bytes from offset 20, the
// order table at 952, the signature at 1080, patterns of 1024 bytes from 1084,
// then the samples back to back in header order.
#include "engine/byte_reader.h"
#include "engine/sample_writer.h"
#include "engine/walkers.h"

namespace vorneck {

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
        const auto words = reader.u16be(kFirstHeader + kHeaderSize * i + kLengthInHeader);
        if (!words) {
            state.ModuleDamaged = true;
            return;
        }
        // Up to 65535 words: up to 131070 bytes.
        const std::int64_t length = 2 * static_cast<std::int64_t>(*words);
        SaveSample(state, services, offset, length, state.ModuleSampleNumber);
        offset += length;
    }
}

}  // namespace vorneck
