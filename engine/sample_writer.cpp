// SPDX-License-Identifier: MIT
#include "engine/sample_writer.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "engine/byte_reader.h"

namespace vorneck {
namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// A link where a folder is wanted is never followed; the system's words for
// that ("Not a directory", "Too many levels of symbolic links") would only
// puzzle.
std::string_view FolderRule(bool isLink) { return isLink ? kFolderIsLink : std::string_view(); }

// Where outputs go when no per-module directory is made: the destination,
// or the current module's sub-directory of it (made as needed, each level
// a real directory; a link on the way is not followed).
DirHandle BaseDirectory(ExtractionState& state, Services& services) {
    if (state.OutputSubdirectory.empty()) return state.DestHandle;
    if (state.SubdirectoryOpened) return state.SubdirectoryHandle;
    state.SubdirectoryOpened = true;
    DirHandle dir = state.DestHandle;
    bool owned = false;
    std::string path = WithSlash(state.DestDirectory);
    std::size_t start = 0;
    while (start <= state.OutputSubdirectory.size()) {
        std::size_t end = state.OutputSubdirectory.find('/', start);
        if (end == std::string::npos) end = state.OutputSubdirectory.size();
        const std::string level = state.OutputSubdirectory.substr(start, end - start);
        start = end + 1;
        if (level.empty()) continue;
        path += level;
        int error = 0;
        const bool reported = !services.files.MakeDirectoryAt(dir, level, error) && error != EEXIST;
        if (reported) {
            const std::string message = kCreateDirectoryFailedPrefix + path;
            services.errors.Report({message, state.ModulePath, true, error, ReportKind::Failure});
        }
        const DirHandle next = services.files.OpenSubdirectory(dir, level, error);
        const bool isLink = next == kNoDirectory && services.files.EntryAt(dir, level).type == EntryType::Link;
        if (owned) services.files.CloseDirectory(dir);
        dir = next;
        owned = true;
        if (dir == kNoDirectory) {
            // Said once for the folder; its samples then say it was the folder.
            state.SubdirectoryError = error;
            state.OutputFolderIsLink = isLink;
            const std::string message = kCreateDirectoryFailedPrefix + path;
            if (!reported)
                services.errors.Report({message, state.ModulePath, true, error, ReportKind::Failure,
                                        FolderRule(isLink)});
            break;
        }
        path += '/';
    }
    state.SubdirectoryHandle = dir;
    return dir;
}

void AppendWithSlash(std::string& path, const std::string& part) {
    path += part;
    if (path.empty() || path.back() != '/') path += '/';
}

// The path of the directory outputs go into when there is no per-module one,
// ending in a slash.
std::string BasePath(const ExtractionState& state, std::size_t room = 0) {
    std::string path;
    path.reserve(state.DestDirectory.size() + state.OutputSubdirectory.size() + 2 + room);
    AppendWithSlash(path, state.DestDirectory);
    if (!state.OutputSubdirectory.empty()) AppendWithSlash(path, state.OutputSubdirectory);
    return path;
}

// How many first bytes of `text` CutAtCharacter keeps.
std::size_t CutLength(const std::string& text, std::uint64_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    std::size_t end = static_cast<std::size_t>(maxBytes);
    // Step back over continuation bytes to the start of the character that
    // would be split, if it is a well-formed multi-byte character.
    std::size_t start = end;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80 && end - start < 3) --start;
    const auto lead = static_cast<unsigned char>(text[start]);
    const std::size_t width = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (start < end && width > end - start) end = start;
    return end;
}

// Makes the module's own directory at its first sample. Failing to make it
// (it may exist already) is reported, and the samples still go into it if
// it is a real directory.
void SetUpModuleDirectory(ExtractionState& state, Services& services) {
    const DirHandle parent = BaseDirectory(state, services);
    std::string name = CutAtCharacter(state.ModuleName, services.files.NameMax(parent));
    // A module named on a command line may be a hidden file; its directory
    // is not made hidden too.
    if (!name.empty() && name[0] == '.') name[0] = '_';
    state.ModuleDirectory = BasePath(state) + name;
    int error = 0;
    const bool made = services.files.MakeDirectoryAt(parent, name, error);
    services.files.CloseDirectory(state.ModuleDirHandle);
    int openError = 0;
    state.ModuleDirHandle = services.files.OpenSubdirectory(parent, name, openError);
    state.ModuleDirError = state.ModuleDirHandle == kNoDirectory ? openError : 0;
    state.OutputFolderIsLink =
        state.ModuleDirHandle == kNoDirectory && services.files.EntryAt(parent, name).type == EntryType::Link;
    state.NameMax = 0;
    if (!made) {
        // "File exists" only when what exists is a directory the samples can
        // go into; otherwise the reason it cannot be used.
        if (error == EEXIST && state.ModuleDirHandle == kNoDirectory) error = openError;
        const std::string message = kCreateDirectoryFailedPrefix + state.ModuleDirectory;
        services.errors.Report(
            {message, state.ModulePath, true, error, ReportKind::Failure, FolderRule(state.OutputFolderIsLink)});
    }
    state.ModuleDirName = name;
    state.ModuleDirMade = made;
    state.ModuleDirFilled = false;
    state.ModuleDirSkippedCopies = false;
    state.ModuleDirectory += '/';
}

