// SPDX-License-Identifier: MIT
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
    std::int8_t finetune = 0;         // -8 to 7
    std::uint8_t volume = 64;
    std::uint16_t repeatStart = 0;    // words
    std::uint16_t repeatLength = 1;   // words; 1 is no loop
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
    std::optional<std::int32_t> lengthOverride = {};  // the header's length field
    std::string name = {};          // in the expansion data's instrument names
    std::int8_t finetune = 0;       // in the expansion data, eighths of a semitone
    bool pingPong = false;          // loop mode in the expansion data
    std::int8_t transpose = 0;      // the song's sample table (first 63 slots)
    std::uint8_t volume = 64;
    std::uint16_t repeat = 0;       // words
    std::uint16_t repeatLength = 1; // words; 1 is no loop
    // A hybrid instrument (type -2): a synthetic instrument's header whose
    // first waveform pointer leads to an ordinary sample of `type` holding
    // `data`.
    bool hybrid = false;
    // The loop flag of the expansion data's instrument flags, which trackers
    // from MMD2 on set beside a repeat length: written as set whenever the
    // repeat length makes a loop, unless this is true.
    bool loopFlagOff = false;
    // MMD3's exact repeat fields (frames), written in the expansion data.
    std::uint32_t longRepeat = 0;
    std::uint32_t longRepeatLength = 0;
};

struct MmdRecipe {
    std::string signature = "MMD0";  // MMD0 to MMD3
    std::vector<MmdInstrument> instruments;  // up to 63 in a player; the walker takes up to 255
    std::string songName = {};  // with names, finetunes or loop modes: written in expansion data
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
// The same for any set of files.
bool WriteFiles(const std::vector<DemoFile>& files, const std::string& directory, std::string* error = nullptr);

}  // namespace vorneck::demo
