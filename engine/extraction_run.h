// The extraction run: measures the selected entries, loads each one whole,
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

// Everything the engine reaches outside itself.
struct Services {
    FileOps& files;
    ErrorReporter& errors;
    StatusLine& status;
    RunObserver* observer = nullptr;
};

// What the window's controls give the run.
struct RunRequest {
    std::string destination;  // the destination field's text
    bool perModuleDirs = false;
};

enum class RunOutcome {
    NoDestination,   // refused: empty destination
    NoSelection,     // refused: nothing selected
    NoMemory,        // measured, but no buffer (nothing measurable, or out of memory)
    Completed,       // every selected entry was visited
};

// The engine side of the run button: the whole run, start to end.
RunOutcome ExtractSelected(ExtractionState& state, const ModuleList& list,
                           const RunRequest& request, Services& services);

// The steps of the run, exposed for tests and reuse.
void MeasureSelectedFiles(ExtractionState& state, const ModuleList& list, Services& services);
// Loads ModuleSize bytes of the file into the image; false (after reporting)
// when it cannot be opened or is shorter than measured.
bool LoadModuleImage(ExtractionState& state, const std::string& path, Services& services);
ModuleKind DetectModuleKind(std::span<const std::uint8_t> bytes);
void SetModuleName(ExtractionState& state, const std::string& entryText);
void DispatchModule(ExtractionState& state, Services& services);
void ShowModsProcessed(const ExtractionState& state, Services& services);
void ShowSamplesSaved(const ExtractionState& state, Services& services);

}  // namespace vorneck
