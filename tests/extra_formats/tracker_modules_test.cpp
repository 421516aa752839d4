// SPDX-License-Identifier: MIT
// Hand-built XM, S3M, IT and Amiga modules through the module library: the
// samples that come back must be the ones the files hold, bit for bit, with
// their loops, rates and names.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "demo/tracker_builder.h"
#include "extra_formats/library_alterations.h"
#include "extra_formats/module_library.h"
#include "extra_formats/module_library_testing.h"
#include "tests/support/engine_fixtures.h"
#include "tests/support/tracker_samples.h"

namespace vorneck {
namespace {

using demo::Loop;
using demo::TrackerSample;
using demo::Wave;
using testing::Looped;

TrackerSample Sample(std::string name, Wave wave, std::size_t frames, std::uint8_t bits, std::uint8_t channels = 1) {
    TrackerSample s;
    s.name = std::move(name);
    s.bits = bits;
    s.channels = channels;
    s.values = demo::WaveValues(wave, frames, bits, channels, 24 + frames % 17);
    return s;
}

// The first `frames` frames of a sample as decoded PCM.
demo::Bytes Pcm(const TrackerSample& s, std::uint64_t frames) {
    demo::Bytes pcm = demo::DecodedPcm(s);
    pcm.resize(static_cast<std::size_t>(frames * (s.bits / 8u) * s.channels));
    return pcm;
}

class TrackerModules : public ::testing::Test {
protected:
    LibraryModule Load(const std::string& name, const demo::Bytes& bytes) {
        const LibraryResult result = LoadWithModuleLibrary(dir_.Write(name, bytes));
        EXPECT_EQ(result.status, LibraryStatus::Loaded) << result.reason;
        return result.module;
    }

    // Everything a sample carries, against the sample the module was built with.
    static void ExpectSample(const LibrarySample& got, const TrackerSample& made, int slot, std::uint32_t rate,
                             const std::string& name) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        EXPECT_EQ(got.info.slot, slot);
        EXPECT_EQ(got.info.name, name);
        EXPECT_EQ(got.info.rate, rate);
        EXPECT_EQ(got.info.volume, made.volume);
        EXPECT_TRUE(got.info.decoded);
        EXPECT_EQ(got.info.encoding, DecodedPcm(made.bits, made.channels));
        const LoopMode mode = made.loop == Loop::Forward    ? LoopMode::Forward
                              : made.loop == Loop::PingPong ? LoopMode::PingPong
                                                            : LoopMode::None;
        EXPECT_EQ(got.info.loopMode, mode);
        EXPECT_EQ(got.info.loopStart, made.loop == Loop::None ? 0 : made.loopStart);
        EXPECT_EQ(got.info.loopEnd, made.loop == Loop::None ? 0 : made.loopEnd);
        // Every sample is whole; only the frames the library may rewrite
        // after a loop's end may differ.
        EXPECT_EQ(got.Frames(), made.Frames());
        const auto [alteredStart, alteredEnd] = LibraryAlteredFrames(got.info, got.Frames());
        const demo::Bytes want = Pcm(made, made.Frames());
        const std::size_t width = made.bits / 8u * made.channels;
        if (got.pcm.size() == want.size()) {
            demo::Bytes a = got.pcm;
            demo::Bytes b = want;
            std::fill(a.begin() + static_cast<std::ptrdiff_t>(alteredStart * width),
                      a.begin() + static_cast<std::ptrdiff_t>(alteredEnd * width), 0);
            std::fill(b.begin() + static_cast<std::ptrdiff_t>(alteredStart * width),
                      b.begin() + static_cast<std::ptrdiff_t>(alteredEnd * width), 0);
            EXPECT_TRUE(a == b) << "PCM differs";
        }
    }

