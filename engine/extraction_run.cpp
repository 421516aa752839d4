// SPDX-License-Identifier: MIT
#include "engine/extraction_run.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <optional>

#include "engine/read_ahead.h"
#include "engine/sample_writer.h"
#include "engine/tracker_formats.h"
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

// Names the module and starts its output afresh.
void BeginModule(ExtractionState& state, const ModuleList& list, std::uint64_t position,
                 std::uint64_t outputLimit) {
    SetModuleName(state, list.EntryText(position));
    state.OutputSubdirectory = list.EntryOutputDirectory(position);
    state.Module = ModuleInfo{};
    state.ModuleDamaged = false;
    state.ModuleOutputBytes = 0;
    state.ModuleOutputLimit = outputLimit;
    state.ModuleOutputStopped = false;
}

// One message per damaged module, after its other messages.
void ReportDamage(const ExtractionState& state, Services& services) {
    if (!state.ModuleDamaged) return;
    const std::string message = kDamagedPrefix + state.ModulePath;
    services.errors.Report({message, state.ModulePath, true, 0, ReportKind::Failure});
}

void ReportReadFailed(ExtractionState& state, Services& services, int error) {
    services.errors.Report({kReadFailedMessage, state.ModulePath, false, error, ReportKind::Failure});
}

// Loads one measured entry into the run's image: taken from the thread that
// read it ahead, or read now.
LoadedFile LoadEntry(ExtractionState& state, Services& services, ReadAhead* ahead, std::uint64_t position,
                     std::uint64_t fileSize) {
    // The image is the state's again however the load ends.
    struct Lent {
        ExtractionState& state;
        ModuleImage image{std::move(state.ModuleImage), state.ModuleImageCapacity};
        ~Lent() {
            state.ModuleImage = std::move(image.bytes);
            state.ModuleImageCapacity = state.ModuleImage ? image.capacity : 0;
        }
    } lent{state};
    if (ahead && ahead->Holds(position, state.ModulePath)) return ahead->Take(lent.image);
    if (ahead) ahead->Drop();
    return LoadFile(services.files, state.ModulePath, fileSize, lent.image, state.ModuleImageLimit,
                    state.ReadTrackerFormats);
}

// Starts reading the entry the run comes to next, if it is small enough to
// be held beside the current one.
void ReadNextAhead(const ExtractionState& state, const ModuleList& list, ReadAhead* ahead, std::uint64_t position) {
    if (!ahead || state.StopRequested) return;
    const std::uint64_t next = NextSelected(list, position + 1);
    if (next >= state.EntryCount || next >= state.FileSizes.size()) return;
    const auto& size = state.FileSizes[next];
    if (!size || *size > ReadAhead::kMostBytes || *size > state.ModuleImageLimit) return;
    ahead->Start(next, list.EntryPath(next), *size, state.ModuleImageLimit);
}

// Loads, recognises and extracts one measured entry.
void ProcessEntry(ExtractionState& state, Services& services, const ModuleList& list,
                  std::uint64_t position, std::uint64_t fileSize, ReadAhead* ahead) {
    using Step = LoadedFile::Step;
    const LoadedFile loaded = LoadEntry(state, services, ahead, position, fileSize);
    state.ModuleSize = loaded.size;
    state.Kind = loaded.kind;
    switch (loaded.step) {
        case Step::OpenFailed:
        case Step::HeadReadFailed:
        case Step::ReadFailed:
            return ReportReadFailed(state, services, loaded.error);
        case Step::HeadNoMemory:
        case Step::NoMemory: {
            const std::string message = std::string(kNoMemoryMessage) + " " + state.ModulePath;
            return services.errors.Report({message, state.ModulePath, true, ENOMEM, ReportKind::Failure});
        }
        case Step::TooLarge: {
            // No real module comes near the cap: a file past it is hostile
            // or broken (a sparse file gains nothing by its holes), and is
            // skipped before any memory is spent on it.
            const std::string message =
                (state.Kind == ModuleKind::Mmd ? kTooLargePrefix : kTrackerTooLargePrefix) + state.ModulePath;
            return services.errors.Report({message, state.ModulePath, true, 0, ReportKind::Failure});
        }
        case Step::NotModule:
            break;
        case Step::Loaded:
            // The next file is read while this one's samples are written.
            ReadNextAhead(state, list, ahead, position);
            services.status.SetPanel(0, "Processing...");
            BeginModule(state, list, position,
                        IsTrackerKind(state.Kind) ? TrackerOutputBound(fileSize) : state.ModuleSize);
            DispatchModule(state, services);
            FinishModuleOutput(state, services);
            ReportDamage(state, services);
            return;
    }

    if (services.fallback) {
        services.status.SetPanel(0, "Processing...");
        BeginModule(state, list, position, 0);
        const FallbackResult result = services.fallback->ExtractOther(state, services, state.ModulePath, fileSize);
        FinishModuleOutput(state, services);
        if (result == FallbackResult::Extracted) {
            ++state.ModsProcessed;
            ReportDamage(state, services);
            return;
        }
        if (result == FallbackResult::Reported) return;
    }
    const std::string message = kUnrecognisedPrefix + state.ModulePath;
    services.errors.Report({message, state.ModulePath, true, 0, ReportKind::Unrecognised});
}

}  // namespace

