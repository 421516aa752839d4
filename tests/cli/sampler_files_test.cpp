// SPDX-License-Identifier: MIT
// Every audio container as a sampler reads it: each file is read back
// through libsndfile (or chunk by chunk where libsndfile reads nothing) and
// compared with what the module's header says: rate, loop, bits, names. Then
// what holds across formats: a sample a container cannot take keeps its
// number, duplicates are judged by what the file carries, and the manifest
// says how to play a raw file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/sample_info.h"
#include "tests/cli/cli_runner.h"
#include "tests/export/audio_readback.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using demo::MmdInstrument;
using testing::FilesIn;
using testing::ManifestLines;
using testing::ReadAll;
using testing::RunBinary;
using testing::TempDir;
using Json = nlohmann::json;

// An MMD1 module: an 8-bit sample, a stereo one, a 16-bit one, an 8-bit one
// tuned three octaves up (66,904 Hz) and a last plain one. 8SVX can hold
// only the first and the last.
struct MixedMmd {
    TempDir src;
    Bytes module;
    std::vector<std::uint64_t> data;  // where each instrument's bytes start
    MixedMmd() {
        demo::MmdRecipe recipe;
        recipe.signature = "MMD1";
        recipe.songName = "Mixed Song";
        MmdInstrument first{false, 0, demo::Waveform(demo::Wave::Sine, 400, 40), {}, "first"};
        first.repeat = 50;
        first.repeatLength = 100;
        MmdInstrument stereo{false, 32, demo::Waveform(demo::Wave::Saw, 200), 100, "stereo"};
        MmdInstrument wide{false, 16, demo::Waveform(demo::Wave::Triangle, 600, 60), {}, "wide"};
        wide.repeat = 10;
        wide.repeatLength = 40;
        MmdInstrument high{false, 0, demo::Waveform(demo::Wave::Square, 300), {}, "high"};
        high.transpose = 36;
        MmdInstrument last{false, 0, demo::Waveform(demo::Wave::Noise, 50), {}, "last"};
        recipe.instruments = {first, stereo, wide, high, last};
        demo::MmdLayout layout;
        module = demo::BuildMmd(recipe, nullptr, &layout);
        for (const auto at : layout.instruments) data.push_back(at + 6);
        src.Write("mix.med", module);
    }
    std::string path() const { return src / "mix.med"; }
};

testing::ReadBack Back(const std::string& path) {
    auto back = testing::ReadWithSndfile(ReadAll(path));
    EXPECT_TRUE(back.opened) << path << ": " << back.error;
    return back;
}

TEST(Svx, SamplesItCannotHoldAreRefusedAndKeepTheirNumber) {
    MixedMmd m;
    TempDir out;
    const auto r = RunBinary({"-q", "-a", "-f", "8svx", "--manifest", out / "m.jsonl", "-o", out.path(), m.path()});
    EXPECT_EQ(r.status, 1);
    // The last sample keeps the number it has in every other format.
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_mix.med.8svx", "4_mix.med.8svx", "m.jsonl"}));
    for (const char* reason : {"1_mix.med.8svx (8SVX holds mono samples only)",
                                      "2_mix.med.8svx (8SVX holds 8-bit samples only",
                                      "3_mix.med.8svx (8SVX holds rates up to 65,535 Hz, not 66,904 Hz)"})
        EXPECT_NE(r.err.find("Failed to create: " + out / std::string(reason)), std::string::npos) << r.err;
    const auto name = testing::FindChunk(ReadAll(out / "4_mix.med.8svx"), "NAME");
    ASSERT_TRUE(name);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(name->data.data())), "last");
    const auto lines = ManifestLines(out / "m.jsonl");
    ASSERT_EQ(lines.size(), 5u);
    for (int n = 0; n < 5; ++n) {
        EXPECT_EQ(lines[n]["n"], n);
        EXPECT_EQ(lines[n]["output"], n % 4 ? Json(nullptr) : Json(out / (std::to_string(n) + "_mix.med.8svx")));
    }
}

