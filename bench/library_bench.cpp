// SPDX-License-Identifier: MIT
// What the module library path costs per file and per MB of module, child
// process and all, on the four-channel modules of the demo set and on one
// large four-channel module, against two ways of doing without it:
//   ModuleLibrary   LoadWithModuleLibrary: fork, limits, libxmp, records over a pipe
//   LibraryInProcess libxmp loading in the calling process (what the child does;
//                   unsafe with untrusted files, measured only to split the cost)
//   DirectRead      read the file and copy out the 31 sample ranges its headers give
// ms_per_file and ms_per_MB are wall-clock time (the child's work included);
// --benchmark_counters_tabular=true gives them as a table.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <xmp.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/scratch.h"
#include "demo/module_builder.h"
#include "extra_formats/module_library.h"

namespace {

using vorneck::demo::Bytes;

struct FileSet {
    std::vector<std::string> paths;
    std::uint64_t bytes = 0;
};

std::string Directory() {
    static const std::string dir = vorneck::bench::MakeScratchDirectory("vorneck-library-bench");
    return dir;
}

void Write(FileSet& set, const std::string& name, const Bytes& bytes) {
    const std::string path = Directory() + "/" + name;
    vorneck::bench::WriteWholeFile(path, bytes);
    set.paths.push_back(path);
    set.bytes += bytes.size();
}

// The demo set's four-channel modules ("M.K.", "M!K!", "FLT4"), or one
// module of 31 samples of 60000 bytes (about 1.8 MB).
const FileSet& Files(int which) {
    static const FileSet demoSet = [] {
        FileSet set;
        for (const auto& file : vorneck::demo::DemoSet()) {
            if (file.bytes.size() < 1084) continue;
            const std::string sig(file.bytes.begin() + 1080, file.bytes.begin() + 1084);
            if (sig == "M.K." || sig == "M!K!" || sig == "FLT4") Write(set, file.name, file.bytes);
        }
        return set;
    }();
    static const FileSet large = [] {
        vorneck::demo::ModRecipe recipe;
        for (int s = 0; s < 31; ++s)
            recipe.samples.push_back({"sample " + std::to_string(s),
                                      vorneck::demo::Waveform(static_cast<vorneck::demo::Wave>(s % 5), 60000, 20 + s)});
        recipe.orders = {0, 1, 2, 3};
        FileSet set;
        Write(set, "large.mod", vorneck::demo::BuildMod(recipe));
        return set;
    }();
    return which == 0 ? demoSet : large;
}

Bytes ReadWhole(const std::string& path) {
    Bytes bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    bytes.resize(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)));
    if (::pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) bytes.clear();
    ::close(fd);
    return bytes;
}

// A four-channel module's samples, read straight from its headers.
std::vector<Bytes> DirectRead(const std::string& path) {
    const Bytes file = ReadWhole(path);
    std::vector<Bytes> samples;
    if (file.size() < 1084) return samples;
    std::size_t patterns = 0;
    for (std::size_t i = 952; i < 1080; ++i) patterns = std::max<std::size_t>(patterns, file[i]);
    std::size_t at = 1084 + 1024 * (patterns + 1);
    for (std::size_t i = 0; i < 31; ++i) {
        const std::size_t h = 20 + 30 * i;
        const std::size_t length = 2 * (std::size_t{file[h + 22]} << 8 | file[h + 23]);
        const std::size_t take = at < file.size() ? std::min(length, file.size() - at) : 0;
        if (take) samples.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(at),
                                       file.begin() + static_cast<std::ptrdiff_t>(at + take));
        at += length;
    }
    return samples;
}

// What the child does, in this process.
std::vector<Bytes> InProcess(const std::string& path) {
    std::vector<Bytes> samples;
    xmp_context context = xmp_create_context();
    if (xmp_load_module(context, path.c_str()) == 0) {
        xmp_module_info info{};
        xmp_get_module_info(context, &info);
        for (int i = 0; i < info.mod->smp; ++i) {
            const xmp_sample& s = info.mod->xxs[i];
            if (s.len > 0 && s.data)
                samples.emplace_back(s.data, s.data + s.len * ((s.flg & XMP_SAMPLE_16BIT) ? 2 : 1));
        }
        xmp_release_module(context);
    }
    xmp_free_context(context);
    return samples;
}

using Clock = std::chrono::steady_clock;

void Report(benchmark::State& state, const FileSet& set, Clock::duration elapsed) {
    const double files = static_cast<double>(state.iterations() * set.paths.size());
    const double megabytes = static_cast<double>(state.iterations() * set.bytes) / 1e6;
    const double ms = std::chrono::duration<double, std::milli>(elapsed).count();
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * set.bytes));
    state.counters["ms_per_file"] = ms / files;
    state.counters["ms_per_MB"] = ms / megabytes;
}

void ModuleLibrary(benchmark::State& state) {
    const FileSet& set = Files(static_cast<int>(state.range(0)));
    const auto start = Clock::now();
    for (auto _ : state) {
        for (const auto& path : set.paths) {
            auto result = vorneck::LoadWithModuleLibrary(path);
            if (result.status != vorneck::LibraryStatus::Loaded) {
                state.SkipWithError(("not loaded: " + result.reason).c_str());
                return;
            }
            benchmark::DoNotOptimize(result.module.samples.data());
        }
    }
    Report(state, set, Clock::now() - start);
}

void LibraryInProcess(benchmark::State& state) {
    const FileSet& set = Files(static_cast<int>(state.range(0)));
    const auto start = Clock::now();
    for (auto _ : state)
        for (const auto& path : set.paths) benchmark::DoNotOptimize(InProcess(path).size());
    Report(state, set, Clock::now() - start);
}

void DirectRead(benchmark::State& state) {
    const FileSet& set = Files(static_cast<int>(state.range(0)));
    const auto start = Clock::now();
    for (auto _ : state)
        for (const auto& path : set.paths) benchmark::DoNotOptimize(DirectRead(path).size());
    Report(state, set, Clock::now() - start);
}

// Argument 0: the demo set's three small modules; 1: the large module.
BENCHMARK(ModuleLibrary)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(LibraryInProcess)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DirectRead)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return vorneck::bench::RunBenchmarks(argc, argv, Directory); }