std::string FoldCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Whether the output directory folds letter case is asked once per
// directory, with the first name written there: if the name's other
// spelling answers too, it does (or holds both spellings, when being
// careful costs nothing). Outputs in such a directory are also recorded by
// their folded path.
void RecordFolding(ExtractionState& state, Services& services, DirHandle dir, const std::string& name,
                   const std::string& path) {
    if (state.FoldProbedFor != dir) {
        std::string swapped = name;
        bool letters = false;
        for (char& c : swapped) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            else continue;
            letters = true;
        }
        if (!letters) return;
        state.FoldProbedFor = dir;
        state.FoldingDirectory = services.files.EntryAt(dir, swapped).type == EntryType::Regular;
    }
    if (state.FoldingDirectory) state.FoldedOutputs.insert(FoldCase(path));
}

// The module's first write hands the samples after it over to be written
// ahead, now that their directory is known.
void HandOverAhead(ExtractionState& state, Services& services, DirHandle dir, std::span<const std::uint8_t> bytes) {
    const auto& spans = state.AheadSpans;
    const auto same = [&](const std::span<const std::uint8_t>& span) {
        return span.data() == bytes.data() && span.size() == bytes.size();
    };
    auto after = std::find_if(spans.begin(), spans.end(), same);
    after = after == spans.end() ? spans.begin() : after + 1;
    if (dir != kNoDirectory && after != spans.end())
        services.files.WriteAheadAt(dir, std::span(&*after, static_cast<std::size_t>(spans.end() - after)));
    state.AheadSpans.clear();
}

void Notify(const ExtractionState& state, Services& services, SampleEvent event) {
    if (!services.observer) return;
    event.modulePath = state.ModulePath;
    event.module = &state.Module;
    services.observer->SampleDone(event);
}

