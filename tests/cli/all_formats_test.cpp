// SPDX-License-Identifier: MIT
// vorneck-cli -a: the tracker formats through the engine's own readers,
// other formats through the module library, all decoded as signed
// little-endian PCM, and the 16-bit and stereo MMD instruments the engine
// writes only when asked.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/other_formats.h"
#include "demo/tracker_builder.h"
#include "engine/sample_writer.h"
#include "export/manifest.h"
#include "tests/cli/cli_runner.h"
#include "tests/export/audio_readback.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::FilesIn;
using testing::ManifestLines;
using testing::ReadAll;
using testing::RunBinary;
using testing::TempDir;
using Json = nlohmann::json;

demo::TrackerSample Sample(std::string name, std::uint8_t bits, std::size_t frames, demo::Loop loop = demo::Loop::None,
                           std::uint32_t loopStart = 0, std::uint32_t loopEnd = 0) {
    demo::TrackerSample s;
    s.name = std::move(name);
    s.bits = bits;
    s.values = demo::WaveValues(demo::Wave::Saw, frames, bits);
    s.loop = loop;
    s.loopStart = loopStart;
    s.loopEnd = loopEnd;
    return s;
}

TEST(CliAllFormats, OtherFormatsAreDecodedAndDescribed) {
    TempDir src;
    demo::XmRecipe xm;
    xm.title = "xm song";
    auto lead = Sample("lead", 16, 600, demo::Loop::PingPong, 100, 600);
    lead.relativeNote = 12;
    xm.instruments = {{"lead instrument", {lead}}, {"empty", {}}, {"bass", {Sample("bass", 8, 300)}}};
    src.Write("song.xm", demo::BuildXm(xm));
    demo::S3mRecipe s3m;
    auto hat = Sample("hat", 8, 500, demo::Loop::Forward, 100, 500);
    hat.c5speed = 22050;
    s3m.samples = {hat};
    src.Write("beat.s3m", demo::BuildS3m(s3m));
    demo::ItRecipe it;
    it.compression = demo::ItCompression::It214;
    it.samples = {Sample("packed", 16, 5000)};
    src.Write("tune.it", demo::BuildIt(it));
    src.Write("notes.txt", Bytes(2000, 'n'));

    TempDir out;
    const auto r = RunBinary({"-a", "--manifest", out / "m.jsonl", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Unrecognised file format: " + src / "notes.txt" + "\n");
    EXPECT_EQ(FilesIn(out.path()),
              (std::vector<std::string>{"0_beat.s3m", "0_song.xm", "0_tune.it", "1_song.xm", "m.jsonl"}));
    // Raw output of what the module library decoded: signed little-endian PCM.
    EXPECT_EQ(ReadAll(out / "0_song.xm"), demo::DecodedPcm(lead));
    EXPECT_EQ(ReadAll(out / "1_song.xm"), demo::DecodedPcm(xm.instruments[2].samples[0]));
    EXPECT_EQ(ReadAll(out / "0_beat.s3m"), demo::DecodedPcm(hat));
    EXPECT_EQ(ReadAll(out / "0_tune.it"), demo::DecodedPcm(it.samples[0]));

    const auto lines = ManifestLines(out / "m.jsonl");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["format"], "s3m");
    EXPECT_EQ(lines[0]["rate"], 22050);
    EXPECT_EQ(lines[0]["loop_end"], 500);
    // Where the stored data lies in the module.
    ASSERT_TRUE(lines[0]["offset"].is_number());
    EXPECT_EQ(lines[0]["length"], 500);
    EXPECT_EQ(lines[1]["format"], "xm");
    EXPECT_EQ(lines[1]["slot"], 1);
    EXPECT_EQ(lines[1]["bits"], 16);
    EXPECT_EQ(lines[1]["rate"], 16726);  // an octave above 8363 Hz
    EXPECT_EQ(lines[1]["loop_mode"], "pingpong");
    EXPECT_EQ(lines[2]["slot"], 2);  // slots count samples, not instruments
    EXPECT_EQ(lines[3]["format"], "it");
    EXPECT_EQ(lines[3]["frames"], 5000);

    // Audio files from the library path carry the same.
    TempDir wav;
    EXPECT_EQ(RunBinary({"-q", "-a", "-f", "wav", "-o", wav.path(), src / "song.xm"}).status, 0);
    const auto back = testing::ReadWithSndfile(ReadAll(wav / "0_song.xm.wav"));
    ASSERT_TRUE(back.opened);
    EXPECT_EQ(back.info.samplerate, 16726);
    EXPECT_EQ(back.info.frames, 600);
    EXPECT_EQ(back.title.value_or(""), "lead");
    EXPECT_EQ(back.album.value_or(""), "xm song");

    // A plan of the same.
    const auto plan = RunBinary({"-n", "-a", "-o", out.path(), src / "beat.s3m"});
    EXPECT_EQ(plan.out, out / "0_beat.s3m" + "\t" + std::to_string(lines[0]["offset"].get<std::uint64_t>()) + "\t500\n");
}

// The module library path writes every frame it has; the few after a
// loop's end that the library overwrites are named in the manifest, and
// every other frame is the module's own.
TEST(CliAllFormats, LibrarySamplesKeepTheirTails) {
    demo::XmRecipe xm;
    const auto forward = Sample("forward", 8, 3000, demo::Loop::Forward, 500, 1000);
    const auto pingpong = Sample("pingpong", 16, 2000, demo::Loop::PingPong, 300, 700);
    const auto whole = Sample("whole", 8, 900, demo::Loop::Forward, 100, 900);
    xm.instruments = {{"a", {forward, pingpong, whole}}};
    TempDir src;
    src.Write("packed.xm.gz", demo::GzipStored(demo::BuildXm(xm)));  // only the library unpacks it
    TempDir out;
    const auto r = RunBinary({"-q", "-a", "--manifest", out / "m.jsonl", "-o", out.path(), src.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = ManifestLines(out / "m.jsonl");
    ASSERT_EQ(lines.size(), 3u);
    const std::vector<std::pair<demo::TrackerSample, std::pair<std::uint64_t, std::uint64_t>>> expected = {
        {forward, {1000, 1004}}, {pingpong, {700, 1104}}, {whole, {0, 0}}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [sample, altered] = expected[i];
        const auto& line = lines[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(line["frames"], sample.Frames());
        if (altered.first == altered.second) {
            EXPECT_FALSE(line.contains("altered"));
        } else {
            EXPECT_EQ(line["altered"], Json::array({altered.first, altered.second}));
        }
        const Bytes written = ReadAll(line["output"].get<std::string>());
        const Bytes original = demo::DecodedPcm(sample);
        ASSERT_EQ(written.size(), original.size());
        const std::size_t width = sample.bits / 8u;
        for (std::size_t f = 0; f < sample.Frames(); ++f) {
            if (f >= altered.first && f < altered.second) continue;
            ASSERT_EQ(Bytes(written.begin() + f * width, written.begin() + (f + 1) * width),
                      Bytes(original.begin() + f * width, original.begin() + (f + 1) * width))
                << "frame " << f;
        }
    }
}

TEST(CliAllFormats, WideMmdInstrumentsAreDecoded) {
    demo::MmdRecipe recipe;
    recipe.instruments = {{false, 16, {0x12, 0x34, 0xFE, 0xDC}, {}},        // 16-bit: 0x1234, 0xFEDC
                          {false, 32, {1, 2, 3, 0xF4, 0xF5, 0xF6}, 3},       // stereo, 3 frames a channel
                          {false, 48, {0, 1, 0, 2, 0xFF, 0xFF, 0xFF, 0xFE}, 4}};  // 16-bit stereo, 2 frames
    TempDir src;
    src.Write("wide.med", demo::BuildMmd(recipe));
    TempDir out;
    // Without -a these are instruments of unknown type, as in the window.
    auto r = RunBinary({"-q", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(FilesIn(out.path()).empty());
    r = RunBinary({"-q", "-a", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(out / "0_wide.med"), (Bytes{0x34, 0x12, 0xDC, 0xFE}));
    EXPECT_EQ(ReadAll(out / "1_wide.med"), (Bytes{1, 0xF4, 2, 0xF5, 3, 0xF6}));
    EXPECT_EQ(ReadAll(out / "2_wide.med"), (Bytes{1, 0, 0xFF, 0xFF, 2, 0, 0xFE, 0xFF}));
}

// The library path inside the engine's run: limits that a file exceeds cost
// that file a message, and the run goes on.
TEST(CliAllFormats, LibraryFailuresCostOneFile) {
    TempDir src;
    TempDir out;
    demo::XmRecipe xm;
    xm.instruments = {{"big", {Sample("big", 16, 20000)}}};
    src.Write("a.xm", demo::BuildXm(xm));
    demo::ModRecipe mod;
    mod.samples = {{"", Bytes(100, 1)}};
    src.Write("b.mod", demo::BuildMod(mod));

    for (const bool tooLarge : {false, true}) {
        LibraryLimits limits;
        if (tooLarge)
            limits.maxFileSize = 1000;
        else
            limits.maxOutputBytes = 1000;
        OtherFormats fallback(limits);
        testing::RunHarness h;
        h.services.fallback = &fallback;
        h.Run(testing::ListOf(src.path(), {"a.xm", "b.mod"}), out.path());
        ASSERT_EQ(h.recorder.reports.size(), 1u);
        const auto& report = h.recorder.reports[0];
        if (tooLarge) {
            EXPECT_EQ(report.text, "Unrecognised file format: " + src / "a.xm");
            EXPECT_EQ(report.kind, ReportKind::Unrecognised);
        } else {
            EXPECT_EQ(report.text, "Module library failed on: " + src / "a.xm");
            EXPECT_EQ(report.kind, ReportKind::Failure);
        }
        EXPECT_EQ(h.state.ModsProcessed, 1);  // b.mod
        EXPECT_EQ(h.state.SamplesSaved, 1);
    }
    const auto r = RunBinary({"-q", "-a", "-o", out.path(), src / "a.xm", src / "b.mod"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(CliAllFormats, TheManifestHashesTheRawFormOfWideMmdSamples) {
    demo::MmdRecipe recipe;
    recipe.instruments = {{false, 16, {0x12, 0x34, 0xFE, 0xDC}, {}},
                          {false, 32, {1, 2, 3, 0xF4, 0xF5, 0xF6}, 3},
                          {false, 48, {0, 1, 0, 2, 0xFF, 0xFF, 0xFF, 0xFE}, 4}};
    TempDir src;
    src.Write("wide.med", demo::BuildMmd(recipe));
    TempDir raw;
    TempDir wav;
    TempDir lists;
    ASSERT_EQ(RunBinary({"-q", "-a", "--manifest", lists / "raw.jsonl", "-o", raw.path(), src.path()}).status, 0);
    ASSERT_EQ(RunBinary({"-q", "-a", "-f", "wav", "--manifest", lists / "wav.jsonl", "-o", wav.path(), src.path()})
                  .status,
              0);
    const auto rawLines = ManifestLines(lists / "raw.jsonl");
    const auto wavLines = ManifestLines(lists / "wav.jsonl");
    ASSERT_EQ(rawLines.size(), 3u);
    ASSERT_EQ(wavLines.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        // The hash is of the file raw output writes, whatever the format asked for.
        EXPECT_EQ(rawLines[i]["sha256"], Sha256Hex(ReadAll(rawLines[i]["output"].get<std::string>()))) << i;
        EXPECT_EQ(wavLines[i]["sha256"], rawLines[i]["sha256"]) << i;
    }
}

}  // namespace
}  // namespace vorneck
