// SPDX-License-Identifier: MIT
// Four-channel modules: where the samples are, how long they are, and what a
// cut or damaged module gives.
#include <gtest/gtest.h>

#include "engine/walkers.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::ListOf;
using testing::RunHarness;
using testing::TempDir;

// Runs one module file through the whole run and returns the harness.
struct ModRun {
    TempDir src;
    TempDir out;
    RunHarness h;
    explicit ModRun(const Bytes& module, const std::string& name = "song.mod") {
        src.Write(name, module);
        h.Run(ListOf(src.path(), {name}), out.path());
    }
    Bytes Sample(int n, const std::string& name = "song.mod") {
        return testing::ReadAll(out / (std::to_string(n) + "_" + name));
    }
};

Bytes Slice(const Bytes& b, std::size_t offset, std::size_t length) {
    return Bytes(b.begin() + offset, b.begin() + offset + length);
}

TEST(ModWalker, WritesEverySampleExactly) {
    demo::ModRecipe recipe;
    recipe.samples = {{"one", demo::Waveform(demo::Wave::Sine, 300)},
                    {"two", demo::Waveform(demo::Wave::Noise, 1001)},  // odd: padded to 1002
                    {"", {}},
                    {"four", demo::Waveform(demo::Wave::Square, 64)}};
    std::vector<demo::SampleRange> ranges;
    const Bytes module = demo::BuildMod(recipe, &ranges);
    ModRun run(module);
    ASSERT_EQ(run.h.recorder.written.size(), 3u);
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        EXPECT_EQ(run.Sample(static_cast<int>(i)), Slice(module, ranges[i].offset, ranges[i].length)) << i;
        EXPECT_EQ(run.h.recorder.written[i].offset, ranges[i].offset);
    }
    EXPECT_TRUE(run.h.recorder.errors.empty());
}

TEST(ModWalker, PatternCountComesFromTheWholeOrderTable) {
    demo::ModRecipe recipe;
    recipe.samples = {{"a", Bytes(10, 1)}};
    Bytes module = demo::BuildMod(recipe);
    // An entry beyond the song's length still counts: raise it to 5.
    ASSERT_EQ(module[950], 1);
    module[952 + 100] = 5;
    module.insert(module.begin() + 1084 + 1024, 5 * 1024, 0);
    ModRun run(module);
    ASSERT_EQ(run.h.recorder.written.size(), 1u);
    EXPECT_EQ(run.h.recorder.written[0].offset, 1084u + 6 * 1024);
    EXPECT_EQ(run.Sample(0), Bytes(10, 1));
}

TEST(ModWalker, LengthsAreWordsTimesTwoAndEmptySlotsUseNoNumber) {
    demo::ModRecipe recipe;
    recipe.samples = {{"a", Bytes(2000, 0xA)}, {"b", {}}, {"c", Bytes(4000, 0xC)}};
    const Bytes module = demo::BuildMod(recipe);
    ModRun run(module);
    const std::uint64_t start = 1084 + 1024;
    ASSERT_EQ(run.h.recorder.written.size(), 2u);
    EXPECT_EQ(run.h.recorder.written[0].offset, start);
    EXPECT_EQ(run.h.recorder.written[0].length, 2000u);
    EXPECT_EQ(run.h.recorder.written[1].offset, start + 2000);
    EXPECT_EQ(run.h.recorder.written[1].length, 4000u);
    EXPECT_EQ(run.Sample(1), Bytes(4000, 0xC));
}

