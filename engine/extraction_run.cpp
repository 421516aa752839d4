#include "engine/extraction_run.h"

#include <array>
#include <exception>
#include <new>

#include "engine/walkers.h"

namespace vorneck {
namespace {

bool SignatureEquals(std::span<const std::uint8_t> bytes, std::size_t at, const char* signature) {
    for (std::size_t i = 0; i < 4; ++i) {
        std::uint8_t c = bytes[at + i];
        if (c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 'a' + 'A');
        if (c != static_cast<std::uint8_t>(signature[i])) return false;
    }
    return true;
}

// Position of the first selected entry at or after `from`, or EntryCount.
std::uint64_t NextSelected(const ModuleList& list, std::uint64_t from) {
    const std::uint64_t count = list.EntryCount();
    while (from < count && !list.IsSelected(from)) ++from;
    return from;
}

}  // namespace

ModuleKind DetectModuleKind(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kModSignatureAt = 1080;
    if (bytes.size() >= kModSignatureAt + 4) {
        for (const char* sig : {"M.K.", "M!K!", "FLT4"})
            if (SignatureEquals(bytes, kModSignatureAt, sig)) return ModuleKind::FourChannel;
    }
    if (bytes.size() >= 4) {
        for (const char* sig : {"MMD0", "MMD1", "MMD2", "MMD3"})
            if (SignatureEquals(bytes, 0, sig)) return ModuleKind::Mmd;
    }
    return ModuleKind::None;
}

void SetModuleName(ExtractionState& state, const std::string& entryText) {
    const auto slash = entryText.find_last_of('/');
    state.ModuleName = slash == std::string::npos ? entryText : entryText.substr(slash + 1);
}

void ShowModsProcessed(const ExtractionState& state, Services& services) {
    services.status.SetPanel(1, "Mods Processed: " + std::to_string(state.ModsProcessed));
}

void ShowSamplesSaved(const ExtractionState& state, Services& services) {
    services.status.SetPanel(2, "Samples saved: " + std::to_string(state.SamplesSaved));
}

void MeasureSelectedFiles(ExtractionState& state, const ModuleList& list, Services& services) {
    state.LargestFileSize = 0;
    state.SelectedCount = list.SelectedCount();
    state.EntryCount = list.EntryCount();
    // Sizes from an earlier run are never used: an entry that cannot be
    // measured now is skipped rather than loaded with a stale size.
    state.FileSizes.assign(state.EntryCount, std::nullopt);
    std::uint64_t position = 0;
    for (std::uint64_t i = 0; i < state.SelectedCount; ++i) {
        position = NextSelected(list, position);
        if (position >= state.EntryCount) break;
        const std::string path = list.EntryPath(position);
        const auto size = services.files.MeasureFile(path);
        if (!size) {
            services.errors.ErrorReport(kUnableToOpenPrefix + path);
        } else {
            state.FileSizes[position] = *size;
            if (*size > state.LargestFileSize) state.LargestFileSize = *size;
        }
        ++position;
    }
}

bool LoadModuleImage(ExtractionState& state, const std::string& path, Services& services) {
    try {
        const auto got = services.files.ReadFile(
            path, {state.ModuleImage.get(), static_cast<std::size_t>(state.ModuleSize)});
        if (!got || *got < state.ModuleSize) {
            services.errors.ErrorReport(kReadFailedMessage);
            return false;
        }
        return true;
    } catch (const std::exception&) {
        services.errors.ErrorReport(kOpenFileFailedMessage);
        return false;
    }
}

void DispatchModule(ExtractionState& state, Services& services) {
    if (state.Kind == ModuleKind::FourChannel)
        ExtractModSamples(state, services);
    else if (state.Kind == ModuleKind::Mmd)
        ExtractMmdSamples(state, services);
    ++state.ModsProcessed;
}

RunOutcome ExtractSelected(ExtractionState& state, const ModuleList& list,
                           const RunRequest& request, Services& services) {
    RunOutcome outcome = RunOutcome::Completed;
    if (request.destination.empty()) {
        services.errors.ErrorReport(kNoDestinationMessage);
        outcome = RunOutcome::NoDestination;
    } else if (list.SelectedCount() == 0) {
        services.errors.ErrorReport(kNoSelectionMessage);
        outcome = RunOutcome::NoSelection;
    } else {
        state.ModuleImage.reset();
        state.ModuleImageCapacity = 0;
        state.PerModuleDirs = request.perModuleDirs;
        state.DestDirectory = request.destination;

        services.status.SetPanel(0, "Reading filenames...");
        MeasureSelectedFiles(state, list, services);

        if (state.LargestFileSize > 0 && state.LargestFileSize <= SIZE_MAX)
            state.ModuleImage.reset(new (std::nothrow) std::uint8_t[state.LargestFileSize]);
        if (!state.ModuleImage) {
            services.errors.ErrorReport(kNoMemoryMessage);
            outcome = RunOutcome::NoMemory;
        } else {
            state.ModuleImageCapacity = state.LargestFileSize;
            const std::uint64_t iterations = state.SelectedCount;
            std::uint64_t position = 0;
            for (std::uint64_t i = 0; i < iterations; ++i) {
                position = NextSelected(list, position);
                if (position >= state.EntryCount) break;
                const auto& size = state.FileSizes[position];
                if (size) {
                    state.ModuleSize = *size;
                    const std::string path = list.EntryPath(position);
                    services.status.SetPanel(0, "Loading:" + path);
                    if (LoadModuleImage(state, path, services)) {
                        state.Kind = DetectModuleKind(state.ModuleBytes());
                        if (state.Kind != ModuleKind::None) {
                            services.status.SetPanel(0, "Processing...");
                            SetModuleName(state, list.EntryText(position));
                            state.ModuleDamaged = false;
                            DispatchModule(state, services);
                            if (state.ModuleDamaged)
                                services.errors.ErrorReport(kDamagedPrefix + path);
                        } else {
                            services.errors.ErrorReport(kUnrecognisedPrefix + path);
                        }
                    }
                }
                ShowModsProcessed(state, services);
                if (services.observer) services.observer->EntryDone(i + 1, iterations);
                ++position;
            }
            state.ModuleSize = 0;
            services.status.SetPanel(0, kCompletedStatus);
            state.ModuleImage.reset();
            state.ModuleImageCapacity = 0;
        }
    }
    ShowSamplesSaved(state, services);
    return outcome;
}

}  // namespace vorneck
