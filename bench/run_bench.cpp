// SPDX-License-Identifier: MIT
// A whole extraction run over a few hundred generated modules, against a
// bare program that does only the unavoidable work (read each file once and
// write the same byte ranges to the same output files, unsafely) and against
// the writer of the program before outputs went through unnamed files: into
// an empty destination and into one of an earlier run, on tmpfs and on the
// disk's file system.
//
//   vorneck_run_bench                       run the benchmarks
//   vorneck_run_bench --benchmark_filter=Writers --benchmark_repetitions=9
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
//                                           the writers side by side, runs interleaved
//   vorneck_run_bench --make-modules DIR    write the module set into DIR and exit
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
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

// Where the module sets live: 0 memory-backed storage (tmpfs), 1 the disk's
// file system. VORNECK_BENCH_DIR and VORNECK_BENCH_DISK_DIR override.
std::filesystem::path StorageRoot(int storage) {
    const char* chosen = std::getenv(storage == 0 ? "VORNECK_BENCH_DIR" : "VORNECK_BENCH_DISK_DIR");
    if (chosen && *chosen) return chosen;
    if (storage == 0)
        return std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                         : std::filesystem::temp_directory_path();
    return std::filesystem::is_directory("/var/tmp") ? std::filesystem::path("/var/tmp")
                                                     : std::filesystem::current_path();
}

std::string FileSystemName(const std::string& path) {
    struct statfs fs {};
    if (::statfs(path.c_str(), &fs) != 0) return "?";
    switch (fs.f_type) {
        case TMPFS_MAGIC: return "tmpfs";
        case EXT4_SUPER_MAGIC: return "ext4";
        case BTRFS_SUPER_MAGIC: return "btrfs";
        case XFS_SUPER_MAGIC: return "xfs";
        default: return "other";
    }
}

ModuleSet& Set(int storage = 0) {
    static ModuleSet sets[2];
    static bool made[2] = {false, false};
    if (!made[storage]) {
        made[storage] = true;
        const std::string base = StorageRoot(storage) / ("vorneck-bench-" + std::to_string(::getpid()));
        sets[storage] = MakeModules(base + "/src");
        sets[storage].dest = base + "/out";
        std::filesystem::create_directories(sets[storage].dest);
        std::fprintf(stderr, "module set %d in %s (%s)\n", storage, base.c_str(), FileSystemName(base).c_str());
        static bool registered = false;
        if (!registered) {
            registered = true;
            std::atexit([] {
                for (int i = 0; i < 2; ++i)
                    if (made[i]) std::filesystem::remove_all(std::filesystem::path(sets[i].source).parent_path());
            });
        }
    }
    return sets[storage];
}

class Quiet : public vorneck::ErrorReporter, public vorneck::StatusLine {
public:
    int errors = 0;
    void ErrorReport(std::string_view) override { ++errors; }
    void SetPanel(int, std::string_view) override {}
};

void EmptyDirectory(const std::string& directory) {
    for (const auto& entry : std::filesystem::directory_iterator(directory)) std::filesystem::remove_all(entry.path());
}

// The writer of the program before unnamed files: every output through a
// named temporary file and a rename, whatever sits at its name. Kept here,
// as it was, to measure against.
class EarlierWriter : public vorneck::PosixFileOps {
public:
    vorneck::WriteResult WriteFileAt(vorneck::DirHandle dir, const std::string& name,
                                     std::span<const std::uint8_t> bytes,
                                     const vorneck::ReplaceCheck& mayReplace) override {
        using namespace vorneck;
        if (dir < 0) return {WriteStatus::CreateFailed, ENOENT};
        if (name.empty() || name.find('/') != std::string::npos) return {WriteStatus::CreateFailed, EINVAL};
        int error = 0;
        std::string temporary;
        int fd = -1;
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            temporary = TemporaryName();
            // The record the interrupt handler reads.
            std::memcpy(recordName_, temporary.c_str(), temporary.size() + 1);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            recordActive_ = 1;
            fd = ::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                          0666);
            if (fd < 0) recordActive_ = 0;
            if (fd < 0 && errno != EEXIST) return {WriteStatus::CreateFailed, errno};
        }
        if (fd < 0) return {WriteStatus::CreateFailed, EEXIST};
        bool ok = true;
        for (std::size_t done = 0; ok && done < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                ok = false;
                error = n < 0 ? errno : EIO;
            } else {
                done += static_cast<std::size_t>(n);
            }
        }
        if (::close(fd) != 0 && ok) {
            ok = false;
            error = errno;
        }
        WriteResult result;
        if (!ok) {
            result = {WriteStatus::WriteFailed, error};
        } else if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_NOREPLACE) != 0) {
            const int noReplace = errno;
            if (noReplace != EEXIST && noReplace != EINVAL && noReplace != ENOSYS) {
                result = {WriteStatus::CreateFailed, noReplace};
            } else {
                const ReplaceDecision decision = mayReplace ? mayReplace(EntryAt(dir, name)) : ReplaceDecision{};
                if (decision.verdict == ReplaceDecision::Verdict::Refuse)
                    result = {WriteStatus::Refused, EEXIST};
                else if (decision.verdict == ReplaceDecision::Verdict::Fail)
                    result = {WriteStatus::CreateFailed, decision.error};
                else if (::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0)
                    result = {WriteStatus::CreateFailed, errno};
            }
        }
        if (result.status != WriteStatus::Ok) ::unlinkat(dir, temporary.c_str(), 0);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        recordActive_ = 0;
        return result;
    }

