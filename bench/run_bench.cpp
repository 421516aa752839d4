// SPDX-License-Identifier: MIT
// A whole extraction run over a few hundred generated modules, against a
// baseline that does only the unavoidable work: read each file once and
// write the same byte ranges to the same output files.
//
//   vorneck_run_bench                       run the benchmarks
//   vorneck_run_bench --make-modules DIR    write the module set into DIR and exit
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "demo/module_builder.h"
#include "engine/extraction_run.h"
#include "engine/source_file_list.h"

namespace {

using vorneck::demo::Bytes;

struct ModuleSet {
    std::string source;
    std::string dest;
    std::vector<std::string> names;
    std::vector<std::vector<vorneck::demo::SampleRange>> ranges;  // per module
    std::uint64_t totalBytes = 0;
    std::uint64_t largest = 0;
};

// 300 modules of both kinds, from a few KiB to about 600 KiB.
ModuleSet MakeModules(const std::string& directory) {
    ModuleSet set;
    set.source = directory;
    std::filesystem::create_directories(directory);
    for (int m = 0; m < 300; ++m) {
        std::vector<vorneck::demo::SampleRange> ranges;
        Bytes bytes;
        const auto wave = static_cast<vorneck::demo::Wave>(m % 5);
        if (m % 3 != 2) {
            vorneck::demo::ModRecipe recipe;
            const int samples = 4 + m % 28;
            for (int s = 0; s < samples; ++s)
                recipe.samples.push_back({"", vorneck::demo::Waveform(wave, 500 + (m * 131 + s * 977) % 20000)});
            recipe.orders.resize(1 + m % 40);
            for (std::size_t o = 0; o < recipe.orders.size(); ++o) recipe.orders[o] = static_cast<std::uint8_t>(o);
            bytes = vorneck::demo::BuildMod(recipe, &ranges);
        } else {
            vorneck::demo::MmdRecipe recipe;
            recipe.signature = "MMD" + std::to_string(m % 4);
            const int instruments = 3 + m % 40;
            for (int s = 0; s < instruments; ++s)
                recipe.instruments.push_back(
                    {false, 0, vorneck::demo::Waveform(wave, 300 + (m * 71 + s * 1543) % 15000), {}});
            bytes = vorneck::demo::BuildMmd(recipe, &ranges);
        }
        const std::string name = "module" + std::to_string(m) + (m % 3 == 2 ? ".med" : ".mod");
        std::ofstream(directory + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        set.names.push_back(name);
        set.ranges.push_back(std::move(ranges));
        set.totalBytes += bytes.size();
        set.largest = std::max<std::uint64_t>(set.largest, bytes.size());
    }
    return set;
}

ModuleSet& Set() {
    static ModuleSet set = [] {
        // Memory-backed storage where there is some, so that the figures
        // measure the work and not the disk; VORNECK_BENCH_DIR overrides.
        const char* chosen = std::getenv("VORNECK_BENCH_DIR");
        std::filesystem::path root = chosen && *chosen ? std::filesystem::path(chosen)
                                     : std::filesystem::is_directory("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        const std::string base = root / ("vorneck-bench-" + std::to_string(::getpid()));
        ModuleSet s = MakeModules(base + "/src");
        s.dest = base + "/out";
        std::filesystem::create_directories(s.dest);
        std::atexit([] { std::filesystem::remove_all(std::filesystem::path(Set().source).parent_path()); });
        return s;
    }();
    return set;
}

class Quiet : public vorneck::ErrorReporter, public vorneck::StatusLine {
public:
    int errors = 0;
    void ErrorReport(std::string_view) override { ++errors; }
    void SetPanel(int, std::string_view) override {}
};

// Argument 0: every iteration replaces the outputs of the one before (a
// re-run into the same destination); 1: every iteration starts with an
// empty destination (emptied outside the timed part).
void EmptyDestinationIfAsked(benchmark::State& state, const ModuleSet& set) {
    if (state.range(0) == 0) return;
    state.PauseTiming();
    for (const auto& entry : std::filesystem::directory_iterator(set.dest)) std::filesystem::remove(entry.path());
    state.ResumeTiming();
}

void BM_Run(benchmark::State& state) {
    auto& set = Set();
    vorneck::SourceFileList list(set.source, set.names);
    list.SetAllSelected(true);
    vorneck::PosixFileOps files;
    Quiet quiet;
    vorneck::Services services{files, quiet, quiet, nullptr};
    vorneck::ExtractionState extraction;
    for (auto _ : state) {
        EmptyDestinationIfAsked(state, set);
        vorneck::ExtractSelected(extraction, list, {set.dest, false}, services);
    }
    if (quiet.errors) state.SkipWithError("the run reported errors");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * set.totalBytes));
}
BENCHMARK(BM_Run)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reads each file with one read into a reused buffer and writes the known
// ranges to the same names: the least any extractor has to do.
void BM_Baseline(benchmark::State& state) {
    auto& set = Set();
    std::vector<std::uint8_t> buffer(set.largest);
    for (auto _ : state) {
        EmptyDestinationIfAsked(state, set);
        for (std::size_t m = 0; m < set.names.size(); ++m) {
            const std::string path = set.source + "/" + set.names[m];
            const int in = ::open(path.c_str(), O_RDONLY);
            struct stat st {};
            ::fstat(in, &st);
            if (::read(in, buffer.data(), static_cast<std::size_t>(st.st_size)) != st.st_size) std::abort();
            ::close(in);
            for (std::size_t s = 0; s < set.ranges[m].size(); ++s) {
                const std::string out = set.dest + "/" + std::to_string(s) + "_" + set.names[m];
                const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
                const auto& r = set.ranges[m][s];
                if (::write(fd, buffer.data() + r.offset, r.length) != static_cast<ssize_t>(r.length)) std::abort();
                ::close(fd);
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * set.totalBytes));
}
BENCHMARK(BM_Baseline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs the command line with `args` once per iteration, each time into the
// set's emptied destination (emptied outside the timed part).
void RunCliRepeatedly(benchmark::State& state, const std::vector<std::string>& args, std::uint64_t bytes) {
    auto& set = Set();
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::vector<const char*> argv = {"vorneck-cli", "-q", "-o", set.dest.c_str()};
    for (const auto& a : args) argv.push_back(a.c_str());
    for (auto _ : state) {
        state.PauseTiming();
        for (const auto& entry : std::filesystem::directory_iterator(set.dest)) std::filesystem::remove(entry.path());
        state.ResumeTiming();
        vorneck::CliIo io(null, null, false);
        if (vorneck::RunCli(static_cast<int>(argv.size()), argv.data(), io) != 0) state.SkipWithError("the run failed");
    }
    ::close(null);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// The command line over the same modules into an empty destination, writing
// raw bytes, WAV or FLAC files: what the audio formats cost on top.
void BM_CliFormat(benchmark::State& state, const char* format, const char* extra = "-q") {
    auto& set = Set();
    RunCliRepeatedly(state, {extra, "-f", format, set.source}, set.totalBytes);
}
BENCHMARK_CAPTURE(BM_CliFormat, raw, "raw")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CliFormat, raw_all_formats, "raw", "-a")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CliFormat, wav, "wav")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CliFormat, flac, "flac")->Unit(benchmark::kMillisecond)->UseRealTime();

// The four-channel modules of the set, once as they are (read by the
// engine's own walker) and once with the signature "4CHN", which only the
// command line's MOD-family reader takes (-a): the same bytes by both
// readers. tracker_bench.cpp sets these readers beside the module library.
struct ModCopies {
    std::string own;
    std::string renamed;
    std::uint64_t bytes = 0;
};

const ModCopies& Copies() {
    static const ModCopies copies = [] {
        auto& set = Set();
        ModCopies c;
        c.own = std::filesystem::path(set.source).parent_path() / "own";
        c.renamed = std::filesystem::path(set.source).parent_path() / "renamed";
        std::filesystem::create_directories(c.own);
        std::filesystem::create_directories(c.renamed);
        for (const auto& name : set.names) {
            if (name.size() < 4 || name.substr(name.size() - 4) != ".mod") continue;
            std::ifstream in(set.source + "/" + name, std::ios::binary);
            Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::ofstream(c.own + "/" + name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            std::copy_n("4CHN", 4, bytes.begin() + 1080);
            std::ofstream(c.renamed + "/" + name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            c.bytes += bytes.size();
        }
        return c;
    }();
    return copies;
}

void BM_SameModules(benchmark::State& state, bool renamed) {
    const auto& copies = Copies();
    RunCliRepeatedly(state, {"-a", renamed ? copies.renamed : copies.own}, copies.bytes);
}
BENCHMARK_CAPTURE(BM_SameModules, own_walker, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SameModules, mod_family_reader, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make-modules") == 0) {
        const ModuleSet set = MakeModules(argv[2]);
        std::printf("%zu modules, %llu bytes, largest %llu bytes\n", set.names.size(),
                    static_cast<unsigned long long>(set.totalBytes), static_cast<unsigned long long>(set.largest));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
