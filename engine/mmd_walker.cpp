// MMD0 to MMD3 modules: big-endian, parts addressed by 32-bit offsets from the
// start of the file. The song structure (offset at 8) holds the number of
// instrument slots at +787; the instrument table (offset at 24) holds one
// offset per slot; an instrument starts with its length (4 bytes) and type
// (2 bytes), followed by the sample data.
#include "engine/byte_reader.h"
#include "engine/sample_writer.h"
#include "engine/walkers.h"

namespace vorneck {

void ExtractMmdSamples(ExtractionState& state, Services& services) {
    constexpr std::int64_t kSongPointer = 8;
    constexpr std::int64_t kTablePointer = 24;
    constexpr std::int64_t kSlotCountInSong = 787;
    constexpr std::int64_t kInstrumentHeaderSize = 6;

    const ByteReader reader(state.ModuleBytes());
    state.ModuleSampleNumber = 0;

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

    for (std::int64_t i = 0; i < *count; ++i) {
        const auto instrument = reader.i32be(std::int64_t{*table} + 4 * i);
        if (!instrument) {
            state.ModuleDamaged = true;
            return;
        }
        if (*instrument <= 0) continue;  // empty slot
        const std::int64_t at = *instrument;
        if (!reader.contains(at, kInstrumentHeaderSize)) {
            state.ModuleDamaged = true;
            continue;
        }
        const auto type = static_cast<std::int16_t>(*reader.u16be(at + 4));
        if (type < 0 || type > 7) {
            // 8 and above are unknown; negative types (synthetic, hybrid, ...)
            // are not plain sample data either.
            services.errors.Report({kUnknownInstrumentMessage, state.ModulePath, false, 0, ReportKind::Failure});
            continue;
        }
        const std::int32_t length = *reader.i32be(at);
        SaveSample(state, services, at + kInstrumentHeaderSize, length, state.ModuleSampleNumber);
    }
}

}  // namespace vorneck