    testing::TempDir dir_;
};

TEST_F(TrackerModules, XmSamplesKeepBitsLoopsTuningAndNames) {
    TrackerSample lead = Looped(Sample("lead", Wave::Sine, 100, 8), Loop::Forward, 20, 60);
    lead.relativeNote = 12;
    lead.finetune = -16;
    lead.volume = 40;
    TrackerSample pad = Looped(Sample("pad", Wave::Saw, 90, 16), Loop::PingPong, 10, 90);
    pad.relativeNote = -5;
    pad.finetune = 100;
    TrackerSample plain = Sample("", Wave::Triangle, 64, 8);
    TrackerSample wide = Looped(Sample("wide", Wave::Noise, 3000, 16), Loop::Forward, 0, 3000);
    wide.relativeNote = 7;
    TrackerSample cut = Looped(Sample("cut", Wave::Square, 200, 16), Loop::PingPong, 50, 150);

    demo::XmRecipe recipe;
    recipe.title = "xm title";
    recipe.instruments = {{"first", {lead}}, {"second", {pad, plain}}, {"no samples", {}}, {"third", {wide, cut}}};
    const LibraryModule module = Load("song.xm", demo::BuildXm(recipe));

    EXPECT_EQ(module.module.format, "xm");
    EXPECT_EQ(module.module.songName, "xm title");
    EXPECT_NE(module.formatDetail.find("XM"), std::string::npos) << module.formatDetail;
    ASSERT_EQ(module.samples.size(), 5u);
    // Rates: 8363 Hz at relative note 0, finetune in 1/128 semitone.
    ExpectSample(module.samples[0], lead, 1, 16606, "lead");
    ExpectSample(module.samples[1], pad, 2, 6554, "pad");
    ExpectSample(module.samples[2], plain, 3, 8363, "second");  // an unnamed sample takes its instrument's name
    ExpectSample(module.samples[3], wide, 4, 12530, "wide");
    ExpectSample(module.samples[4], cut, 5, 8363, "cut");
    EXPECT_EQ(module.samples[0].info.transpose, 12);
    EXPECT_EQ(module.samples[0].info.finetune, -1);
}

TEST_F(TrackerModules, S3mRatesComeFromC5SpeedsInBothSampleFormats) {
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> speeds = {
        {8363, 8363}, {22050, 22050}, {44100, 44100}, {8000, 8000}, {16726, 16726}, {7895, 7895}, {12345, 12345}};
    std::vector<TrackerSample> samples;
    for (std::size_t i = 0; i < speeds.size(); ++i) {
        TrackerSample s = Sample("speed " + std::to_string(speeds[i].first), Wave::Sine, 80 + 10 * i, i % 2 ? 16 : 8);
        s.c5speed = speeds[i].first;
        s.fileName = "S" + std::to_string(i) + ".SMP";
        s.volume = static_cast<std::uint8_t>(10 + i);
        samples.push_back(s);
    }
    samples[1] = Looped(samples[1], Loop::Forward, 5, 90);
    samples.insert(samples.begin() + 2, TrackerSample{});  // an empty slot keeps its number

    for (const bool signedSamples : {false, true}) {
        SCOPED_TRACE(signedSamples ? "signed" : "unsigned");
        demo::S3mRecipe recipe;
        recipe.title = "s3m title";
        recipe.signedSamples = signedSamples;
        recipe.samples = samples;
        const LibraryModule module = Load("song.s3m", demo::BuildS3m(recipe));
        EXPECT_EQ(module.module.format, "s3m");
        EXPECT_EQ(module.module.songName, "s3m title");
        ASSERT_EQ(module.samples.size(), speeds.size());
        for (std::size_t i = 0, slot = 1; i < module.samples.size(); ++i, ++slot) {
            if (slot == 3) ++slot;
            const TrackerSample& made = samples[slot - 1];
            if (speeds[i].first == 12345) {
                // No common rate: known to within 1/1536 octave of the file's.
                EXPECT_NEAR(module.samples[i].info.rate, 12345.0, 12345.0 * 0.00025);
                ExpectSample(module.samples[i], made, static_cast<int>(slot), module.samples[i].info.rate, made.name);
            } else {
                ExpectSample(module.samples[i], made, static_cast<int>(slot), speeds[i].second, made.name);
            }
            // The C5 speed is the whole tuning: no transpose or finetune besides.
            EXPECT_EQ(module.samples[i].info.transpose, 0);
            EXPECT_EQ(module.samples[i].info.finetune, 0);
        }
    }
}

// The module library of Debian 12 (4.5.0) keeps no stereo samples: it loads
// the left channel of a stereo S3M sample and drops the right one. Should a
// later version hand over both, this test shows it.
TEST_F(TrackerModules, S3mStereoSampleComesBackAsItsLeftChannel) {
    TrackerSample stereo = Sample("stereo", Wave::Saw, 64, 16, 2);
    demo::S3mRecipe recipe;
    recipe.samples = {stereo};
    const LibraryModule module = Load("stereo.s3m", demo::BuildS3m(recipe));
    ASSERT_EQ(module.samples.size(), 1u);
    TrackerSample left = stereo;
    left.channels = 1;
    left.values.clear();
    for (std::size_t i = 0; i < stereo.values.size(); i += 2) left.values.push_back(stereo.values[i]);
    ExpectSample(module.samples[0], left, 1, 8363, "stereo");
}

class ItCompressionModes : public TrackerModules, public ::testing::WithParamInterface<demo::ItCompression> {};

TEST_P(ItCompressionModes, SampleModeModulesDecodeToTheStoredSamples) {
    TrackerSample small = Looped(Sample("small", Wave::Sine, 100, 8), Loop::Forward, 20, 100);
    small.c5speed = 22050;
    small.volume = 33;
    TrackerSample bounce = Looped(Sample("bounce", Wave::Saw, 90, 16), Loop::PingPong, 10, 50);
    bounce.c5speed = 16726;
    // Longer than one compressed block (16384 frames of 16 bits, 32768 of 8).
    TrackerSample noise = Sample("noise", Wave::Noise, 40000, 16);
    noise.c5speed = 44100;
    TrackerSample tone = Sample("tone", Wave::Triangle, 70000, 8);
    tone.c5speed = 8000;

    demo::ItRecipe recipe;
    recipe.title = "it title";
    recipe.compression = GetParam();
    recipe.samples = {small, bounce, noise, tone};
    const LibraryModule module = Load("song.it", demo::BuildIt(recipe));
    EXPECT_EQ(module.module.format, "it");
    EXPECT_EQ(module.module.songName, "it title");
    ASSERT_EQ(module.samples.size(), 4u);
    // Without instruments the names are the samples' own.
    ExpectSample(module.samples[0], small, 1, 22050, "small");
    ExpectSample(module.samples[1], bounce, 2, 16726, "bounce");
    ExpectSample(module.samples[2], noise, 3, 44100, "noise");
    ExpectSample(module.samples[3], tone, 4, 8000, "tone");
}

INSTANTIATE_TEST_SUITE_P(Compression, ItCompressionModes,
                         ::testing::Values(demo::ItCompression::None, demo::ItCompression::It214,
                                           demo::ItCompression::It215),
                         [](const auto& info) {
                             switch (info.param) {
                                 case demo::ItCompression::None:
                                     return std::string("Uncompressed");
                                 case demo::ItCompression::It214:
                                     return std::string("It214");
                                 default:
                                     return std::string("It215");
                             }
                         });

TEST_F(TrackerModules, ItInstrumentModeTakesSampleNamesAndTuningFromTheSamples) {
    TrackerSample low = Sample("low sample", Wave::Sine, 120, 8);
    low.c5speed = 11025;
    TrackerSample high = Sample("high sample", Wave::Square, 60, 16);
    high.c5speed = 33452;
    TrackerSample spare = Sample("", Wave::Noise, 50, 8);
    spare.c5speed = 22050;
    demo::ItRecipe recipe;
    recipe.instruments = {{"plays high", 1}, {"plays low", 0}};
    recipe.samples = {low, high, spare};
    const LibraryModule module = Load("instruments.it", demo::BuildIt(recipe));
    ASSERT_EQ(module.samples.size(), 3u);
    ExpectSample(module.samples[0], low, 1, 11025, "low sample");
    ExpectSample(module.samples[1], high, 2, 33452, "high sample");
    // No instrument plays the third sample, so the library records no tuning
    // for it: it comes with the reference rate and no name.
    ExpectSample(module.samples[2], spare, 3, 8363, "");
}

TEST_F(TrackerModules, SixChannelModKeepsFinetuneVolumeAndLoops) {
    TrackerSample first = Looped(Sample("mod one", Wave::Triangle, 64, 8), Loop::Forward, 16, 48);
    first.finetune = -3;
    first.volume = 50;
    TrackerSample second = Sample("mod two", Wave::Saw, 128, 8);
    second.finetune = 5;
    TrackerSample third = Looped(Sample("whole loop", Wave::Sine, 40, 8), Loop::Forward, 0, 40);
    third.finetune = -8;
    demo::AmigaRecipe recipe;
    recipe.title = "six channels";
    recipe.signature = "6CHN";
    recipe.samples = {first, TrackerSample{}, second, third};
    recipe.orders = {0, 1};
    const LibraryModule module = Load("six.mod", demo::BuildAmigaModule(recipe));
    EXPECT_EQ(module.module.format, "mod");
    EXPECT_EQ(module.module.songName, "six channels");
    ASSERT_EQ(module.samples.size(), 3u);
    // 8363 Hz at finetune 0, an eighth of a semitone a step: as the engine's walker.
    ExpectSample(module.samples[0], first, 1, TunedRate(0, -3), "mod one");
    ExpectSample(module.samples[1], second, 3, TunedRate(0, 5), "mod two");
    ExpectSample(module.samples[2], third, 4, TunedRate(0, -8), "whole loop");
    EXPECT_EQ(module.samples[0].info.finetune, -3);
    EXPECT_EQ(module.samples[1].info.finetune, 5);
}

TEST_F(TrackerModules, FifteenSampleSoundtrackerModule) {
    TrackerSample loopedFromStart = Looped(Sample("drum", Wave::Noise, 64, 8), Loop::Forward, 0, 32);
    TrackerSample unlooped = Sample("bass", Wave::Square, 100, 8);
    unlooped.volume = 20;
    // Soundtracker plays a looped sample from its repeat start (counted in
    // bytes): the library keeps only that part, and so do we.
    TrackerSample attack = Looped(Sample("strings", Wave::Saw, 80, 8), Loop::Forward, 16, 48);
    demo::AmigaRecipe recipe;
    recipe.title = "soundtracker";
    recipe.signature = "";
    recipe.samples = {loopedFromStart, unlooped, attack};
    const LibraryModule module = Load("st.mod", demo::BuildAmigaModule(recipe));
    EXPECT_EQ(module.module.format, "mod");
    ASSERT_EQ(module.samples.size(), 3u);
    ExpectSample(module.samples[0], loopedFromStart, 1, 8363, "drum");
    ExpectSample(module.samples[1], unlooped, 2, 8363, "bass");
    TrackerSample played = attack;
    played.values.erase(played.values.begin(), played.values.begin() + 16);
    played.loopStart = 0;
    played.loopEnd = 32;
    ExpectSample(module.samples[2], played, 3, 8363, "strings");
}

TEST_F(TrackerModules, PackedModuleIsUnpackedAndLeavesNoTemporaryFiles) {
    const std::string temp = dir_.Mkdir("tmp");
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    ::setenv("TMPDIR", temp.c_str(), 1);

    TrackerSample s = Looped(Sample("packed", Wave::Sine, 500, 16), Loop::Forward, 100, 500);
    demo::XmRecipe recipe;
    recipe.instruments = {{"inside", {s}}};
    const LibraryResult result = LoadWithModuleLibrary(dir_.Write("song.xm.gz", demo::GzipStored(demo::BuildXm(recipe))));
    if (saved) ::setenv("TMPDIR", previous.c_str(), 1);
    else ::unsetenv("TMPDIR");

    ASSERT_EQ(result.status, LibraryStatus::Loaded) << result.reason;
    EXPECT_EQ(result.module.module.format, "xm");
    ASSERT_EQ(result.module.samples.size(), 1u);
    ExpectSample(result.module.samples[0], s, 1, 8363, "packed");
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(temp))
        if (!entry.is_directory()) ++files;
    EXPECT_EQ(files, 0u);
}

