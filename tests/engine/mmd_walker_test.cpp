// SPDX-License-Identifier: MIT
// MMD modules: instrument slots, types, and structures that lie outside the file.
#include <gtest/gtest.h>

#include <tuple>

#include "engine/walkers.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using demo::MmdInstrument;
using testing::ListOf;
using testing::RunHarness;
using testing::TempDir;

struct MmdRun {
    TempDir src;
    TempDir out;
    RunHarness h;
    explicit MmdRun(const Bytes& module) {
        src.Write("tune.med", module);
        h.Run(ListOf(src.path(), {"tune.med"}), out.path());
    }
    Bytes Sample(int n) { return testing::ReadAll(out / (std::to_string(n) + "_tune.med")); }
    std::string Damaged() const { return "Module is truncated or damaged: " + src / "tune.med"; }
};

// A hand-made module: song at 100 (slot count at 887), table at 1000.
Bytes HandMade(std::uint8_t slots, std::size_t size = 4000) {
    Bytes b(size, 0);
    std::copy_n("MMD0", 4, b.begin());
    demo::PutBe32(b, 8, 100);
    demo::PutBe32(b, 24, 1000);
    b[100 + 787] = slots;
    return b;
}

void PutInstrument(Bytes& b, std::size_t slot, std::uint32_t at, std::int32_t length, std::uint16_t type) {
    demo::PutBe32(b, 1000 + 4 * slot, at);
    demo::PutBe32(b, at, static_cast<std::uint32_t>(length));
    demo::PutBe16(b, at + 4, type);
}

TEST(MmdWalker, AllVersionsWriteEverySampleExactly) {
    for (const char* signature : {"MMD0", "MMD1", "MMD2", "MMD3"}) {
        demo::MmdRecipe recipe;
        recipe.signature = signature;
        recipe.instruments = {{false, 0, demo::Waveform(demo::Wave::Sine, 500), {}},
                            {true, 0, {}, {}},
                            {false, 7, demo::Waveform(demo::Wave::Noise, 77), {}},
                            {false, 3, demo::Waveform(demo::Wave::Saw, 1234), {}}};
        std::vector<demo::SampleRange> ranges;
        const Bytes module = demo::BuildMmd(recipe, &ranges);
        MmdRun run(module);
        ASSERT_EQ(ranges.size(), 3u);
        ASSERT_EQ(run.h.recorder.written.size(), 3u) << signature;
        for (std::size_t i = 0; i < ranges.size(); ++i)
            EXPECT_EQ(run.Sample(static_cast<int>(i)),
                      Bytes(module.begin() + ranges[i].offset,
                            module.begin() + ranges[i].offset + ranges[i].length));
        EXPECT_TRUE(run.h.recorder.errors.empty()) << signature;
    }
}

TEST(MmdWalker, SlotsTypesAndLengths) {
    Bytes b = HandMade(6);
    // Slot 0 empty, 1 a sample, 2 an unknown type, 3 a negative (synthetic)
    // type, 4 a zero length, 5 a negative length.
    PutInstrument(b, 1, 500, 120, 0);
    std::fill_n(b.begin() + 506, 120, 0x5A);
    PutInstrument(b, 2, 900, 50, 16);
    PutInstrument(b, 3, 1200, 50, 0xFFFF);
    PutInstrument(b, 4, 1300, 0, 7);
    PutInstrument(b, 5, 1400, -5, 1);
    MmdRun run(b);
    ASSERT_EQ(run.h.recorder.written.size(), 1u);
    EXPECT_EQ(run.h.recorder.written[0].offset, 506u);
    EXPECT_EQ(run.Sample(0), Bytes(120, 0x5A));
    EXPECT_EQ(run.h.recorder.errors,
              (std::vector<std::string>{"Unknown instrument type found.", "Unknown instrument type found."}));
}

TEST(MmdWalker, TypeBoundariesAndNegativeEntries) {
    Bytes b = HandMade(6);
    // Types 7 and 8 sit on either side of the last known sample type;
    // negative table entries are empty slots, like zero.
    PutInstrument(b, 0, 500, 30, 7);
    std::fill_n(b.begin() + 506, 30, 0x11);
    PutInstrument(b, 1, 600, 30, 8);
    demo::PutBe32(b, 1000 + 4 * 2, 0xFFFFFFFBu);  // -5
    demo::PutBe32(b, 1000 + 4 * 3, 0x80000000u);  // the most negative
    PutInstrument(b, 4, 700, 20, 0x8000);          // -32768
    PutInstrument(b, 5, 800, 20, 0x7FFF);
    MmdRun run(b);
    ASSERT_EQ(run.h.recorder.written.size(), 1u);
    EXPECT_EQ(run.Sample(0), Bytes(30, 0x11));
    EXPECT_EQ(run.h.recorder.errors, std::vector<std::string>(3, "Unknown instrument type found."));
}

