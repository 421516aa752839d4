// The variables the run, the sample writer and the walkers share. One
// instance lives as long as the program (the window and the command line
// each own theirs); Reset() gives the start-up values.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vorneck {

enum class ModuleKind : std::uint8_t { None = 0, FourChannel = 1, Mmd = 2 };

struct ExtractionState {
    // Copied from the window at the start of each run.
    std::string DestDirectory;
    bool PerModuleDirs = false;

    // Other flags the window keeps here.
    bool MatchCase = false;
    bool ChooserForDest = false;

    // The measuring pass: sizes of the selected entries of this run, by list
    // position; an entry that could not be measured has none.
    std::vector<std::optional<std::uint64_t>> FileSizes;
    std::uint64_t LargestFileSize = 0;
    std::uint64_t SelectedCount = 0;
    std::uint64_t EntryCount = 0;

    // One buffer per run, as large as the largest selected file; holds the
    // current module from its first byte. Only the first ModuleSize bytes
    // belong to the current file.
    std::unique_ptr<std::uint8_t[]> ModuleImage;
    std::uint64_t ModuleImageCapacity = 0;
    std::uint64_t ModuleSize = 0;

    ModuleKind Kind = ModuleKind::None;
    std::string ModuleName;
    std::string ModuleDirectory;
    // Set when a walker met a structure or a sample range outside the file.
    bool ModuleDamaged = false;

    std::int64_t ModuleSampleNumber = 0;
    std::int64_t SamplesSaved = 0;   // since start-up
    std::int64_t ModsProcessed = 0;  // since start-up

    // The bytes of the current module only.
    std::span<const std::uint8_t> ModuleBytes() const {
        return {ModuleImage.get(), static_cast<std::size_t>(ModuleSize)};
    }

    void Reset() { *this = ExtractionState{}; }
};

}  // namespace vorneck
