// SPDX-License-Identifier: MIT
// Module formats beyond the engine's own two, read through the module
// library (libxmp). The library is never run in the calling process: each
// file is loaded in a child process of its own, under a time limit and a
// memory limit, and only plain sample records come back over a pipe, checked
// as untrusted input. A child that crashes, hangs, runs out of memory or
// sends malformed data costs that one file a Failed result; the caller lives
// on.
//
// The caller must not reap children it did not start (no waitpid(-1, ...)
// in a SIGCHLD handler). Calls from several threads are served one at a
// time. Each child unpacks packed files into a private directory under
// TMPDIR, made for its load and emptied and removed after it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/sample_info.h"

namespace vorneck {

struct LibrarySample {
    // slot: 1-based number in the module's sample list; name, rate, loop
    // (frames, end exclusive), volume, finetune and transpose as the library
    // records them; decoded = true; encoding = DecodedPcm(8 or 16, channels).
    SampleInfo info;
    // Decoded PCM: signed, 8- or 16-bit little-endian, channels interleaved.
    std::vector<std::uint8_t> pcm;

    std::uint64_t Frames() const {
        const auto bytesPerFrame = info.encoding.BytesPerFrame();
        return bytesPerFrame ? pcm.size() / bytesPerFrame : 0;
    }
};

struct LibraryModule {
    // format: "xm", "s3m", "it", "mod" (multi-channel and fifteen-sample
    // Amiga modules too), "stm", "mtm", "669" ... or, where no short name is
    // known, the library's own name of its loader ("Oktalyzer").
    // songName: the module's title.
    ModuleInfo module;
    // The library's longer description of the file, e.g. "FastTracker v2.00 XM 1.04".
    std::string formatDetail;
    std::vector<LibrarySample> samples;  // every sample that holds data, in slot order
};

struct LibraryLimits {
    // Larger files are not offered to the library at all.
    std::uint64_t maxFileSize = std::uint64_t{64} << 20;
    // CPU time per file, rounded up to whole seconds (the child's
    // RLIMIT_CPU): what a load may cost, however busy the machine is.
    std::chrono::milliseconds timeLimit{5000};
    // Wall-clock time per file: the backstop for a child that waits rather
    // than computes, or trickles its answer.
    std::chrono::milliseconds wallLimit{30000};
    // Address space the child may add to what it inherits. Not applied in
    // builds with AddressSanitizer, whose shadow memory cannot live under it.
    std::uint64_t memoryLimit = std::uint64_t{512} << 20;
    // Decoded output is bounded by this factor times the file size (packed
    // formats and IT compression decompress) ...
    std::uint64_t maxOutputFactor = 32;
    // ... and never more than this many bytes of PCM per file.
    std::uint64_t maxOutputBytes = std::uint64_t{256} << 20;
};

enum class LibraryStatus {
    Loaded,          // module holds the file's samples
    NotRecognised,   // not a format the library reads, or the library could not load it
    TooLarge,        // larger than maxFileSize: never offered to the library
    OutputTooLarge,  // decoded samples would exceed the output bound
    Unreadable,      // the file cannot be opened or is not a regular file
    Failed,          // the child crashed, hung, exceeded a limit or sent malformed data
};

struct LibraryResult {
    LibraryStatus status = LibraryStatus::Failed;
    // For every status but Loaded: what happened, in words, without the path
    // ("killed by signal 11 (Segmentation fault)", "CPU time limit of 5 s
    // exceeded", "wall-clock time limit of 30 s exceeded", "memory limit
    // exceeded", "1.2 GiB of samples from a 40 MiB
    // file exceeds the bound of 256 MiB").
    std::string reason;
    LibraryModule module;
};

LibraryResult LoadWithModuleLibrary(const std::string& path, const LibraryLimits& limits = {});

// Limits with a CPU time of `seconds` per file and a wall-clock backstop of
// six times that, never less than the default's.
LibraryLimits LimitsWithTime(std::uint64_t seconds);

// The decoded output allowed for a file of `fileSize` bytes.
std::uint64_t OutputBound(std::uint64_t fileSize, const LibraryLimits& limits);

// The version of the module library the program was built against, e.g. "4.5.0".
std::string ModuleLibraryVersion();

}  // namespace vorneck
