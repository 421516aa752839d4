// SPDX-License-Identifier: MIT
// What reading the tracker formats costs per MB of module, a whole run of
// the engine writing raw samples into an emptied directory:
//   own      the command line's own readers (vorneck-cli -a)
//   library  the same files through the module library path (a child
//            process per file, libxmp, records over a pipe)
// on sets of 16 generated modules of each family: "M.K." (the engine's
// four-channel walker, the reference), "6CHN" and fifteen-sample MOD, XM,
// S3M, IT, and IT with 2.14 compression. MB/s counts module bytes.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/scratch.h"
#include "cli/other_formats.h"
#include "demo/tracker_builder.h"
#include "engine/extraction_run.h"
#include "engine/source_file_list.h"

namespace {

using vorneck::demo::Bytes;
namespace demo = vorneck::demo;

struct Set {
    std::string directory;
    std::vector<std::string> names;
    std::uint64_t bytes = 0;
};

std::string Root() {
    static const std::string root = vorneck::bench::MakeScratchDirectory("vorneck-tracker-bench");
    return root;
}

demo::TrackerSample Sample(int i, std::uint8_t bits, std::size_t frames, std::uint8_t channels = 1) {
    demo::TrackerSample s;
    s.name = "sample " + std::to_string(i);
    s.bits = bits;
    s.channels = channels;
    s.values = demo::WaveValues(i % 2 ? demo::Wave::Noise : demo::Wave::Saw, frames, bits, channels, 20 + i,
                                static_cast<std::uint32_t>(i + 1));
    s.loop = demo::Loop::Forward;
    s.loopStart = static_cast<std::uint32_t>(frames / 4 * 2);
    s.loopEnd = static_cast<std::uint32_t>(frames / 4 * 3);
    return s;
}

Bytes Module(const std::string& kind, int seed) {
    if (kind == "mk" || kind == "6chn" || kind == "15") {
        demo::AmigaRecipe r;
        r.signature = kind == "mk" ? "M.K." : kind == "6chn" ? "6CHN" : "";
        const int count = kind == "15" ? 15 : 31;
        for (int i = 0; i < count; ++i) r.samples.push_back(Sample(seed + i, 8, kind == "15" ? 12000 : 6000));
        r.orders = {0, 1, 2, 3};
        return demo::BuildAmigaModule(r);
    }
    if (kind == "xm") {
        demo::XmRecipe r;
        for (int i = 0; i < 16; ++i)
            r.instruments.push_back({"i", {Sample(seed + i, 8, 4000), Sample(seed + i + 1, 16, 4000)}});
        return demo::BuildXm(r);
    }
    if (kind == "s3m") {
        demo::S3mRecipe r;
        for (int i = 0; i < 32; ++i) r.samples.push_back(Sample(seed + i, i % 2 ? 16 : 8, 4000));
        return demo::BuildS3m(r);
    }
    demo::ItRecipe r;
    r.compression = kind == "it214" ? demo::ItCompression::It214 : demo::ItCompression::None;
    for (int i = 0; i < 32; ++i) r.samples.push_back(Sample(seed + i, i % 2 ? 16 : 8, 4000));
    return demo::BuildIt(r);
}

const Set& Files(const std::string& kind) {
    static std::map<std::string, Set> sets;
    auto found = sets.find(kind);
    if (found != sets.end()) return found->second;
    Set set;
    set.directory = Root() + "/" + kind;
    std::filesystem::create_directories(set.directory);
    for (int m = 0; m < 16; ++m) {
        const Bytes bytes = Module(kind, m * 3);
        const std::string name = "m" + std::to_string(m) + "." + kind;
        vorneck::bench::WriteWholeFile(set.directory + "/" + name, bytes);
        set.names.push_back(name);
        set.bytes += bytes.size();
    }
    return sets.emplace(kind, set).first->second;
}

class Quiet : public vorneck::ErrorReporter, public vorneck::StatusLine {
public:
    void ErrorReport(std::string_view) override { ++errors; }
    void SetPanel(int, std::string_view) override {}
    int errors = 0;
};

void BM_Tracker(benchmark::State& state, const char* kind, bool library) {
    const Set& set = Files(kind);
    const std::string dest = Root() + "/out";
    std::filesystem::create_directories(dest);
    vorneck::SourceFileList list(set.directory, set.names);
    list.SetAllSelected(true);
    vorneck::PosixFileOps files;
    vorneck::OtherFormats otherFormats;
    std::int64_t samples = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const auto& entry : std::filesystem::directory_iterator(dest)) std::filesystem::remove(entry.path());
        state.ResumeTiming();
        Quiet quiet;
        vorneck::Services services{files, quiet, quiet, nullptr, nullptr, library ? &otherFormats : nullptr};
        vorneck::ExtractionState run;
        run.ReadTrackerFormats = !library;
        vorneck::ExtractSelected(run, list, {dest, false}, services);
        if (quiet.errors != 0) state.SkipWithError("the run reported a problem");
        samples = run.SamplesSaved;
    }
    state.counters["samples"] = static_cast<double>(samples);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * set.bytes));
}
BENCHMARK_CAPTURE(BM_Tracker, mk_walker, "mk", false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, six_channel_own, "6chn", false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, six_channel_library, "6chn", true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, fifteen_own, "15", false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, fifteen_library, "15", true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, xm_own, "xm", false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, xm_library, "xm", true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, s3m_own, "s3m", false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, s3m_library, "s3m", true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, it_own, "it", false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, it_library, "it", true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, it214_own, "it214", false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tracker, it214_library, "it214", true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return vorneck::bench::RunBenchmarks(argc, argv, Root); }