TEST(MmdWalker, DamageIsReportedForItsOwnModuleOnly) {
    TempDir src;
    TempDir out;
    Bytes damaged = HandMade(1);
    demo::PutBe32(damaged, 8, 0x7FFFFFF0u);
    src.Write("1-bad.med", damaged);
    Bytes good = HandMade(1);
    PutInstrument(good, 0, 500, 10, 0);
    src.Write("2-good.med", good);
    RunHarness h;
    h.Run(ListOf(src.path(), {"1-bad.med", "2-good.med"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Module is truncated or damaged: " + src / "1-bad.med"});
    EXPECT_EQ(h.state.SamplesSaved, 1);
}

TEST(MmdWalker, DescribesEachSample) {
    demo::MmdRecipe recipe;
    recipe.signature = "MMD2";
    recipe.songName = "The Song";
    recipe.instruments = {{false, 0, Bytes(1000, 1), {}, "lead", -3, true, 5, 40, 100, 50},
                          {true, 0, {}, {}},
                          {false, 0, Bytes(300, 2), {}, "short loop", 0, false, 0, 64, 100, 200}};
    MmdRun run(demo::BuildMmd(recipe));
    ASSERT_EQ(run.h.recorder.events.size(), 2u);
    const SampleInfo& lead = run.h.recorder.events[0].info;
    EXPECT_EQ(lead.slot, 1);
    EXPECT_EQ(lead.name, "lead");
    EXPECT_EQ(lead.finetune, -3);
    EXPECT_EQ(lead.transpose, 5);
    EXPECT_EQ(lead.volume, 40);
    EXPECT_EQ(lead.rate, TunedRate(5, -3));
    EXPECT_EQ(lead.loopMode, LoopMode::PingPong);
    EXPECT_EQ(lead.loopStart, 200u);  // words
    EXPECT_EQ(lead.loopEnd, 300u);
    EXPECT_EQ(lead.encoding, SampleEncoding{});
    EXPECT_FALSE(lead.decoded);
    const SampleInfo& cut = run.h.recorder.events[1].info;
    EXPECT_EQ(cut.slot, 3);
    EXPECT_EQ(cut.loopStart, 200u);  // the loop is cut to the sample
    EXPECT_EQ(cut.loopEnd, 300u);
    EXPECT_EQ(run.h.recorder.events[0].module.format, "mmd2");
    EXPECT_EQ(run.h.recorder.events[0].module.songName, "The Song");
}

TEST(MmdWalker, HybridSyntheticAndWideInstruments) {
    demo::MmdRecipe recipe;
    recipe.instruments = {{false, 0, Bytes(64, 1), {}, {}, 0, false, 0, 64, 0, 0, true},  // hybrid
                          {false, -1, Bytes(32, 2), {}},                                // synthetic
                          {false, 16, {0x01, 0x02, 0x03, 0x04}, {}},                    // 16-bit: 2 frames
                          {false, 32, {1, 2, 3, 4, 5, 6}, 3},                           // stereo: 3 frames a channel
                          {false, 48, {1, 2, 3, 4, 5, 6, 7, 8}, 4}};                    // 16-bit stereo
    std::vector<demo::SampleRange> ranges;
    const Bytes module = demo::BuildMmd(recipe, &ranges);
    {
        // Without decoding (the window): the hybrid's sample is written,
        // the rest are reported.
        MmdRun run(module);
        ASSERT_EQ(run.h.recorder.written.size(), 1u);
        EXPECT_EQ(run.Sample(0), Bytes(64, 1));
        EXPECT_EQ(run.h.recorder.written[0].offset, ranges[0].offset);
        EXPECT_EQ(run.h.recorder.errors, std::vector<std::string>(4, "Unknown instrument type found."));
    }
    // With decoding asked for, 16-bit and stereo instruments are handed over
    // with their encoding; the synthetic one is still reported.
    TempDir src;
    TempDir out;
    src.Write("tune.med", module);
    RunHarness h;
    h.state.DecodeWideMmd = true;
    h.Run(ListOf(src.path(), {"tune.med"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Unknown instrument type found."});
    ASSERT_EQ(h.recorder.events.size(), 4u);
    const auto& sixteen = h.recorder.events[1];
    EXPECT_TRUE(sixteen.info.decoded);
    EXPECT_EQ(sixteen.info.encoding, (SampleEncoding{16, true, true, 1, false}));
    EXPECT_EQ(sixteen.stored, (Bytes{1, 2, 3, 4}));
    const auto& stereo = h.recorder.events[2];
    EXPECT_EQ(stereo.info.encoding, (SampleEncoding{8, true, true, 2, false}));
    EXPECT_EQ(stereo.stored, (Bytes{1, 2, 3, 4, 5, 6}));  // both channels: twice the length field
    EXPECT_EQ(h.recorder.events[3].info.encoding, (SampleEncoding{16, true, true, 2, false}));
    EXPECT_EQ(h.recorder.events[3].stored.size(), 8u);
}

// Repeat fields count words, two frames of an 8-bit and of a 16-bit sample
// alike; from MMD2 on the instrument's loop flag switches the loop, and MMD3
// holds the exact repeat in frames beside the word fields.
TEST(MmdWalker, LoopsInFramesForEveryWidthAndOnlyWhereSwitchedOn) {
    const auto loops = [](const char* signature, std::vector<MmdInstrument> instruments) {
        demo::MmdRecipe recipe;
        recipe.signature = signature;
        recipe.instruments = std::move(instruments);
        TempDir src;
        TempDir out;
        src.Write("tune.med", demo::BuildMmd(recipe));
        RunHarness h;
        h.state.DecodeWideMmd = true;
        h.Run(ListOf(src.path(), {"tune.med"}), out.path());
        std::vector<std::tuple<LoopMode, std::uint64_t, std::uint64_t>> found;
        for (const auto& e : h.recorder.events) found.emplace_back(e.info.loopMode, e.info.loopStart, e.info.loopEnd);
        return found;
    };
    using Loop = std::tuple<LoopMode, std::uint64_t, std::uint64_t>;
    const Loop none{LoopMode::None, 0, 0};
    MmdInstrument narrow{false, 0, Bytes(128, 1), {}};
    narrow.repeat = 16;
    narrow.repeatLength = 48;
    MmdInstrument wide = narrow;  // the same 128 frames in 16 bits
    wide.type = 16;
    wide.data = Bytes(256, 1);
    EXPECT_EQ(loops("MMD1", {narrow, wide}),
              (std::vector<Loop>{{LoopMode::Forward, 32, 128}, {LoopMode::Forward, 32, 128}}));

    MmdInstrument off = narrow;
    off.loopFlagOff = true;
    off.name = "switched off";
    for (const char* signature : {"MMD2", "MMD3"}) {
        SCOPED_TRACE(signature);
        EXPECT_EQ(loops(signature, {narrow, off, wide}),
                  (std::vector<Loop>{{LoopMode::Forward, 32, 128}, none, {LoopMode::Forward, 32, 128}}));
    }
    // Older trackers wrote no flags: in MMD0 and MMD1 the repeat length alone decides.
    EXPECT_EQ(loops("MMD1", {off}), (std::vector<Loop>{{LoopMode::Forward, 32, 128}}));

    // The exact fields hold a loop the word fields cannot: an odd start and length.
    MmdInstrument exact = narrow;
    exact.longRepeat = 33;
    exact.longRepeatLength = 61;
    EXPECT_EQ(loops("MMD3", {exact}), (std::vector<Loop>{{LoopMode::Forward, 33, 94}}));
    // MMD2 has no such fields: the word fields count.
    EXPECT_EQ(loops("MMD2", {exact}), (std::vector<Loop>{{LoopMode::Forward, 32, 128}}));
}

TEST(MmdWalker, NoSlotsWritesNothingAndStillCounts) {
    MmdRun run(HandMade(0));
    EXPECT_TRUE(run.h.recorder.written.empty());
    EXPECT_TRUE(run.h.recorder.errors.empty());
    EXPECT_EQ(run.h.state.ModsProcessed, 1);
}

TEST(MmdWalker, StructuresOutsideTheFile) {
    {  // Song pointer far outside, and negative.
        for (std::uint32_t song : {0x7FFFFFF0u, 0x80000000u, 3300u}) {
            Bytes b = HandMade(1);
            demo::PutBe32(b, 8, song);
            MmdRun run(b);
            EXPECT_EQ(run.h.recorder.errors, std::vector<std::string>{run.Damaged()}) << song;
            EXPECT_EQ(run.h.state.ModsProcessed, 1);
        }
    }
    {  // A file too short to hold the pointers at all.
        MmdRun run(Bytes{'M', 'M', 'D', '1', 0, 0, 0, 0, 0});
        EXPECT_EQ(run.h.recorder.errors, std::vector<std::string>{run.Damaged()});
    }
    {  // The table runs out of the file: slots before the end are written.
        Bytes b = HandMade(200, 1500);
        PutInstrument(b, 0, 900, 10, 0);
        MmdRun run(b);
        EXPECT_EQ(run.h.recorder.written.size(), 1u);
        EXPECT_EQ(run.h.recorder.errors, std::vector<std::string>{run.Damaged()});
    }
    {  // An instrument header outside the file skips that slot only; a
       // sample that runs past the end is cut; one past the end is dropped.
        Bytes b = HandMade(4, 3000);
        demo::PutBe32(b, 1000, 2997);  // header would need 3003 bytes
        PutInstrument(b, 1, 1500, 10, 0);
        PutInstrument(b, 2, 2900, 1000, 0);  // 94 bytes are there
        PutInstrument(b, 3, 2994, 0x7FFFFFFF, 0);  // data would start at the end
        MmdRun run(b);
        ASSERT_EQ(run.h.recorder.written.size(), 2u);
        EXPECT_EQ(run.h.recorder.written[1].length, 94u);
        EXPECT_EQ(run.Sample(1).size(), 94u);
        EXPECT_EQ(run.h.recorder.errors, std::vector<std::string>{run.Damaged()});
    }
}

}  // namespace
}  // namespace vorneck
