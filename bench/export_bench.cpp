// SPDX-License-Identifier: MIT
// Encoding the samples of a few hundred generated modules as WAV and FLAC,
// against the raw baseline (a plain copy of the stored bytes): first in
// memory only, then with one file written per sample, as a run does.
//
//   vorneck_export_bench          run the benchmarks
//
// Files go to /dev/shm where there is one (VORNECK_BENCH_DIR overrides), so
// that the figures measure the work and not the disk.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "demo/module_builder.h"
#include "export/audio_export.h"

namespace {

using vorneck::demo::Bytes;

struct Sample {
    std::vector<std::uint8_t> stored;
    vorneck::SampleInfo info;
};

struct SampleSet {
    std::vector<Sample> samples;
    std::int64_t bytes = 0;
    std::string directory;
};

// The same kind of module set as the run benchmark: 300 modules of both
// kinds, every sample 8-bit signed mono as the modules store it; every other
// sample loops over its second half.
SampleSet& Set() {
    static SampleSet set = [] {
        SampleSet s;
        for (int m = 0; m < 300; ++m) {
            std::vector<vorneck::demo::SampleRange> ranges;
            Bytes module;
            const auto wave = static_cast<vorneck::demo::Wave>(m % 5);
            if (m % 3 != 2) {
                vorneck::demo::ModRecipe recipe;
                for (int i = 0; i < 4 + m % 28; ++i)
                    recipe.samples.push_back(
                        {"sample " + std::to_string(i), vorneck::demo::Waveform(wave, 500 + (m * 131 + i * 977) % 20000)});
                module = vorneck::demo::BuildMod(recipe, &ranges);
            } else {
                vorneck::demo::MmdRecipe recipe;
                recipe.signature = "MMD" + std::to_string(m % 4);
                for (int i = 0; i < 3 + m % 40; ++i)
                    recipe.instruments.push_back(
                        {false, 0, vorneck::demo::Waveform(wave, 300 + (m * 71 + i * 1543) % 15000), {}});
                module = vorneck::demo::BuildMmd(recipe, &ranges);
            }
            for (std::size_t i = 0; i < ranges.size(); ++i) {
                Sample sample;
                const auto begin = module.begin() + static_cast<std::ptrdiff_t>(ranges[i].offset);
                sample.stored.assign(begin, begin + static_cast<std::ptrdiff_t>(ranges[i].length));
                sample.info.slot = static_cast<std::int32_t>(i + 1);
                sample.info.name = "sample " + std::to_string(i);
                if (i % 2) {
                    sample.info.loopMode = vorneck::LoopMode::Forward;
                    sample.info.loopStart = ranges[i].length / 2;
                    sample.info.loopEnd = ranges[i].length;
                }
                s.bytes += static_cast<std::int64_t>(ranges[i].length);
                s.samples.push_back(std::move(sample));
            }
        }
        const char* chosen = std::getenv("VORNECK_BENCH_DIR");
        const std::filesystem::path root = chosen && *chosen                           ? std::filesystem::path(chosen)
                                           : std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                                        : std::filesystem::temp_directory_path();
        s.directory = root / ("vorneck-export-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(s.directory);
        std::atexit([] { std::filesystem::remove_all(Set().directory); });
        return s;
    }();
    return set;
}

const vorneck::ModuleInfo kModule{"mod", "benchmark song"};

bool Encode(vorneck::AudioFormat format, const Sample& sample, std::vector<std::uint8_t>& out) {
    if (format == vorneck::AudioFormat::Raw) {
        out.assign(sample.stored.begin(), sample.stored.end());
        return true;
    }
    std::string error;
    return vorneck::EncodeAudio(format, sample.info, kModule, sample.stored, out, error);
}

void EncodeOnly(benchmark::State& state, vorneck::AudioFormat format) {
    auto& set = Set();
    std::vector<std::uint8_t> out;
    std::int64_t written = 0;
    for (auto _ : state) {
        for (const auto& sample : set.samples) {
            if (!Encode(format, sample, out)) {
                state.SkipWithError("encoding failed");
                return;
            }
            written += static_cast<std::int64_t>(out.size());
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * set.bytes);
    state.counters["samples"] = static_cast<double>(set.samples.size());
    state.counters["out/in"] = static_cast<double>(written) / static_cast<double>(state.iterations() * set.bytes);
}

// Encode, then create, write and close one file per sample.
void EncodeAndWrite(benchmark::State& state, vorneck::AudioFormat format) {
    auto& set = Set();
    std::vector<std::uint8_t> out;
    const std::string base = set.directory + "/";
    const std::string extension(vorneck::AudioExtension(format));
    for (auto _ : state) {
        for (std::size_t i = 0; i < set.samples.size(); ++i) {
            if (!Encode(format, set.samples[i], out)) {
                state.SkipWithError("encoding failed");
                return;
            }
            const std::string path = base + std::to_string(i) + "_song.mod" + extension;
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (fd < 0 || ::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) {
                state.SkipWithError("writing failed");
                return;
            }
            ::close(fd);
        }
    }
    state.SetBytesProcessed(state.iterations() * set.bytes);
}

BENCHMARK_CAPTURE(EncodeOnly, raw, vorneck::AudioFormat::Raw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(EncodeOnly, wav, vorneck::AudioFormat::Wav)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(EncodeOnly, flac, vorneck::AudioFormat::Flac)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(EncodeAndWrite, raw, vorneck::AudioFormat::Raw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(EncodeAndWrite, wav, vorneck::AudioFormat::Wav)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(EncodeAndWrite, flac, vorneck::AudioFormat::Flac)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