TEST(Svx, TheSongNameIsTheAnnotation) {
    MixedMmd m;
    TempDir out;
    RunBinary({"-q", "-f", "8svx", "-o", out.path(), m.path()});
    const Bytes file = ReadAll(out / "0_mix.med.8svx");
    const auto anno = testing::FindChunk(file, "ANNO");
    ASSERT_TRUE(anno);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(anno->data.data()), strnlen(reinterpret_cast<const char*>(anno->data.data()), anno->size)),
              "Mixed Song");
    int annotations = 0;
    for (const auto& chunk : testing::ReadChunks(file)) annotations += chunk.id == "ANNO";
    EXPECT_EQ(annotations, 1);
    // The file still reads, with the rate and the loop of the header.
    const auto back = Back(out / "0_mix.med.8svx");
    EXPECT_EQ(back.info.samplerate, 8363);
    const auto vhdr = testing::FindChunk(file, "VHDR");
    ASSERT_TRUE(vhdr);
    EXPECT_EQ(testing::Be32(vhdr->data, 0), 100u);  // one-shot part: up to the repeat
    EXPECT_EQ(testing::Be32(vhdr->data, 4), 200u);  // repeat part: 100 words

    // Without a song name there is no annotation at all.
    TempDir src;
    demo::ModRecipe recipe;
    recipe.title = "";
    recipe.samples = {{"s", Bytes(64, 5)}};
    src.Write("plain.mod", demo::BuildMod(recipe));
    TempDir out2;
    RunBinary({"-q", "-f", "8svx", "-o", out2.path(), src.path()});
    EXPECT_FALSE(testing::FindChunk(ReadAll(out2 / "0_plain.mod.8svx"), "ANNO"));
}

// An MMD instrument of several octaves holds them shortest first, each
// twice the one before, with its loop in the shortest: as 8SVX describes
// octaves exactly.
TEST(Svx, MultiOctaveInstrumentsKeepTheirOctaves) {
    TempDir src;
    demo::MmdRecipe recipe;
    recipe.signature = "MMD1";
    MmdInstrument looped{false, 1, demo::Waveform(demo::Wave::Sine, 31 * 16, 16), {}, "five"};  // 5 octaves
    looped.repeat = 2;
    looped.repeatLength = 4;
    MmdInstrument plain{false, 2, demo::Waveform(demo::Wave::Saw, 7 * 20, 20), {}, "three"};  // 3 octaves
    recipe.instruments = {looped, plain};
    src.Write("oct.med", demo::BuildMmd(recipe));
    TempDir out;
    ASSERT_EQ(RunBinary({"-q", "-f", "8svx", "-o", out.path(), src.path()}).status, 0);
    const auto vhdr = [&](const std::string& name) {
        const auto chunk = testing::FindChunk(ReadAll(out / name), "VHDR");
        EXPECT_TRUE(chunk) << name;
        return chunk ? chunk->data : Bytes(20, 0);
    };
    const Bytes five = vhdr("0_oct.med.8svx");
    EXPECT_EQ(testing::Be32(five, 0), 4u);  // the shortest octave's one-shot part
    EXPECT_EQ(testing::Be32(five, 4), 8u);  // and its repeat part
    EXPECT_EQ(five[14], 5);                 // octaves
    const Bytes three = vhdr("1_oct.med.8svx");
    EXPECT_EQ(testing::Be32(three, 0), 20u);
    EXPECT_EQ(testing::Be32(three, 4), 0u);
    EXPECT_EQ(three[14], 3);
    const auto back = Back(out / "0_oct.med.8svx");
    EXPECT_EQ(back.info.frames, 31 * 16);
    EXPECT_EQ(back.info.samplerate, 8363);
}