TEST_F(TrackerModules, EveryTrackerDemoModuleLoads) {
    for (const auto& file : demo::TrackerDemoSet()) {
        const LibraryResult result = LoadWithModuleLibrary(dir_.Write(file.name, file.bytes));
        EXPECT_EQ(result.status, LibraryStatus::Loaded) << file.name << ": " << result.reason;
        EXPECT_FALSE(result.module.samples.empty()) << file.name;
    }
}

TEST_F(TrackerModules, FilesTheLibraryDoesNotReadAreNotRecognised) {
    demo::Bytes noise(5000);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>((i * 7919 + i / 3) % 251);
    const std::string text = "This is a plain text file, not a module.\n";
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, demo::Bytes>>{
             {"noise.bin", noise}, {"notes.txt", demo::Bytes(text.begin(), text.end())}, {"empty", {}}}) {
        const LibraryResult result = LoadWithModuleLibrary(dir_.Write(name, bytes));
        EXPECT_EQ(result.status, LibraryStatus::NotRecognised) << name << ": " << result.reason;
        EXPECT_FALSE(result.reason.empty());
        EXPECT_TRUE(result.module.samples.empty());
    }
}

TEST_F(TrackerModules, MissingFilesAndDirectoriesAreUnreadable) {
    EXPECT_EQ(LoadWithModuleLibrary(dir_ / "missing.xm").status, LibraryStatus::Unreadable);
    EXPECT_EQ(LoadWithModuleLibrary(dir_.Mkdir("folder.xm")).status, LibraryStatus::Unreadable);
}

