// SPDX-License-Identifier: MIT
// Selection over a list of 100,000 entries, and the matcher's worst case.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "selection/matcher.h"
#include "selection/selection_commands.h"

namespace {

class NullFrontEnd : public vorneck::ErrorReporter, public vorneck::StatusLine {
public:
    void ErrorReport(std::string_view) override {}
    void SetPanel(int, std::string_view) override {}
};

std::vector<std::string> Names(std::size_t count) {
    static const char* kinds[] = {".mod", ".MOD", ".med", ".txt", ".mmd1"};
    std::vector<std::string> names;
    names.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        names.push_back("module_" + std::to_string(i * 7919 % count) + "_track" + kinds[i % 5]);
    return names;
}

constexpr std::size_t kEntries = 100000;

void BM_SelectByPattern(benchmark::State& state) {
    vorneck::SourceFileList list("/mods", Names(kEntries));
    NullFrontEnd fe;
    for (auto _ : state) {
        list.SetAllSelected(false);
        vorneck::SelectByPattern(list, "*.mod", false, fe, fe);
        benchmark::DoNotOptimize(list.SelectedCount());
    }
    state.counters["selected"] = static_cast<double>(list.SelectedCount());
}
BENCHMARK(BM_SelectByPattern)->Unit(benchmark::kMillisecond);

void BM_DeselectByPatternWithQuestionMarks(benchmark::State& state) {
    vorneck::SourceFileList list("/mods", Names(kEntries));
    NullFrontEnd fe;
    for (auto _ : state) {
        list.SetAllSelected(true);
        vorneck::DeselectByPattern(list, "module_?1*_*.m?d", true, fe, fe);
        benchmark::DoNotOptimize(list.SelectedCount());
    }
}
BENCHMARK(BM_DeselectByPatternWithQuestionMarks)->Unit(benchmark::kMillisecond);

void BM_SelectAll(benchmark::State& state) {
    vorneck::SourceFileList list("/mods", Names(kEntries));
    NullFrontEnd fe;
    for (auto _ : state) {
        vorneck::SelectAll(list, fe);
        benchmark::DoNotOptimize(list.SelectedCount());
    }
}
BENCHMARK(BM_SelectAll)->Unit(benchmark::kMicrosecond);

void BM_DeselectAll(benchmark::State& state) {
    vorneck::SourceFileList list("/mods", Names(kEntries));
    NullFrontEnd fe;
    for (auto _ : state) {
        vorneck::DeselectAll(list, fe);
        benchmark::DoNotOptimize(list.SelectedCount());
    }
}
BENCHMARK(BM_DeselectAll)->Unit(benchmark::kMicrosecond);

void BM_PathologicalPattern(benchmark::State& state) {
    const std::string name(255, 'a');
    for (auto _ : state) benchmark::DoNotOptimize(vorneck::MatchFileName(name, "*a*a*a*a*a*a*a*b", true));
}
BENCHMARK(BM_PathologicalPattern)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