std::uint64_t AddressableSize(ModuleKind kind) {
    switch (kind) {
        case ModuleKind::FourChannel:
            // Headers and order table, up to 256 patterns of 1024 bytes, and
            // 31 samples of up to 65535 words.
            return 1084 + 256 * 1024 + 31 * 131070;
        case ModuleKind::Mmd:
            // Parts are found by signed 32-bit offsets, and a sample inside a
            // hybrid instrument by a second one from there; lengths are
            // 32-bit too.
            return std::uint64_t{3} << 31;
        case ModuleKind::ModFamily:
            // Up to 32 channels of 128 patterns (or 64 pairs of four-channel
            // ones), 31 samples of up to 65535 words, each perhaps ADPCM.
            return 1088 + 128 * 64 * 32 * 4 + 31 * (131070 + 21);
        case ModuleKind::Xm:
        case ModuleKind::S3m:
        case ModuleKind::It:
            // Offsets and lengths are 32-bit.
            return std::uint64_t{1} << 32;
        case ModuleKind::None:
            break;
    }
    return kDetectionBytes;
}

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
    state.ProtectedInputs.clear();
    std::uint64_t position = 0;
    for (std::uint64_t i = 0; i < state.SelectedCount; ++i) {
        position = NextSelected(list, position);
        if (position >= state.EntryCount) break;
        const std::string path = list.EntryPath(position);
        int error = 0;
        const auto measured = services.files.MeasureFile(path, error);
        if (!measured) {
            const std::string message = kUnableToOpenPrefix + path;
            services.errors.Report({message, path, true, error, ReportKind::Failure});
            // Still an input of the run: what cannot be read now is the
            // user's file all the same, and no output may take its place.
            if (const auto entry = services.files.IdentifyEntry(path)) {
                state.ProtectedInputs.insert(entry->identity);
                if (entry->link) state.ProtectedInputs.insert(*entry->link);
            }
        } else {
            state.FileSizes[position] = measured->size;
            state.ProtectedInputs.insert(measured->identity);
            // A module listed by a link: the link is an input of the run too.
            if (measured->link) state.ProtectedInputs.insert(*measured->link);
            if (measured->size > state.LargestFileSize) state.LargestFileSize = measured->size;
        }
        ++position;
    }
}

void DispatchModule(ExtractionState& state, Services& services) {
    // The walkers that write samples as the module stores them let the
    // writer see the module's samples before the first one is written.
    if (state.Kind == ModuleKind::FourChannel || state.Kind == ModuleKind::Mmd) {
        const auto walk = state.Kind == ModuleKind::FourChannel ? ExtractModSamples : ExtractMmdSamples;
        PlanWriteAhead(state, services, walk);
        walk(state, services);
    } else if (state.Kind == ModuleKind::ModFamily)
        ExtractModFamilySamples(state, services);
    else if (state.Kind == ModuleKind::Xm)
        ExtractXmSamples(state, services);
    else if (state.Kind == ModuleKind::S3m)
        ExtractS3mSamples(state, services);
    else if (state.Kind == ModuleKind::It)
        ExtractItSamples(state, services);
    ++state.ModsProcessed;
}

RunOutcome ExtractSelected(ExtractionState& state, const ModuleList& list,
                           const RunRequest& request, Services& services) {
    RunOutcome outcome = RunOutcome::Completed;
    if (request.destination.empty()) {
        services.errors.Report({kNoDestinationMessage, {}, false, 0, ReportKind::Refusal});
        outcome = RunOutcome::NoDestination;
    } else if (list.SelectedCount() == 0) {
        services.errors.Report({kNoSelectionMessage, {}, false, 0, ReportKind::Refusal});
        outcome = RunOutcome::NoSelection;
    } else {
        state.ModuleImage.reset();
        state.ModuleImageCapacity = 0;
        state.PerModuleDirs = request.perModuleDirs;
        state.DestDirectory = request.destination;

        services.status.SetPanel(0, "Reading filenames...");
        MeasureSelectedFiles(state, list, services);

        if (state.LargestFileSize == 0) {
            // Nothing selected could be measured, or every file is empty.
            services.errors.Report({kNoMemoryMessage, {}, false, 0, ReportKind::Failure});
            outcome = RunOutcome::NoMemory;
        } else {
            // The destination is opened once: every output of the run is made
            // relative to this handle, so that renaming or replacing the
            // directory meanwhile cannot send writes elsewhere. When it cannot
            // be opened, each output reports that it could not be created.
            int error = 0;
            state.DestHandle = services.files.OpenDirectory(state.DestDirectory, error);
            state.NameMaxOf = kNoDirectory;
            state.NameMax = 0;
            state.WrittenOutputs.clear();
            state.FoldedOutputs.clear();
            state.FoldProbedFor = kNoDirectory;
            const std::uint64_t iterations = state.SelectedCount;
            std::uint64_t position = 0;
            state.StopRequested = false;
            std::optional<ReadAhead> ahead;
            if (state.ReadAheadAllowed && ReadAhead::Worthwhile()) ahead.emplace(services.files, state.ReadTrackerFormats);
            for (std::uint64_t i = 0; i < iterations && !state.StopRequested; ++i) {
                position = NextSelected(list, position);
                if (position >= state.EntryCount) break;
                const auto& size = state.FileSizes[position];
                if (services.observer) services.observer->EntryStarted(position);
                if (size) {
                    state.ModulePath = list.EntryPath(position);
                    services.status.SetPanel(0, "Loading:" + state.ModulePath);
                    try {
                        ProcessEntry(state, services, list, position, *size, ahead ? &*ahead : nullptr);
                    } catch (const std::exception&) {
                        FinishModuleOutput(state, services);
                        services.errors.Report(
                            {kOpenFileFailedMessage, state.ModulePath, false, 0, ReportKind::Failure});
                    }
                    state.ModulePath.clear();
                    state.OutputSubdirectory.clear();
                }
                ShowModsProcessed(state, services);
                if (services.observer) services.observer->EntryDone(i + 1, iterations);
                ++position;
            }
            ahead.reset();
            services.files.CloseDirectory(state.DestHandle);
            state.DestHandle = kNoDirectory;
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
