// Builds valid four-channel and MMD modules in memory, with synthesized
// waveforms. The demo set and the tests make their inputs with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorneck::demo {

using Bytes = std::vector<std::uint8_t>;

enum class Wave { Sine, Square, Saw, Triangle, Noise };

// `length` bytes of 8-bit signed PCM, one cycle every `period` bytes.
Bytes Waveform(Wave wave, std::size_t length, std::size_t period = 32, std::uint32_t seed = 1);

// A byte range of a built module where a walker should find a sample.
struct SampleRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct ModSample {
    std::string name;
    Bytes data;  // padded with one zero byte when odd (lengths count words)
};

struct ModRecipe {
    std::string title = "vorneck demo";
    std::string signature = "M.K.";
    std::vector<ModSample> samples;  // up to 31; missing slots are empty
    std::vector<std::uint8_t> orders = {0};  // the song; pattern count follows its highest entry
    // Overrides the length word of slot i (the data written stays as given).
    std::vector<std::pair<int, std::uint16_t>> lengthWordOverrides;
};

Bytes BuildMod(const ModRecipe& recipe, std::vector<SampleRange>* ranges = nullptr);

struct MmdInstrument {
    bool empty = false;   // a zero entry in the instrument table
    std::int16_t type = 0;
    Bytes data;
    std::optional<std::int32_t> lengthOverride;  // the header's length field
};

struct MmdRecipe {
    std::string signature = "MMD0";  // MMD0 to MMD3
    std::vector<MmdInstrument> instruments;  // up to 63 in a player; the walker takes up to 255
};

// Also reports where the song structure and the instrument table went.
struct MmdLayout {
    std::uint64_t song = 0;
    std::uint64_t table = 0;
    std::vector<std::uint64_t> instruments;  // header offset per slot, 0 for empty ones
};

Bytes BuildMmd(const MmdRecipe& recipe, std::vector<SampleRange>* ranges = nullptr,
               MmdLayout* layout = nullptr);

// Big-endian writers for tests that patch built modules.
void PutBe16(Bytes& bytes, std::size_t at, std::uint16_t value);
void PutBe32(Bytes& bytes, std::size_t at, std::uint32_t value);

struct DemoFile {
    std::string name;
    Bytes bytes;
};

// The bundled demo collection: a few modules of every kind.
std::vector<DemoFile> DemoSet();

// Writes DemoSet() into an existing directory; false with errno on failure.
bool WriteDemoSet(const std::string& directory, std::string* error = nullptr);

}  // namespace vorneck::demo