void Save(ExtractionState& state, Services& services, std::span<const std::uint8_t> stored,
          std::optional<std::uint64_t> offset, std::int64_t number, const SampleInfo& info,
          std::optional<std::uint64_t> storedLength = std::nullopt) {
    if (state.StopRequested || state.RecordingRanges) return;
    SampleEvent event;
    event.sample = &info;
    event.number = number;
    event.offset = offset;
    event.length = offset ? std::optional<std::uint64_t>(storedLength.value_or(stored.size())) : std::nullopt;
    event.stored = stored;

    // The samples of a sound module lie side by side inside its file: more
    // than the file holds means the table is damaged or hostile. That sample
    // and every later one are left out.
    if (state.ModuleOutputStopped || stored.size() > state.ModuleOutputLimit - state.ModuleOutputBytes ||
        state.ModuleOutputBytes > state.ModuleOutputLimit) {
        state.ModuleOutputStopped = true;
        state.ModuleDamaged = true;
        event.fate = SampleFate::Skipped;
        Notify(state, services, event);
        return;
    }
    state.ModuleOutputBytes += stored.size();

    if (number == 0 && state.PerModuleDirs) SetUpModuleDirectory(state, services);
    const DirHandle dir = state.PerModuleDirs ? state.ModuleDirHandle : BaseDirectory(state, services);

    SampleContext context{state.ModulePath, state.ModuleName, &state.Module, &info, number};
    if (state.NameMaxOf != dir || state.NameMax == 0) {
        state.NameMaxOf = dir;
        state.NameMax = services.files.NameMax(dir);
    }
    const std::uint64_t maxName = state.NameMax;
    const std::string name = services.output ? services.output->FileName(context, maxName)
                                             : DefaultSampleName(number, state.ModuleName, maxName);
    std::string path;
    if (state.PerModuleDirs) {
        path.reserve(state.ModuleDirectory.size() + name.size());
        path += state.ModuleDirectory;
    } else {
        path = BasePath(state, name.size());
    }
    path += name;
    event.outputPath = path;
    context.outputPath = path;

    const auto fail = [&](const char* prefix, int error, const char* rule) {
        const bool refused = rule != nullptr;
        // A sample that could not go into its directory fails for the
        // directory's reason.
        std::string_view why = refused ? std::string_view(rule) : std::string_view();
        if (dir == kNoDirectory && !refused) {
            const int dirError = state.PerModuleDirs ? state.ModuleDirError : state.SubdirectoryError;
            if (dirError != 0) error = dirError;
            if (state.OutputFolderIsLink) why = kInFolderThatIsLink;
        }
        const std::string message = prefix + path;
        services.errors.Report({message, state.ModulePath, true, refused ? 0 : error, ReportKind::Failure, why});
        event.fate = refused ? SampleFate::Refused : SampleFate::Failed;
        // A refused output still uses up its number, so that the module's
        // other samples keep their own names.
        if (refused) ++state.ModuleSampleNumber;
        Notify(state, services, event);
    };

    PreparedSample prepared;
    if (services.output) {
        prepared = services.output->Prepare(context, stored);
        if (prepared.action == PreparedSample::Action::Duplicate) {
            state.ModuleDirSkippedCopies = true;
            ++state.ModuleSampleNumber;
            event.fate = SampleFate::Duplicate;
            event.duplicateOf = prepared.duplicateOf;
            Notify(state, services, event);
            return;
        }
        if (prepared.action == PreparedSample::Action::Fail) {
            // The output's format cannot hold this sample: like every other
            // refusal it uses up its number, so the samples after it keep
            // the names they have in every other format.
            services.errors.Report({prepared.failure, state.ModulePath, true, 0, ReportKind::Failure});
            ++state.ModuleSampleNumber;
            event.fate = SampleFate::Refused;
            Notify(state, services, event);
            return;
        }
    }
    const std::span<const std::uint8_t> bytes =
        prepared.useStored ? stored : std::span<const std::uint8_t>(prepared.bytes);

    // Where the file system folds letter case but gives each spelling an
    // inode of its own (FAT through FUSE), identity alone cannot tell.
    if (!state.FoldedOutputs.empty() && state.FoldedOutputs.count(FoldCase(path)))
        return fail(kCreateFailedPrefix, 0, kWrittenThisRun);

    if (!state.AheadSpans.empty()) HandOverAhead(state, services, dir, bytes);
    const WriteResult result = services.files.WriteFileAt(dir, name, bytes, ProtectingInputs(state));
    if (result.status == WriteStatus::Refused) return fail(kCreateFailedPrefix, 0, RefusalText(result.rule));
    if (result.status == WriteStatus::CreateFailed) return fail(kCreateFailedPrefix, result.error, nullptr);
    if (result.status == WriteStatus::WriteFailed) return fail(kWriteFailedPrefix, result.error, nullptr);

    state.WrittenOutputs.insert(result.identity);
    RecordFolding(state, services, dir, name, path);
    if (state.PerModuleDirs) state.ModuleDirFilled = true;
    ++state.ModuleSampleNumber;
    ++state.SamplesSaved;
    if (services.output) services.output->Written(context, path, prepared);
    event.fate = SampleFate::Written;
    Notify(state, services, event);
}

}  // namespace

ReplaceCheck ProtectingInputs(const ExtractionState& state) {
    return [&state](const DirectoryEntry& entry) {
        if (entry.type == EntryType::Regular || entry.type == EntryType::Link) {
            if (state.ProtectedInputs.count(entry.identity))
                return ReplaceDecision{ReplaceDecision::Verdict::Refuse, EEXIST, kRuleInput};
            if (state.WrittenOutputs.count(entry.identity))
                return ReplaceDecision{ReplaceDecision::Verdict::Refuse, EEXIST, kRuleWrittenThisRun};
        }
        return OnlyFilesAndLinks(entry);
    };
}

const char* RefusalText(int rule) { return rule == kRuleWrittenThisRun ? kWrittenThisRun : kWouldReplaceInput; }

std::string SamplePrefix(std::int64_t number) {
    std::string prefix = std::to_string(number) + "_";
    if (prefix.size() > 4) prefix.resize(4);
    return prefix;
}

std::string CutAtCharacter(const std::string& text, std::uint64_t maxBytes) {
    return text.substr(0, CutLength(text, maxBytes));
}