private:
    std::string TemporaryName() {
        static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::string name = vorneck::kTemporaryPrefix;
        std::uint64_t bits = generator_();
        for (int i = 0; i < 10; ++i) {
            name += kAlphabet[bits % 36];
            bits /= 36;
        }
        return name;
    }
    std::mt19937_64 generator_{std::random_device{}()};
    volatile std::sig_atomic_t recordActive_ = 0;
    char recordName_[64] = {};
};

// Reads each file with one read into a reused buffer and writes the known
// ranges to the same names with open(O_CREAT|O_TRUNC), write and close: the
// least any extractor has to do, and no safety at all.
void BareProgram(const ModuleSet& set, std::vector<std::uint8_t>& buffer) {
    std::string out = set.dest + "/";
    const std::size_t base = out.size();
    for (std::size_t m = 0; m < set.names.size(); ++m) {
        const std::string path = set.source + "/" + set.names[m];
        const int in = ::open(path.c_str(), O_RDONLY);
        struct stat st {};
        ::fstat(in, &st);
        if (::read(in, buffer.data(), static_cast<std::size_t>(st.st_size)) != st.st_size) std::abort();
        ::close(in);
        for (std::size_t s = 0; s < set.ranges[m].size(); ++s) {
            out.resize(base);
            out += std::to_string(s);
            out += '_';
            out += set.names[m];
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            const auto& r = set.ranges[m][s];
            if (::write(fd, buffer.data() + r.offset, r.length) != static_cast<ssize_t>(r.length)) std::abort();
            ::close(fd);
        }
    }
}

// The same modules, the same outputs, three writers:
//   writer 0  this program's run (unnamed files, names looked at once taken,
//             the next file read and the next samples written on second
//             threads)
//   writer 1  the same run without reading or writing ahead
//   writer 2  the run with the writer kept above (a named temporary file and
//             a rename for every output) and without reading ahead
//   writer 3  the bare program
// storage: 0 tmpfs, 1 the disk's file system; empty: 1 every iteration
// starts with an empty destination (emptied outside the timed part), 0 the
// destination holds the outputs of an earlier run.
void BM_Writers(benchmark::State& state) {
    const int writer = static_cast<int>(state.range(0));
    auto& set = Set(static_cast<int>(state.range(1)));
    const bool empty = state.range(2) != 0;
    vorneck::SourceFileList list(set.source, set.names);
    list.SetAllSelected(true);
    vorneck::PosixFileOps files;
    EarlierWriter earlier;
    Quiet quiet;
    vorneck::Services services{writer == 2 ? static_cast<vorneck::FileOps&>(earlier) : files, quiet, quiet, nullptr};
    vorneck::ExtractionState extraction;
    extraction.ReadAheadAllowed = writer == 0;
    extraction.WriteAheadAllowed = writer == 0;
    std::vector<std::uint8_t> buffer(set.largest);
    const auto once = [&] {
        if (writer == 3)
            BareProgram(set, buffer);
        else
            vorneck::ExtractSelected(extraction, list, {set.dest, false}, services);
    };
    // An earlier run's outputs, or none.
    EmptyDirectory(set.dest);
    if (!empty) once();
    for (auto _ : state) {
        if (empty) {
            state.PauseTiming();
            EmptyDirectory(set.dest);
            state.ResumeTiming();
        }
        once();
    }
    if (quiet.errors) state.SkipWithError("the run reported errors");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * set.totalBytes));
}
BENCHMARK(BM_Writers)
    ->ArgNames({"writer", "disk", "empty"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Runs the command line with `args` once per iteration, each time into the
// set's emptied destination (emptied outside the timed part).
void RunCliRepeatedly(benchmark::State& state, const std::vector<std::string>& args, std::uint64_t bytes) {
    auto& set = Set();
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::vector<const char*> argv = {"vorneck-cli", "-q", "-o", set.dest.c_str()};
    for (const auto& a : args) argv.push_back(a.c_str());
    for (auto _ : state) {
        state.PauseTiming();
        EmptyDirectory(set.dest);
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
