// SPDX-License-Identifier: MIT
// MMD modules the engine's walker cannot reach (packed ones) go to the module
// library: every sample must come back with the rate the module's header
// gives it, the one the walker gives the same sample unpacked.
#include <gtest/gtest.h>

#include "demo/module_builder.h"
#include "demo/tracker_builder.h"
#include "engine/sample_info.h"
#include "extra_formats/module_library.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using demo::MmdInstrument;

TEST(MedThroughTheLibrary, RatesAgreeWithTheHeaderInEveryVersion) {
    testing::TempDir dir;
    MmdInstrument plain{false, 0, demo::Waveform(demo::Wave::Sine, 600, 40), {}, "plain"};
    MmdInstrument tuned{false, 0, demo::Waveform(demo::Wave::Saw, 400, 50), {}, "tuned", -3};
    tuned.transpose = 5;
    MmdInstrument low{false, 0, demo::Waveform(demo::Wave::Square, 300, 60), {}, "low", 2};
    low.transpose = -12;
    MmdInstrument hybrid{false, 0, demo::Waveform(demo::Wave::Triangle, 500, 50), {}, "hybrid", 3};
    hybrid.transpose = -7;
    hybrid.hybrid = true;
    for (const char* signature : {"MMD0", "MMD1", "MMD2", "MMD3"}) {
        SCOPED_TRACE(signature);
        demo::MmdRecipe recipe;
        recipe.signature = signature;
        recipe.instruments = {plain, tuned, low, hybrid};
        const std::string path = dir.Write(std::string(signature) + ".med.gz", demo::GzipStored(demo::BuildMmd(recipe)));
        const LibraryResult result = LoadWithModuleLibrary(path);
        ASSERT_EQ(result.status, LibraryStatus::Loaded) << result.reason;
        ASSERT_EQ(result.module.samples.size(), 4u);
        const auto& s = result.module.samples;
        EXPECT_EQ(s[0].info.rate, 8363u);
        EXPECT_EQ(s[1].info.rate, TunedRate(5, -3));
        EXPECT_EQ(s[1].info.transpose, 5);
        EXPECT_EQ(s[1].info.finetune, -3);
        EXPECT_EQ(s[2].info.rate, TunedRate(-12, 2));
        EXPECT_EQ(s[3].info.rate, TunedRate(-7, 3));
        EXPECT_EQ(s[3].info.name, "hybrid");
    }
}

// An instrument of five octaves (31 times its shortest one) comes back from
// the library as five samples, each with the instrument's tuning.
TEST(MedThroughTheLibrary, OctavesOfAMultiOctaveInstrumentKeepItsTuning) {
    testing::TempDir dir;
    MmdInstrument octaves{false, 1, demo::Waveform(demo::Wave::Sine, 31 * 16, 16), {}, "octaves", 1};
    octaves.transpose = 2;
    demo::MmdRecipe recipe;
    recipe.signature = "MMD1";
    recipe.instruments = {octaves};
    const LibraryResult result =
        LoadWithModuleLibrary(dir.Write("octaves.med.gz", demo::GzipStored(demo::BuildMmd(recipe))));
    ASSERT_EQ(result.status, LibraryStatus::Loaded) << result.reason;
    ASSERT_EQ(result.module.samples.size(), 5u);
    for (const auto& s : result.module.samples) EXPECT_EQ(s.info.rate, TunedRate(2, 1));
}

}  // namespace
}  // namespace vorneck