TEST(Flac, RatesAboveTheSixteenBitFieldAreWritten) {
    MixedMmd m;
    TempDir out;
    const auto r = RunBinary({"-q", "-a", "-f", "flac", "-o", out.path(), m.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    // 66,904 Hz is not a multiple of 10: written at the nearest one.
    const auto high = Back(out / "3_mix.med.flac");
    EXPECT_EQ(high.info.samplerate, 66900);
    ASSERT_EQ(high.samples.size(), 300u);
    for (std::size_t i = 0; i < high.samples.size(); ++i)
        ASSERT_EQ(high.samples[i], static_cast<std::int8_t>(m.module[m.data[3] + i]) * 256) << i;
    // Every other sample keeps its rate and data, 16-bit and stereo too.
    EXPECT_EQ(Back(out / "0_mix.med.flac").info.samplerate, 8363);
    const auto wide = Back(out / "2_mix.med.flac");
    EXPECT_EQ(wide.info.frames, 300);
    EXPECT_EQ(wide.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
    EXPECT_EQ(Back(out / "1_mix.med.flac").info.channels, 2);
}

TEST(WavAndAiff, SixteenBitLoopsCountFramesAsTheHeaderDoes) {
    MixedMmd m;
    for (const std::string format : {"wav", "aiff"}) {
        TempDir out;
        ASSERT_EQ(RunBinary({"-q", "-a", "-f", format, "-o", out.path(), m.path()}).status, 0) << format;
        const auto wide = Back(out / ("2_mix.med." + format));
        EXPECT_EQ(wide.info.frames, 300) << format;
        ASSERT_TRUE(wide.instrument) << format;
        ASSERT_EQ(wide.instrument->loop_count, 1) << format;
        EXPECT_EQ(wide.instrument->loops[0].start, 20u) << format;  // repeat 10 words
        EXPECT_EQ(wide.instrument->loops[0].end, 100u) << format;   // and 40 more
        EXPECT_EQ(Back(out / ("3_mix.med." + format)).info.samplerate, 66904) << format;
    }
}

// Five copies of one wave with five loops, as modules use for phase tricks,
// one of them twice, and one tuned differently.
TEST(Dedupe, AudioFilesAreDuplicatesOnlyWhenEverythingTheyCarryAgrees) {
    TempDir src;
    demo::ModRecipe recipe;
    const Bytes wave = demo::Waveform(demo::Wave::Sine, 32, 32);
    for (std::uint16_t start = 0; start < 5; ++start) recipe.samples.push_back({"", wave, 0, 64, start, 8});
    recipe.samples.push_back({"", wave, 0, 64, 4, 8});  // the fifth again
    recipe.samples.push_back({"", wave, 3, 64, 4, 8});  // and tuned up
    src.Write("phase.mod", demo::BuildMod(recipe));

    TempDir wav;
    auto r = RunBinary({"--dedupe", "-f", "wav", "-o", wav.path(), src.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Duplicates skipped: 1\n"), std::string::npos) << r.out;
    EXPECT_EQ(FilesIn(wav.path()).size(), 6u);
    EXPECT_FALSE(std::filesystem::exists(wav / "5_phase.mod.wav"));
    for (int n = 0; n < 5; ++n) {
        const auto back = Back(wav / (std::to_string(n) + "_phase.mod.wav"));
        ASSERT_TRUE(back.instrument);
        EXPECT_EQ(back.instrument->loops[0].start, 2u * n);
    }
    EXPECT_EQ(Back(wav / "6_phase.mod.wav").info.samplerate, static_cast<int>(TunedRate(0, 3)));

    // Raw files carry the bytes alone: equal bytes are one file.
    TempDir raw;
    r = RunBinary({"--dedupe", "-o", raw.path(), src.path()});
    EXPECT_NE(r.out.find("Duplicates skipped: 6\n"), std::string::npos) << r.out;
}

TEST(Manifest, SaysWhetherARawFileIsTheStoredBytesOrDecodedPcm) {
    MixedMmd m;
    TempDir out;
    ASSERT_EQ(RunBinary({"-q", "-a", "--manifest", out / "m.jsonl", "-o", out.path(), m.path()}).status, 0);
    const auto lines = ManifestLines(out / "m.jsonl");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0]["raw_form"], "stored");
    EXPECT_EQ(lines[1]["raw_form"], "decoded");  // stereo: interleaved now
    EXPECT_EQ(lines[2]["raw_form"], "decoded");  // 16-bit: little-endian now
    EXPECT_EQ(lines[3]["raw_form"], "stored");
    // Decoded PCM is what the key says: the 16-bit sample, byte-swapped.
    const Bytes wide = ReadAll(out / "2_mix.med");
    ASSERT_EQ(wide.size(), 600u);
    EXPECT_EQ(wide[0], m.module[m.data[2] + 1]);
    EXPECT_EQ(wide[1], m.module[m.data[2]]);
}

}  // namespace
}  // namespace vorneck