TEST(ModWalker, LongSamplesKeepTheirFullLength) {
    // 32768 words are 65536 bytes and 65535 words 131070 bytes; the samples
    // after them start where those end.
    demo::ModRecipe recipe;
    recipe.samples = {{"big", demo::Waveform(demo::Wave::Saw, 65536)},
                    {"max", demo::Waveform(demo::Wave::Noise, 131070)},
                    {"after", Bytes(8, 0x77)}};
    const Bytes module = demo::BuildMod(recipe);
    ModRun run(module);
    ASSERT_EQ(run.h.recorder.written.size(), 3u);
    EXPECT_EQ(run.h.recorder.written[0].length, 65536u);
    EXPECT_EQ(run.h.recorder.written[1].length, 131070u);
    EXPECT_EQ(run.h.recorder.written[2].offset, 1084u + 1024 + 65536 + 131070);
    EXPECT_EQ(run.Sample(2), Bytes(8, 0x77));
    EXPECT_TRUE(run.h.recorder.errors.empty());
}

TEST(ModWalker, CutModulesWriteWhatTheFileHolds) {
    demo::ModRecipe recipe;
    recipe.samples = {{"a", Bytes(100, 1)}, {"b", Bytes(100, 2)}, {"c", Bytes(100, 3)}};
    Bytes module = demo::BuildMod(recipe);
    module.resize(module.size() - 150);  // b is cut in half, c lies past the end
    ModRun run(module);
    EXPECT_EQ(run.Sample(0), Bytes(100, 1));
    EXPECT_EQ(run.Sample(1), Bytes(50, 2));
    EXPECT_EQ(run.h.recorder.written.size(), 2u);
    EXPECT_EQ(run.h.recorder.errors,
              std::vector<std::string>{"Module is truncated or damaged: " + run.src / "song.mod"});

    // Headers claiming far more than the file holds, from a module that
    // is all header: every range starts past the end.
    Bytes bare(1084, 0);
    std::copy_n("M.K.", 4, bare.begin() + 1080);
    for (int i = 0; i < 31; ++i) demo::PutBe16(bare, 20 + 30 * i + 22, 0xFFFF);
    bare[952] = 0xFF;
    ModRun empty(bare);
    EXPECT_TRUE(empty.h.recorder.written.empty());
    EXPECT_EQ(empty.h.recorder.errors.size(), 1u);
    EXPECT_EQ(empty.h.state.ModsProcessed, 1);
}

TEST(ModWalker, DescribesEachSample) {
    demo::ModRecipe recipe;
    recipe.title = "Title of Song";
    recipe.samples = {{"first", Bytes(100, 1), -1, 33, 10, 20},
                      {"no loop", Bytes(50, 2), 7, 64, 0, 1},
                      {},
                      {"oversized", Bytes(40, 3), 0, 99, 10, 100}};
    TempDir src;
    TempDir out;
    src.Write("song.mod", demo::BuildMod(recipe));
    RunHarness h;
    h.Run(ListOf(src.path(), {"song.mod"}), out.path());
    ASSERT_EQ(h.recorder.events.size(), 3u);
    const SampleInfo& first = h.recorder.events[0].info;
    EXPECT_EQ(first.slot, 1);
    EXPECT_EQ(first.name, "first");
    EXPECT_EQ(first.finetune, -1);
    EXPECT_EQ(first.volume, 33);
    EXPECT_EQ(first.rate, TunedRate(0, -1));
    EXPECT_EQ(first.loopMode, LoopMode::Forward);
    EXPECT_EQ(first.loopStart, 20u);
    EXPECT_EQ(first.loopEnd, 60u);
    EXPECT_EQ(h.recorder.events[1].info.loopMode, LoopMode::None);  // one word is no loop
    EXPECT_EQ(h.recorder.events[1].info.finetune, 7);
    const SampleInfo& last = h.recorder.events[2].info;
    EXPECT_EQ(last.slot, 4);  // the slot, not the running number
    EXPECT_EQ(last.volume, 64);
    EXPECT_EQ(last.loopEnd, 40u);  // cut to the sample
    EXPECT_EQ(h.recorder.events[0].module.format, "mod");
    EXPECT_EQ(h.recorder.events[0].module.songName, "Title of Song");
}

}  // namespace
}  // namespace vorneck
