// SPDX-License-Identifier: MIT
// The generated files of a benchmark program: a directory of its own,
// written to, and removed when the program ends.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

namespace vorneck::bench {

// Makes a new directory "<prefix>-XXXXXX" on tmpfs (/dev/shm) where there is
// one, so that the disk's speed does not count, otherwise in /tmp. Ends the
// program when it cannot.
inline std::string MakeScratchDirectory(const std::string& prefix) {
    const bool shm = std::filesystem::is_directory("/dev/shm");
    std::string pattern = std::string(shm ? "/dev/shm" : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    return pattern;
}

// Writes `bytes` as the whole of the file at `path`.
inline void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs the benchmarks the command line chooses, then removes the directory
// `scratch` gives and everything in it. The exit status of the program.
inline int RunBenchmarks(int argc, char** argv, std::string (*scratch)()) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch());
    return 0;
}

}  // namespace vorneck::bench
