// SPDX-License-Identifier: MIT
// The extraction run: measures the selected entries, loads each module,
// recognises its format and hands it to the walker of its kind.
#pragma once

#include <span>
#include <string>

#include "engine/extraction_state.h"
#include "engine/file_ops.h"
#include "engine/module_list.h"
#include "engine/services.h"

namespace vorneck {

// Fixed texts of the run. Front ends compare against these.
inline constexpr const char* kNoDestinationMessage = "No destination directory selected.";
inline constexpr const char* kNoSelectionMessage = "No source modules selected.";
inline constexpr const char* kNoMemoryMessage = "Unable to allocate memory.";
inline constexpr const char* kUnableToOpenPrefix = "Unable to open: ";
inline constexpr const char* kReadFailedMessage = "Read() failed.";
inline constexpr const char* kOpenFileFailedMessage = "Open file failed.";
inline constexpr const char* kUnrecognisedPrefix = "Unrecognised file format: ";
inline constexpr const char* kDamagedPrefix = "Module is truncated or damaged: ";
inline constexpr const char* kCompletedStatus = "Vorneck completed.";
inline constexpr const char* kTooLargePrefix = "Module is larger than an MMD module can be (64 MiB): ";

// The largest MMD module the run loads. Real ones, samples and all, stay
// far below it.
inline constexpr std::uint64_t kMmdImageCap = std::uint64_t{64} << 20;
// The same for the tracker formats the command line reads itself (XM, S3M,
// IT): their decoded samples may not pass 256 MiB anyway.
inline constexpr const char* kTrackerTooLargePrefix = "Module is larger than the tracker readers take (256 MiB): ";
inline constexpr std::uint64_t kTrackerImageCap = std::uint64_t{256} << 20;

struct Services;

// Offered every file the run's own detection does not recognise (the
// command line's other formats).
enum class FallbackResult {
    Extracted,      // recognised, its samples handed to the writer: the module counts as processed
    Reported,       // it said itself what went wrong
    NotRecognised,  // the run reports the file as unrecognised
};
class ModuleFallback {
public:
    virtual ~ModuleFallback() = default;
    // The module's output bound (ModuleOutputLimit) is the fallback's to set.
    virtual FallbackResult ExtractOther(ExtractionState& state, Services& services, const std::string& path,
                                        std::uint64_t size) = 0;
};

// Everything the engine reaches outside itself.
struct Services {
    FileOps& files;
    ErrorReporter& errors;
    StatusLine& status;
    RunObserver* observer = nullptr;
    SampleOutput* output = nullptr;
    ModuleFallback* fallback = nullptr;
};

// What the window's controls give the run.
struct RunRequest {
    std::string destination;  // the destination field's text
    bool perModuleDirs = false;
};

enum class RunOutcome {
    NoDestination,   // refused: empty destination
    NoSelection,     // refused: nothing selected
    NoMemory,        // measured, but nothing to load (every selected file empty or unreadable)
    Completed,       // every selected entry was visited
};

// The engine side of the run button: the whole run, start to end.
RunOutcome ExtractSelected(ExtractionState& state, const ModuleList& list,
                           const RunRequest& request, Services& services);

// The most bytes of a module of this kind its format can address: a larger
// file is loaded only that far.
std::uint64_t AddressableSize(ModuleKind kind);
// How many first bytes of a file DetectModuleKind looks at.
inline constexpr std::uint64_t kDetectionBytes = 1084;

// The steps of the run, exposed for tests and reuse.
void MeasureSelectedFiles(ExtractionState& state, const ModuleList& list, Services& services);
ModuleKind DetectModuleKind(std::span<const std::uint8_t> bytes);
void SetModuleName(ExtractionState& state, const std::string& entryText);
void DispatchModule(ExtractionState& state, Services& services);
void ShowModsProcessed(const ExtractionState& state, Services& services);
void ShowSamplesSaved(const ExtractionState& state, Services& services);

}  // namespace vorneck
