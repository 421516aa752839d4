// SPDX-License-Identifier: MIT
// The variables the run, the sample writer and the walkers share. One
// instance lives as long as the program (the window and the command line
// each own theirs); Reset() gives the start-up values.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <span>
#include <string>
#include <vector>

#include "engine/file_ops.h"
#include "engine/sample_info.h"

namespace vorneck {

// The window knows the first two; the command line's readers of every
// format the others (engine/tracker_formats.h).
enum class ModuleKind : std::uint8_t { None = 0, FourChannel = 1, Mmd = 2, ModFamily = 3, Xm = 4, S3m = 5, It = 6 };

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
    // Every listed input of this run, measured or not: no output may
    // replace one of them.
    std::unordered_set<FileIdentity, FileIdentityHash> ProtectedInputs;

    // One buffer serves every module of a run; it grows when a module needs
    // more and is released at the end of the run. Only the first ModuleSize
    // bytes belong to the current module.
    std::unique_ptr<std::uint8_t[]> ModuleImage;
    std::uint64_t ModuleImageCapacity = 0;
    // The most the buffer may grow to; a module that needs more is reported
    // as out of memory and skipped.
    std::uint64_t ModuleImageLimit = UINT64_MAX;
    std::uint64_t ModuleSize = 0;

    ModuleKind Kind = ModuleKind::None;
    std::string ModulePath;  // as it appears in messages
    std::string ModuleName;
    ModuleInfo Module;       // format and song name, filled by the walkers
    std::string ModuleDirectory;
    // Set when a walker met a structure or a sample range outside the file,
    // or the module's samples would add up to more than the file holds.
    bool ModuleDamaged = false;
    // Bytes of samples handed to the writer for the current module, and the
    // most they may add up to: in a sound module the samples lie side by
    // side inside the file.
    std::uint64_t ModuleOutputBytes = 0;
    std::uint64_t ModuleOutputLimit = 0;
    bool ModuleOutputStopped = false;
    // Write 16-bit and stereo MMD instruments, decoded (command line only).
    bool DecodeWideMmd = false;
    // Read the tracker formats (MOD family, XM, S3M, IT) with the engine's
    // own readers (command line only).
    bool ReadTrackerFormats = false;

    // Output places of this run: the destination, opened once, and the
    // directory the current module's samples go into.
    DirHandle DestHandle = kNoDirectory;
    DirHandle ModuleDirHandle = kNoDirectory;
    int ModuleDirError = 0;  // why the module's directory could not be opened
    // The module's directory as this run made it, and what went into it: one
    // that holds nothing because every sample was a copy is removed again.
    std::string ModuleDirName;
    bool ModuleDirMade = false;
    bool ModuleDirFilled = false;
    bool ModuleDirSkippedCopies = false;
    // Why the current module's sub-directory below the destination could
    // not be opened, and the run's own words for it where it has them.
    int SubdirectoryError = 0;
    // The output folder that could not be opened is a link (not followed).
    bool OutputFolderIsLink = false;
    // Below the destination, where the current module's outputs go ("" for
    // the destination itself); the command line mirrors source folders here.
    std::string OutputSubdirectory;
    DirHandle SubdirectoryHandle = kNoDirectory;
    bool SubdirectoryOpened = false;
    // The longest name the current output directory takes, once asked.
    DirHandle NameMaxOf = kNoDirectory;
    std::uint64_t NameMax = 0;
    // The files written this run (samples and, at its end, the manifest), by
    // identity: an output that would replace one of them is refused, however
    // its path is spelt.
    std::unordered_set<FileIdentity, FileIdentityHash> WrittenOutputs;
    // The same, by path with ASCII letters folded, for outputs in a directory
    // that folds letter case, where a file system may give each spelling of
    // one file an inode of its own; and which directory was last asked.
    std::unordered_set<std::string> FoldedOutputs;
    DirHandle FoldProbedFor = kNoDirectory;
    bool FoldingDirectory = false;

    // Read the next module on a second thread while this one's samples are
    // written, where there are two cores or more.
    bool ReadAheadAllowed = true;
    // Write a module's samples ahead into unnamed files on a second thread
    // while the run names the ones before them (where the file operations
    // can). AheadSpans holds the current module's sample bytes, found by a
    // walk that only records them (RecordingRanges), until they are handed
    // over.
    bool WriteAheadAllowed = true;
    bool RecordingRanges = false;
    std::vector<std::span<const std::uint8_t>> AheadSpans;

    // Set by a front end to end the run: no more samples are written, and
    // the run ends after the current entry.
    bool StopRequested = false;

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