std::string DefaultSampleName(std::int64_t number, const std::string& moduleName, std::uint64_t maxBytes) {
    // The number and '_', at most four characters of them.
    char prefix[24];
    char* end = std::to_chars(prefix, prefix + sizeof prefix - 1, number).ptr;
    *end++ = '_';
    const std::size_t prefixSize = std::min<std::size_t>(static_cast<std::size_t>(end - prefix), 4);
    std::string name;
    if (maxBytes <= prefixSize) return name.assign(prefix, prefixSize);
    const std::size_t keep = CutLength(moduleName, maxBytes - prefixSize);
    name.reserve(prefixSize + keep);
    name.append(prefix, prefixSize).append(moduleName, 0, keep);
    return name;
}

void SaveSample(ExtractionState& state, Services& services, std::int64_t offset,
                std::int64_t length, std::int64_t number, const SampleInfo& info) {
    if (length <= 0) return;
    const ByteReader reader(state.ModuleBytes());
    const ClampedRange range = reader.clamp(offset, length);
    if (state.RecordingRanges) {
        // A sample handed over for decoding is not written as stored.
        if (!range.outside && !info.decoded) state.AheadSpans.push_back(reader.bytes(range));
        return;
    }
    if (range.clipped) state.ModuleDamaged = true;
    if (range.outside) return;
    Save(state, services, reader.bytes(range), range.offset, number, info);
}

void SaveSampleBytes(ExtractionState& state, Services& services, std::span<const std::uint8_t> bytes,
                     std::int64_t number, const SampleInfo& info) {
    if (bytes.empty()) return;
    Save(state, services, bytes, std::nullopt, number, info);
}

void SaveDecodedSample(ExtractionState& state, Services& services, std::span<const std::uint8_t> pcm,
                       std::uint64_t offset, std::uint64_t length, std::int64_t number, const SampleInfo& info) {
    if (pcm.empty()) return;
    Save(state, services, pcm, offset, number, info, length);
}

void PlanWriteAhead(ExtractionState& state, Services& services, void (*walk)(ExtractionState&, Services&)) {
    state.AheadSpans.clear();
    if (!state.WriteAheadAllowed || state.StopRequested || !services.files.WritesAhead()) return;
    // Only outputs that are the stored bytes themselves can be written
    // before the output format has seen them.
    if (services.output && !services.output->WritesStoredBytes()) return;
    class Silent : public ErrorReporter, public StatusLine {
    public:
        void ErrorReport(std::string_view) override {}
        void SetPanel(int, std::string_view) override {}
    } silent;
    Services recording{services.files, silent, silent};
    // The walk changes nothing but what it describes of the module and
    // whether it found damage; both are the real walk's to find again,
    // however this one ends.
    struct Restore {
        ExtractionState& state;
        const ModuleInfo module;
        const bool damaged;
        ~Restore() {
            state.RecordingRanges = false;
            state.Module = module;
            state.ModuleDamaged = damaged;
            state.ModuleSampleNumber = 0;
        }
    } restore{state, state.Module, state.ModuleDamaged};
    state.RecordingRanges = true;
    walk(state, recording);
}

void FinishModuleOutput(ExtractionState& state, Services& services) {
    // Nothing written ahead outlives the module whose bytes it reads.
    services.files.ForgetAhead();
    state.AheadSpans.clear();
    services.files.CloseDirectory(state.ModuleDirHandle);
    state.ModuleDirHandle = kNoDirectory;
    // A directory made for a module whose every sample was a copy of one
    // written before would stay empty: it goes again.
    if (state.ModuleDirMade && !state.ModuleDirFilled && state.ModuleDirSkippedCopies)
        services.files.RemoveEmptyDirectoryAt(BaseDirectory(state, services), state.ModuleDirName);
    state.ModuleDirMade = false;
    // Handles of module and sub-directories are reused by others; the
    // destination's stays the run's.
    if (state.FoldProbedFor != state.DestHandle) state.FoldProbedFor = kNoDirectory;
    state.SubdirectoryError = 0;
    state.OutputFolderIsLink = false;
    if (state.SubdirectoryHandle != state.DestHandle) services.files.CloseDirectory(state.SubdirectoryHandle);
    state.SubdirectoryHandle = kNoDirectory;
    state.SubdirectoryOpened = false;
    // The destination stays open for the whole run, so its handle cannot
    // come to name another directory: what it takes is asked once a run.
    if (state.NameMaxOf != state.DestHandle) state.NameMax = 0;
}

}  // namespace vorneck