TEST_F(TrackerModules, OversizeFilesAreRefusedWithoutStartingAChild) {
    const std::string marker = dir_ / "child-ran";
    LibraryLimits limits;
    limits.maxFileSize = 1000;
    const auto hook = [&](int) { ::mkdir(marker.c_str(), 0700); };
    const LibraryResult result =
        library::LoadWithChildHook(dir_.Write("big.xm", demo::Bytes(1001, 0)), limits, hook);
    EXPECT_EQ(result.status, LibraryStatus::TooLarge);
    EXPECT_NE(result.reason.find("1001 bytes"), std::string::npos) << result.reason;
    EXPECT_FALSE(std::filesystem::exists(marker));
    // At the limit the file is offered.
    const LibraryResult offered =
        library::LoadWithChildHook(dir_.Write("fits.xm", demo::Bytes(1000, 0)), limits, hook);
    EXPECT_EQ(offered.status, LibraryStatus::NotRecognised) << offered.reason;
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST_F(TrackerModules, DecodedOutputBeyondTheBoundIsRefused) {
    // Silence compresses to a bit a frame: 16 times the file in decoded bytes.
    TrackerSample silence;
    silence.bits = 16;
    silence.values.assign(200000, 0);
    demo::ItRecipe recipe;
    recipe.compression = demo::ItCompression::It214;
    recipe.samples = {silence};
    const demo::Bytes bytes = demo::BuildIt(recipe);
    ASSERT_LT(bytes.size() * 4, 400000u);
    const std::string path = dir_.Write("silence.it", bytes);

    LibraryLimits limits;
    limits.maxOutputFactor = 4;
    const LibraryResult refused = LoadWithModuleLibrary(path, limits);
    EXPECT_EQ(refused.status, LibraryStatus::OutputTooLarge) << refused.reason;
    EXPECT_NE(refused.reason.find("400000 bytes"), std::string::npos) << refused.reason;

    limits.maxOutputFactor = 32;
    limits.maxOutputBytes = 399999;
    EXPECT_EQ(LoadWithModuleLibrary(path, limits).status, LibraryStatus::OutputTooLarge);
    limits.maxOutputBytes = 400000;
    const LibraryResult loaded = LoadWithModuleLibrary(path, limits);
    ASSERT_EQ(loaded.status, LibraryStatus::Loaded) << loaded.reason;
    EXPECT_EQ(loaded.module.samples.at(0).pcm, demo::Bytes(400000, 0));
}

}  // namespace
}  // namespace vorneck
