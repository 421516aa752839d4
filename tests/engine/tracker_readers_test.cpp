// SPDX-License-Identifier: MIT
// The command line's own readers of the tracker formats: every frame of
// every sample as it was put in, where its stored data lies, its loops and
// rate; truncated and hostile files; and which files each reader takes.
#include <gtest/gtest.h>

#include "demo/tracker_builder.h"
#include "engine/sample_decoding.h"
#include "engine/tracker_formats.h"
#include "tests/support/engine_fixtures.h"
#include "tests/support/tracker_samples.h"

namespace vorneck {
namespace {

using demo::Bytes;
using demo::Loop;
using demo::TrackerSample;
using testing::ListOf;
using testing::Looped;
using testing::RunHarness;
using testing::TempDir;

TrackerSample Sample(std::uint8_t bits, std::size_t frames, std::uint8_t channels = 1, demo::Wave wave = demo::Wave::Saw,
                     std::uint32_t seed = 1) {
    TrackerSample s;
    s.name = "s" + std::to_string(bits) + "x" + std::to_string(channels);
    s.bits = bits;
    s.channels = channels;
    s.values = demo::WaveValues(wave, frames, bits, channels, 37, seed);
    return s;
}

// Values whose steps fit 4-bit ADPCM.
TrackerSample AdpcmSample(std::size_t frames) {
    TrackerSample s;
    s.name = "adpcm";
    s.adpcm = true;
    std::int32_t v = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        v += static_cast<std::int32_t>(i * 7 % 16) - 8;
        v = std::clamp(v, -100, 100);
        s.values.push_back(v);
    }
    // Keep every step within -8..7 after clamping.
    for (std::size_t i = 1; i < s.values.size(); ++i)
        s.values[i] = s.values[i - 1] + std::clamp(s.values[i] - s.values[i - 1], -8, 7);
    s.values[0] = std::clamp(s.values[0], -8, 7);
    return s;
}

struct TrackerRun {
    TempDir src;
    TempDir out;
    RunHarness h;
    Bytes module;
    TrackerRun(const Bytes& bytes, const std::string& name, bool allFormats = true) : module(bytes) {
        src.Write(name, bytes);
        h.state.ReadTrackerFormats = allFormats;
        h.Run(ListOf(src.path(), {name}), out.path());
    }
    const std::vector<testing::Recorder::Event>& events() const { return h.recorder.events; }
    bool Damaged() const {
        for (const auto& e : h.recorder.errors)
            if (e.rfind(kDamagedPrefix, 0) == 0) return true;
        return false;
    }
};

// Every written sample equals, frame for frame, the one put in.
void ExpectSamples(const TrackerRun& run, const std::vector<TrackerSample>& samples) {
    ASSERT_EQ(run.events().size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto& e = run.events()[i];
        EXPECT_EQ(e.fate, SampleFate::Written) << i;
        EXPECT_EQ(e.stored, demo::DecodedPcm(samples[i])) << i;
        EXPECT_EQ(e.info.encoding.bits, samples[i].bits) << i;
        EXPECT_EQ(e.info.encoding.channels, samples[i].channels) << i;
    }
}

TEST(ModFamilyReader, EverySignatureAndItsLayout) {
    for (const char* signature : {"1CHN", "6CHN", "9CHN", "10CH", "32CH", "CD61", "CD81", "FA04", "FA06", "FA08",
                                  "TDZ1", "TDZ3", "TDZ4", "M&K!", "N.T.", "NSMS", "LARD", "EXO4", "FLT8", "EXO8"}) {
        demo::AmigaRecipe recipe;
        recipe.signature = signature;
        recipe.orders = {0, 3, 1};  // four patterns (two pairs in FLT8)
        recipe.samples = {Sample(8, 400), Looped(Sample(8, 1000, 1, demo::Wave::Noise), Loop::Forward, 200, 600),
                          Sample(8, 2, 1, demo::Wave::Square)};
        TrackerRun run(demo::BuildAmigaModule(recipe), "song.mod");
        SCOPED_TRACE(signature);
        ExpectSamples(run, recipe.samples);
        EXPECT_TRUE(run.h.recorder.errors.empty());
        // Raw MOD samples are the stored bytes themselves, at their place.
        const auto& loop = run.events()[1];
        EXPECT_FALSE(loop.info.decoded);
        EXPECT_EQ(loop.info.loopStart, 200u);
        EXPECT_EQ(loop.info.loopEnd, 600u);  // the loop ends before the sample does: nothing is cut
        EXPECT_EQ(Bytes(run.module.end() - 1002, run.module.end() - 2), loop.stored);
    }
}

TEST(ModFamilyReader, TheWindowsFamiliesStayAsTheyAre) {
    demo::AmigaRecipe recipe;
    recipe.samples = {Sample(8, 400)};
    // Without the command line's readers a six-channel module is unknown.
    TrackerRun six(demo::BuildAmigaModule(recipe), "six.mod", false);
    EXPECT_TRUE(six.events().empty());
    ASSERT_EQ(six.h.recorder.errors.size(), 1u);
    EXPECT_EQ(six.h.recorder.errors[0], kUnrecognisedPrefix + six.src / "six.mod");
}

TEST(ModFamilyReader, AnEightChannelMkModuleIsToldByItsSize) {
    // The rule: an "M.K." module is read with eight channels when its file
    // holds headers, patterns of eight channels and samples, with less than
    // 1024 bytes to spare. Any other "M.K." module keeps four.
    demo::AmigaRecipe recipe;
    recipe.signature = "8CHN";
    recipe.orders = {0, 1};
    recipe.samples = {Sample(8, 300), Sample(8, 500, 1, demo::Wave::Noise)};
    Bytes eight = demo::BuildAmigaModule(recipe);
    std::copy_n("M.K.", 4, eight.begin() + 1080);
    {
        TrackerRun run(eight, "eight.mod");
        ExpectSamples(run, recipe.samples);
        EXPECT_FALSE(run.Damaged());
        // The window still reads it with four channels, as before.
        TrackerRun window(eight, "eight.mod", false);
        ASSERT_EQ(window.events().size(), 2u);
        EXPECT_NE(window.events()[0].stored, demo::DecodedPcm(recipe.samples[0]));
    }
    {
        Bytes padded = eight;
        padded.resize(padded.size() + 1000, 0);  // a little to spare is still eight
        TrackerRun run(padded, "eight.mod");
        ExpectSamples(run, recipe.samples);
    }
    recipe.signature = "M.K.";
    const Bytes four = demo::BuildAmigaModule(recipe);
    {
        TrackerRun run(four, "four.mod");
        ExpectSamples(run, recipe.samples);
        // Trailing bytes short of two patterns' worth leave it at four.
        Bytes trailing = four;
        trailing.resize(four.size() + 2 * 1024 - 1, 0x55);
        TrackerRun junk(trailing, "four.mod");
        ExpectSamples(junk, recipe.samples);
    }
    {
        // The rule's false positive: a four-channel module followed by
        // exactly as many spare bytes as it has patterns of 1024 bytes.
        Bytes trailing = four;
        trailing.resize(four.size() + 2 * 1024, 0);
        TrackerRun run(trailing, "four.mod");
        ASSERT_EQ(run.events().size(), 2u);
        EXPECT_NE(run.events()[0].stored, demo::DecodedPcm(recipe.samples[0]));
    }
    {
        // A cut eight-channel module no longer fits eight: it is read with
        // four channels, as the window reads it.
        Bytes cut = eight;
        cut.resize(cut.size() - 100);
        TrackerRun run(cut, "cut.mod");
        TrackerRun window(cut, "cut.mod", false);
        ASSERT_EQ(run.events().size(), 2u);
        EXPECT_EQ(run.events()[0].stored, window.events()[0].stored);
        EXPECT_NE(run.events()[0].stored, demo::DecodedPcm(recipe.samples[0]));
    }
}

TEST(ModFamilyReader, FifteenSampleModulesOnlyWhenEverythingFits) {
    demo::AmigaRecipe recipe;
    recipe.signature = "";
    recipe.orders = {0, 2, 1};
    // The repeat start counts bytes in these modules; the loop ends early.
    recipe.samples = {Looped(Sample(8, 1200), Loop::Forward, 300, 700), Sample(8, 64, 1, demo::Wave::Noise)};
    const Bytes module = demo::BuildAmigaModule(recipe);
    {
        TrackerRun run(module, "old.mod");
        ExpectSamples(run, recipe.samples);
        EXPECT_EQ(run.events()[0].info.loopStart, 300u);
        EXPECT_EQ(run.events()[0].info.loopEnd, 700u);
        EXPECT_EQ(run.h.state.ModsProcessed, 1);
    }
    // Each of these breaks one rule of the test and is not taken.
    const auto refused = [&](const char* what, const std::function<void(Bytes&)>& spoil) {
        Bytes bytes = module;
        spoil(bytes);
        TrackerRun run(bytes, "old.mod");
        EXPECT_TRUE(run.events().empty()) << what;
        EXPECT_EQ(run.h.state.ModsProcessed, 0) << what;
    };
    refused("unprintable name", [](Bytes& b) { b[25] = 0x07; });
    refused("order above 127", [](Bytes& b) { b[472 + 50] = 128; });
    refused("song length 0", [](Bytes& b) { b[470] = 0; });
    refused("song length 128", [](Bytes& b) { b[470] = 128; });
    refused("volume above 64", [](Bytes& b) { b[20 + 25] = 65; });
    refused("length above 0x8000 words", [](Bytes& b) { b[20 + 22] = 0x80, b[20 + 23] = 0x01; });
    refused("loop past the end", [](Bytes& b) { b[20 + 28] = 0x04; });
    refused("not an Amiga period", [](Bytes& b) { b[600 + 1] = 0xD7; });
    refused("instrument above 15", [](Bytes& b) { b[600] |= 0x10; });
    refused("patterns missing", [](Bytes& b) { b.resize(600 + 3 * 1024 - 1); });
    // Files of other kinds: text, noise, zeros.
    refused("text", [](Bytes& b) {
        for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>("lorem ipsum dolor "[i % 18]);
    });
    refused("noise", [](Bytes& b) { b = demo::Waveform(demo::Wave::Noise, b.size()); });
    refused("zeros", [](Bytes& b) { std::fill(b.begin(), b.end(), 0); });
}

TEST(ModFamilyReader, AdpcmAndTruncation) {
    demo::AmigaRecipe recipe;
    recipe.signature = "6CHN";
    recipe.samples = {Sample(8, 200), AdpcmSample(1000), Sample(8, 300, 1, demo::Wave::Noise)};
    const Bytes module = demo::BuildAmigaModule(recipe);
    {
        TrackerRun run(module, "p.mod");
        ExpectSamples(run, recipe.samples);
        EXPECT_TRUE(run.events()[1].info.decoded);
        EXPECT_FALSE(run.events()[2].info.decoded);
        EXPECT_FALSE(run.Damaged());
        // The next sample starts after the ADPCM data: "ADPCM", table, nibbles.
        EXPECT_EQ(run.h.recorder.written[2].offset, module.size() - 300);
        EXPECT_EQ(run.h.recorder.written[1].length, 5u + 16u + 500u);
    }
    {
        // A cut file clips its last sample and says so.
        Bytes cut = module;
        cut.resize(cut.size() - 100);
        TrackerRun run(cut, "p.mod");
        ASSERT_EQ(run.events().size(), 3u);
        EXPECT_EQ(run.events()[2].stored, Bytes(cut.end() - 200, cut.end()));
        EXPECT_TRUE(run.Damaged());
    }
}

TEST(XmReader, EveryKindOfSample) {
    demo::XmRecipe recipe;
    auto pingpong = Looped(Sample(16, 3000), Loop::PingPong, 1000, 2000);
    pingpong.relativeNote = 12;
    pingpong.finetune = 64;
    const std::vector<TrackerSample> samples = {
        Looped(Sample(8, 1500), Loop::Forward, 100, 700), pingpong, Sample(8, 800, 2),
        Looped(Sample(16, 900, 2, demo::Wave::Noise), Loop::Forward, 10, 400), AdpcmSample(777)};
    recipe.instruments = {{"first", {samples[0], samples[1]}}, {"empty", {}}, {"stereo", {samples[2], samples[3]}},
                          {"packed", {samples[4]}}};
    const Bytes module = demo::BuildXm(recipe);
    TrackerRun run(module, "song.xm");
    ExpectSamples(run, samples);
    EXPECT_FALSE(run.Damaged());
    const auto& e = run.events();
    EXPECT_EQ(e[0].info.loopEnd, 700u);
    EXPECT_EQ(e[1].info.loopMode, LoopMode::PingPong);
    EXPECT_EQ(e[1].info.loopStart, 1000u);
    EXPECT_EQ(e[1].info.rate, 17216u);  // an octave and half a semitone above 8363 Hz
    EXPECT_EQ(e[3].info.loopStart, 10u);
    EXPECT_EQ(e[3].info.loopEnd, 400u);
    EXPECT_EQ(e[0].module.format, "xm");
    // Offset and length: the stored (delta-coded) data in the file, back to back.
    const auto& w = run.h.recorder.written;
    EXPECT_EQ(w[0].length, 1500u);
    EXPECT_EQ(w[1].offset, w[0].offset + 1500);
    EXPECT_EQ(w[1].length, 6000u);
    EXPECT_EQ(w[3].length, 900u * 4);
    EXPECT_EQ(w[4].length, 16u + 389u);
    EXPECT_EQ(w[4].offset + w[4].length, module.size());

    // Cut inside the second stereo sample's right channel: the frames both
    // channels still have, and the damage message.
    Bytes cut = module;
    cut.resize(w[3].offset + 900 * 2 + 500);
    TrackerRun short_(cut, "song.xm");
    ASSERT_EQ(short_.events().size(), 4u);
    EXPECT_EQ(short_.events()[3].info.encoding.channels, 2);
    EXPECT_EQ(short_.events()[3].stored.size(), 250u * 4);
    const Bytes expected = demo::DecodedPcm(samples[3]);
    EXPECT_EQ(short_.events()[3].stored, Bytes(expected.begin(), expected.begin() + 1000));
    EXPECT_TRUE(short_.Damaged());
}

TEST(XmReader, OlderVersionsKeepTheirSamplesAfterThePatterns) {
    for (const std::uint16_t version : {0x0102, 0x0103}) {
        demo::XmRecipe recipe;
        recipe.version = version;
        const std::vector<TrackerSample> samples = {Sample(8, 700), Sample(16, 300, 2), Sample(8, 64)};
        recipe.instruments = {{"a", {samples[0]}}, {"b", {samples[1], samples[2]}}};
        const Bytes module = demo::BuildXm(recipe);
        TrackerRun run(module, "old.xm");
        SCOPED_TRACE(version);
        ExpectSamples(run, samples);
        EXPECT_FALSE(run.Damaged());
        EXPECT_EQ(run.h.recorder.written[2].offset + 64, module.size());
    }
}

TEST(S3mReader, SignedUnsignedStereoAndWide) {
    for (const bool isSigned : {false, true}) {
        demo::S3mRecipe recipe;
        recipe.signedSamples = isSigned;
        recipe.samples = {Looped(Sample(8, 1000), Loop::Forward, 50, 500), Sample(16, 700), Sample(8, 300, 2),
                          TrackerSample{}, Sample(16, 555, 2, demo::Wave::Noise)};
        recipe.samples[3].name = "empty";
        recipe.samples[1].c5speed = 44100;
        const Bytes module = demo::BuildS3m(recipe);
        TrackerRun run(module, "beat.s3m");
        ExpectSamples(run, {recipe.samples[0], recipe.samples[1], recipe.samples[2], recipe.samples[4]});
        EXPECT_FALSE(run.Damaged());
        EXPECT_EQ(run.events()[0].info.loopEnd, 500u);
        EXPECT_EQ(run.events()[1].info.rate, 44100u);
        EXPECT_EQ(run.events()[3].info.slot, 5);
        EXPECT_EQ(run.h.recorder.written[3].length, 555u * 4);

        Bytes cut = module;
        cut.resize(run.h.recorder.written[3].offset + 555 * 2 + 100);
        TrackerRun short_(cut, "beat.s3m");
        ASSERT_EQ(short_.events().size(), 4u);
        EXPECT_EQ(short_.events()[3].stored.size(), 50u * 4);
        EXPECT_TRUE(short_.Damaged());
    }
}

TEST(ItReader, PlainSamplesAndLoops) {
    demo::ItRecipe recipe;
    auto sustained = Looped(Sample(16, 2000), Loop::Forward, 100, 1500);
    sustained.sustain = Loop::PingPong;
    sustained.sustainStart = 200;
    sustained.sustainEnd = 800;
    auto deltaStereo = Sample(16, 600, 2, demo::Wave::Noise);
    deltaStereo.delta = true;
    auto unsignedEight = Sample(8, 700);
    unsignedEight.unsignedData = true;
    auto delta8 = Looped(Sample(8, 900), Loop::PingPong, 0, 450);
    delta8.delta = true;
    recipe.samples = {sustained, deltaStereo, unsignedEight, delta8, Sample(8, 333, 2)};
    recipe.samples[0].c5speed = 22050;
    TrackerRun run(demo::BuildIt(recipe), "tune.it");
    ExpectSamples(run, recipe.samples);
    EXPECT_FALSE(run.Damaged());
    const auto& info = run.events()[0].info;
    EXPECT_EQ(info.rate, 22050u);
    EXPECT_EQ(info.loopMode, LoopMode::Forward);
    EXPECT_EQ(info.loopEnd, 1500u);
    EXPECT_EQ(info.sustainMode, LoopMode::PingPong);
    EXPECT_EQ(info.sustainStart, 200u);
    EXPECT_EQ(info.sustainEnd, 800u);
    EXPECT_EQ(run.events()[3].info.loopMode, LoopMode::PingPong);
    EXPECT_EQ(run.h.recorder.written[1].length, 600u * 4);

    // A sample without a name is known by the instrument that plays it;
    // MPTM is IT with more after it.
    recipe.samples[4].name.clear();
    recipe.instruments = {{"first", 0}, {"stereo \xE9", 4}};
    Bytes mptm = demo::BuildIt(recipe);
    mptm[40] = 0x89, mptm[41] = 0x08;
    for (const char c : std::string("228\x04") + std::string(64, 'x')) mptm.push_back(static_cast<std::uint8_t>(c));
    TrackerRun named(mptm, "tune.mptm");
    ExpectSamples(named, recipe.samples);
    EXPECT_EQ(named.events()[4].info.name, "stereo \xE9");
    EXPECT_EQ(named.events()[0].info.name, recipe.samples[0].name);
}

TEST(ItReader, CompressedSamples) {
    for (const auto compression : {demo::ItCompression::It214, demo::ItCompression::It215}) {
        demo::ItRecipe recipe;
        recipe.compression = compression;
        // More than one block of each width, stereo, and quiet runs that use narrow codes.
        auto quiet = Sample(8, 5000, 1, demo::Wave::Sine);
        for (auto& v : quiet.values) v /= 16;
        recipe.samples = {Sample(8, 40000, 1, demo::Wave::Noise), Sample(16, 20000), Sample(8, 3000, 2),
                          Sample(16, 1234, 2, demo::Wave::Noise), quiet};
        const Bytes module = demo::BuildIt(recipe);
        TrackerRun run(module, "packed.it");
        ExpectSamples(run, recipe.samples);
        EXPECT_FALSE(run.Damaged());
        // The stored length is the compressed streams', back to back.
        const auto& w = run.h.recorder.written;
        for (std::size_t i = 0; i + 1 < w.size(); ++i) EXPECT_LE(w[i].offset + w[i].length, w[i + 1].offset) << i;
        EXPECT_EQ(w.back().offset + w.back().length, module.size());
        EXPECT_LT(w.back().length, 5000u);

        // Cut short: what decodes is kept, and the module is reported.
        Bytes cut = module;
        cut.resize(w[1].offset + w[1].length / 2);
        TrackerRun short_(cut, "packed.it");
        ASSERT_GE(short_.events().size(), 2u);
        EXPECT_EQ(short_.events()[0].stored, demo::DecodedPcm(recipe.samples[0]));
        const Bytes expected = demo::DecodedPcm(recipe.samples[1]);
        const auto& partial = short_.events()[1].stored;
        EXPECT_LT(partial.size(), expected.size());
        EXPECT_EQ(partial, Bytes(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(partial.size())));
        EXPECT_TRUE(short_.Damaged());
    }
}

TEST(ItReader, SharedCompressedDataStaysWithinTheOutputBound) {
    // Silence compresses to about a bit a frame. Forty sample headers that
    // all point at one such stream would decode to far more than 32 times
    // the file: the samples past the bound are left out, and the module is
    // reported.
    demo::ItRecipe recipe;
    recipe.compression = demo::ItCompression::It214;
    auto silence = Sample(16, 100000);
    std::fill(silence.values.begin(), silence.values.end(), 0);
    recipe.samples = {silence};
    for (int i = 1; i < 40; ++i) recipe.samples.push_back(Sample(16, 2));
    Bytes module = demo::BuildIt(recipe);
    const auto le32 = [&](std::size_t at) {
        return std::uint32_t{module[at]} | std::uint32_t{module[at + 1]} << 8 | std::uint32_t{module[at + 2]} << 16 |
               std::uint32_t{module[at + 3]} << 24;
    };
    const std::size_t first = le32(0xC2);
    for (std::size_t i = 1; i < 40; ++i) {
        const std::size_t header = le32(0xC2 + 4 * i);
        std::copy_n(module.begin() + static_cast<std::ptrdiff_t>(first + 48), 4, module.begin() + static_cast<std::ptrdiff_t>(header + 48));
        std::copy_n(module.begin() + static_cast<std::ptrdiff_t>(first + 72), 4, module.begin() + static_cast<std::ptrdiff_t>(header + 72));
    }
    ASSERT_GT(40u * 200000u, TrackerOutputBound(module.size()));
    TrackerRun run(module, "bomb.it");
    std::uint64_t written = 0;
    for (const auto& e : run.events()) {
        EXPECT_EQ(e.fate, SampleFate::Written);
        written += e.size;
    }
    EXPECT_GT(run.events().size(), 1u);
    EXPECT_LT(run.events().size(), 40u);
    EXPECT_LE(written, TrackerOutputBound(module.size()));
    EXPECT_TRUE(run.Damaged());
    EXPECT_EQ(TrackerOutputBound(std::uint64_t{100} << 20), std::uint64_t{256} << 20);
}

TEST(TrackerDetection, FamiliesFromTheirSignatures) {
    Bytes head(1084, 0);
    EXPECT_EQ(DetectTrackerKind(head, head.size(), ModuleKind::None), ModuleKind::None);
    std::copy_n("Extended Module: ", 17, head.begin());
    EXPECT_EQ(DetectTrackerKind(head, head.size(), ModuleKind::None), ModuleKind::Xm);
    std::copy_n("IMPM", 4, head.begin());
    EXPECT_EQ(DetectTrackerKind(head, head.size(), ModuleKind::None), ModuleKind::It);
    std::fill(head.begin(), head.end(), 0);
    std::copy_n("SCRM", 4, head.begin() + 44);
    EXPECT_EQ(DetectTrackerKind(head, head.size(), ModuleKind::None), ModuleKind::S3m);
    // MMD modules stay with their walker whatever else they hold.
    EXPECT_EQ(DetectTrackerKind(head, head.size(), ModuleKind::Mmd), ModuleKind::Mmd);
    std::fill(head.begin(), head.end(), 0);
    for (const char* none : {"0CHN", "33CH", "09CH", "FA05", "TDZ5", "OKTA"}) {
        std::copy_n(none, 4, head.begin() + 1080);
        EXPECT_EQ(DetectTrackerKind(head, head.size(), ModuleKind::None), ModuleKind::None) << none;
    }
}

}  // namespace
}  // namespace vorneck
