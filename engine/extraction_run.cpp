// SPDX-License-Identifier: MIT
#include "engine/extraction_run.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include "engine/sample_writer.h"
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

// Makes the image hold at least `size` bytes, keeping its first `keep`
// bytes. False when the memory cannot be had.
bool ReserveImage(ExtractionState& state, std::uint64_t size, std::uint64_t keep) {
    if (size <= state.ModuleImageCapacity) return true;
    if (size > state.ModuleImageLimit || size > PTRDIFF_MAX) return false;
    // Round up a little so that a run over modules of similar sizes does not
    // reallocate for each one.
    const std::uint64_t capacity = std::min<std::uint64_t>(
        std::max<std::uint64_t>(size, state.ModuleImageCapacity + state.ModuleImageCapacity / 4),
        state.ModuleImageLimit);
    std::unique_ptr<std::uint8_t[]> image(new (std::nothrow) std::uint8_t[capacity]);
    if (!image) return false;
    if (keep > 0) std::memcpy(image.get(), state.ModuleImage.get(), keep);
    state.ModuleImage = std::move(image);
    state.ModuleImageCapacity = capacity;
    return true;
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

// Loads, recognises and extracts one measured entry.
void ProcessEntry(ExtractionState& state, Services& services, const ModuleList& list,
                  std::uint64_t position, std::uint64_t fileSize) {
    int error = 0;
    const auto input = services.files.OpenInput(state.ModulePath, error);
    if (!input) return ReportReadFailed(state, services, error);

    // The first bytes tell the format; only a module is loaded further, and
    // only as far as its format can address.
    const std::uint64_t head = std::min(fileSize, kDetectionBytes);
    if (!ReserveImage(state, std::max<std::uint64_t>(head, 1), 0)) {
        const std::string message = std::string(kNoMemoryMessage) + " " + state.ModulePath;
        return services.errors.Report({message, state.ModulePath, true, ENOMEM, ReportKind::Failure});
    }
    const auto gotHead = input->Read({state.ModuleImage.get(), static_cast<std::size_t>(head)});
    if (!gotHead || *gotHead < head) return ReportReadFailed(state, services, gotHead ? 0 : EIO);
    state.ModuleSize = head;
    state.Kind = DetectModuleKind(state.ModuleBytes());
    if (state.Kind == ModuleKind::Mmd && fileSize > kMmdImageCap) {
        // No real MMD module comes near the cap: a file past it is hostile
        // or broken (a sparse file gains nothing by its holes), and is
        // skipped before any memory is spent on it.
        const std::string message = kTooLargePrefix + state.ModulePath;
        return services.errors.Report({message, state.ModulePath, true, 0, ReportKind::Failure});
    }
    if (state.Kind == ModuleKind::None) {
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
        return services.errors.Report({message, state.ModulePath, true, 0, ReportKind::Unrecognised});
    }

    const std::uint64_t size = std::min(fileSize, AddressableSize(state.Kind));
    if (!ReserveImage(state, size, head)) {
        const std::string message = std::string(kNoMemoryMessage) + " " + state.ModulePath;
        return services.errors.Report({message, state.ModulePath, true, ENOMEM, ReportKind::Failure});
    }
    const auto gotRest =
        input->Read({state.ModuleImage.get() + head, static_cast<std::size_t>(size - head)});
    if (!gotRest || *gotRest < size - head) return ReportReadFailed(state, services, gotRest ? 0 : EIO);
    state.ModuleSize = size;

    services.status.SetPanel(0, "Processing...");
    BeginModule(state, list, position, size);
    DispatchModule(state, services);
    FinishModuleOutput(state, services);
    ReportDamage(state, services);
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
            state.WrittenOutputs.clear();
            state.FoldedOutputs.clear();
            state.FoldProbedFor = kNoDirectory;
            const std::uint64_t iterations = state.SelectedCount;
            std::uint64_t position = 0;
            state.StopRequested = false;
            for (std::uint64_t i = 0; i < iterations && !state.StopRequested; ++i) {
                position = NextSelected(list, position);
                if (position >= state.EntryCount) break;
                const auto& size = state.FileSizes[position];
                if (services.observer) services.observer->EntryStarted(position);
                if (size) {
                    state.ModulePath = list.EntryPath(position);
                    services.status.SetPanel(0, "Loading:" + state.ModulePath);
                    try {
                        ProcessEntry(state, services, list, position, *size);
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
