// SPDX-License-Identifier: MIT
// vorneck-cli beyond raw bytes: audio files carrying the module's own
// description of each sample, names from templates, the manifest, folders
// walked recursively, and duplicates.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli/name_template.h"
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

// A four-channel module and an MMD whose samples carry names, loops and
// tunings of every kind the formats have.
struct DescribedModules {
    TempDir src;
    Bytes mod;
    Bytes med;
    std::vector<demo::SampleRange> modRanges;
    std::vector<demo::SampleRange> medRanges;
    DescribedModules() {
        demo::ModRecipe recipe;
        recipe.title = "Caf\xE9 tune";
        recipe.samples = {{"looped", demo::Waveform(demo::Wave::Sine, 1000, 50), 3, 40, 100, 200},
                          {"plain", demo::Waveform(demo::Wave::Saw, 701), -8, 64},
                          {"bytes repeat", demo::Waveform(demo::Wave::Square, 400), 0, 64, 300, 50}};
        mod = demo::BuildMod(recipe, &modRanges);
        src.Write("tune.mod", mod);
        demo::MmdRecipe mmd;
        mmd.signature = "MMD1";
        mmd.songName = "Song of MED";
        mmd.instruments = {{false, 0, demo::Waveform(demo::Wave::Triangle, 900, 30), {}, "ping", -1, true, 7, 64, 50, 200},
                           {false, 0, demo::Waveform(demo::Wave::Noise, 333), {}, "no loop", 0, false, -24}};
        med = demo::BuildMmd(mmd, &medRanges);
        src.Write("tune.med", med);
    }
};

TEST(CliExport, TheDefaultIsTheWindowsOutputByteForByte) {
    TempDir src;
    ASSERT_TRUE(demo::WriteDemoSet(src.path()));
    TempDir byEngine;
    TempDir byCli;
    for (const bool perModule : {false, true}) {
        testing::RunHarness h;
        std::vector<std::string> names;
        for (const auto& f : demo::DemoSet()) names.push_back(f.name);
        std::sort(names.begin(), names.end(), FileNameLess);
        h.Run(testing::ListOf(src.path(), names), byEngine.path(), perModule);
        std::vector<std::string> args = {"-q", "-o", byCli.path(), src.path()};
        if (perModule) args.insert(args.begin(), "-m");
        EXPECT_EQ(RunBinary(args).status, 0);
    }
    const auto files = FilesIn(byEngine.path());
    EXPECT_EQ(files, FilesIn(byCli.path()));
    for (const auto& f : files) {
        if (f.back() != '/') {
            EXPECT_EQ(ReadAll(byEngine / f), ReadAll(byCli / f)) << f;
        }
    }
}

TEST(CliExport, AudioFilesCarryRateLoopAndNames) {
    DescribedModules m;
    for (const std::string format : {"wav", "aiff", "8svx", "flac"}) {
        TempDir out;
        ASSERT_EQ(RunBinary({"-q", "-f", format, "-o", out.path(), m.src.path()}).status, 0) << format;
        struct Expected {
            std::string file;
            demo::SampleRange range;
            const Bytes* module;
            std::uint32_t rate;
            std::uint64_t loopStart, loopEnd;  // end 0: no loop
            std::string title;
        };
        const std::vector<Expected> expected = {
            {"0_tune.mod", m.modRanges[0], &m.mod, TunedRate(0, 3), 200, 600, "looped"},
            {"1_tune.mod", m.modRanges[1], &m.mod, TunedRate(0, -8), 0, 0, "plain"},
            // A repeat start that only fits read as bytes (old trackers).
            {"2_tune.mod", m.modRanges[2], &m.mod, 8363, 300, 400, "bytes repeat"},
            {"0_tune.med", m.medRanges[0], &m.med, TunedRate(7, -1), 100, 500, "ping"},
            {"1_tune.med", m.medRanges[1], &m.med, TunedRate(-24, 0), 0, 0, "no loop"},
        };
        for (const auto& e : expected) {
            const std::string path = out / (e.file + "." + format);
            const auto back = testing::ReadWithSndfile(ReadAll(path));
            ASSERT_TRUE(back.opened) << path << ": " << back.error;
            EXPECT_EQ(back.info.samplerate, static_cast<int>(e.rate)) << path;
            EXPECT_EQ(back.info.channels, 1) << path;
            // libsndfile reads an odd 8SVX body's pad byte as a frame.
            EXPECT_GE(static_cast<std::uint64_t>(back.info.frames), e.range.length) << path;
            for (std::uint64_t i = 0; i < e.range.length; ++i) {
                const auto stored = static_cast<std::int8_t>((*e.module)[e.range.offset + i]);
                ASSERT_EQ(back.samples[i], stored * 256) << path << " frame " << i;
            }
            if (format != "8svx") {
                EXPECT_EQ(back.title.value_or(""), e.title) << path;
            }
            if (format == "wav" || format == "aiff") {
                // The instrument chunk carries the base note with or without a loop.
                const int loops = back.instrument ? back.instrument->loop_count : 0;
                ASSERT_EQ(loops, e.loopEnd != 0 ? 1 : 0) << path;
                if (loops == 1) {
                    EXPECT_EQ(back.instrument->loop_count, 1) << path;
                    EXPECT_EQ(back.instrument->loops[0].start, e.loopStart) << path;
                    EXPECT_EQ(back.instrument->loops[0].end, e.loopEnd) << path;
                }
            }
            if (format == "8svx") {
                const auto vhdr = testing::FindChunk(ReadAll(path), "VHDR");
                ASSERT_TRUE(vhdr) << path;
                const std::uint64_t repeat = testing::Be32(vhdr->data, 4);
                EXPECT_EQ(repeat, e.loopEnd - e.loopStart) << path;
                const auto name = testing::FindChunk(ReadAll(path), "NAME");
                ASSERT_TRUE(name) << path;
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(name->data.data())), e.title) << path;
            }
        }
        // The module's song name as album, where the format has the field.
        if (format == "wav" || format == "flac") {
            EXPECT_EQ(testing::ReadWithSndfile(ReadAll(out / ("0_tune.mod." + format))).album.value_or(""),
                      "Caf\xC3\xA9 tune");
            EXPECT_EQ(testing::ReadWithSndfile(ReadAll(out / ("0_tune.med." + format))).album.value_or(""),
                      "Song of MED");
        }
    }
}

TEST(CliExport, TheManifestAgreesWithTheFiles) {
    DescribedModules m;
    TempDir out;
    const std::string manifest = out / "samples.jsonl";
    ASSERT_EQ(RunBinary({"-q", "--manifest", manifest, "-o", out.path(), m.src / "tune.mod", m.src / "tune.med"}).status, 0);
    const auto lines = ManifestLines(manifest);
    ASSERT_EQ(lines.size(), 5u);
    const std::set<std::string> keys = {"module", "slot", "n", "name", "output", "offset", "length", "frames", "bits",
                                        "channels", "rate", "loop_start", "loop_end", "loop_mode", "sha256",
                                        "duplicate_of", "format", "raw_form"};
    for (const auto& line : lines) {
        std::set<std::string> have;
        for (const auto& [key, value] : line.items()) have.insert(key);
        EXPECT_EQ(have, keys);
        const Bytes file = ReadAll(line["output"].get<std::string>());
        EXPECT_EQ(Sha256Hex(file), line["sha256"]);
        EXPECT_EQ(file.size(), line["length"].get<std::uint64_t>());
        EXPECT_EQ(file.size(), line["frames"].get<std::uint64_t>());
        const Bytes& module = line["format"] == "mod" ? m.mod : m.med;
        const auto offset = line["offset"].get<std::size_t>();
        EXPECT_EQ(file, Bytes(module.begin() + offset, module.begin() + offset + file.size()));
    }
    EXPECT_EQ(lines[0]["module"], m.src / "tune.mod");
    EXPECT_EQ(lines[0]["slot"], 1);
    EXPECT_EQ(lines[0]["loop_mode"], "forward");
    EXPECT_EQ(lines[2]["loop_start"], 300);
    EXPECT_EQ(lines[3]["format"], "mmd1");
    EXPECT_EQ(lines[3]["name"], "ping");
    EXPECT_EQ(lines[3]["loop_mode"], "pingpong");
    EXPECT_EQ(lines[4]["loop_start"], nullptr);

    // A dry run's manifest describes the plan; a sample that is refused has
    // no output.
    TempDir planned;
    planned.Write("1_tune.mod", Bytes(3, 3));
    const std::string input = planned.Write("0_tune.mod", m.mod);  // a module of the run, named like an output
    const auto r = RunBinary({"-n", "-q", "--manifest", out / "plan.jsonl", "-o", planned.path(), input, m.src / "tune.mod"});
    EXPECT_EQ(r.status, 1);
    const auto plan = ManifestLines(out / "plan.jsonl");
    ASSERT_EQ(plan.size(), 6u);
    EXPECT_EQ(plan[3]["output"], nullptr);  // would replace 0_tune.mod, an input
    EXPECT_EQ(plan[4]["output"], planned / "1_tune.mod");
    EXPECT_EQ(ReadAll(planned / "1_tune.mod"), Bytes(3, 3));
}

TEST(CliExport, NamesFromTemplates) {
    TempDir src;
    demo::ModRecipe recipe;
    recipe.samples = {{"Kick/Snare\x01", Bytes(10, 1)}, {}, {"  caf\xE9 \x9B", Bytes(12, 2)}, {"", Bytes(14, 3)}};
    src.Write("set.mod", demo::BuildMod(recipe));
    TempDir out;
    auto r = RunBinary({"-q", "--name", "{stem}_{slot:02}_{name}", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FilesIn(out.path()),
              (std::vector<std::string>{"set_01_Kick_Snare", "set_03_caf\xC3\xA9 _", "set_04_"}));

    // Names that collide are refused, and the first file stays.
    TempDir same;
    r = RunBinary({"-q", "-f", "wav", "--name", "{module}", "-o", same.path(), src.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FilesIn(same.path()), std::vector<std::string>{"set.mod.wav"});
    EXPECT_NE(r.err.find("Failed to create: " + same / "set.mod.wav (written earlier in this run)"), std::string::npos);

    for (const char* bad : {"{slot", "{what}", "a/b", "{name:02}", "}"}) {
        r = RunBinary({"--name", bad, "-o", out.path(), src.path()});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.out, "") << bad;
    }
}

TEST(NameTemplate, FieldsWidthsAndLength) {
    std::string error;
    const auto t = NameTemplate::Parse("{n:03}-{slot}-{{{stem}}}-{name}", error);
    ASSERT_TRUE(t) << error;
    NameFields fields{7, 12, "song.final.mod", "bass"};
    EXPECT_EQ(t->Expand(fields, 255), "007-12-{song.final}-bass");
    // Too long: the longest text field gives way first, at a character
    // boundary, and numbers and literal text stay.
    fields.name = std::string(40, 'x');
    EXPECT_EQ(t->Expand(fields, 30), "007-12-{song.final}-xxxxxxxxxx");
    const auto nameOnly = NameTemplate::Parse("{name}", error);
    // Stored bytes are Latin-1: two characters of two bytes each in UTF-8.
    EXPECT_EQ(nameOnly->Expand({0, 1, "m", "\xE9\xE9"}, 4), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(nameOnly->Expand({0, 1, "m", "\xE9\xE9"}, 3), "\xC3\xA9");
    EXPECT_EQ(Stem(".hidden"), ".hidden");
    EXPECT_EQ(Stem("a.b.c"), "a.b");
    EXPECT_EQ(SafeSampleName(std::string("ab\0junk", 7)), "ab");
    EXPECT_EQ(SafeSampleName(" \x80/\x7f "), "__");
    const auto dots = NameTemplate::Parse("{name}", error);
    EXPECT_EQ(dots->Expand({0, 1, "m", ".."}, 255), "_");
    EXPECT_EQ(dots->Expand({0, 1, "m", ""}, 255), "_");
}

TEST(CliExport, RecursionMirrorsFolders) {
    TempDir src;
    TempDir elsewhere;
    demo::ModRecipe recipe;
    recipe.samples = {{"", Bytes(10, 1)}};
    const Bytes mod = demo::BuildMod(recipe);
    src.Write("top.mod", mod);
    src.Write("a/song.mod", mod);
    src.Write("a/b/song.mod", mod);
    src.Write("a/notes.txt", Bytes(4, 'n'));
    src.Write(".hidden/skip.mod", mod);
    elsewhere.Write("outside.mod", mod);
    std::filesystem::create_directory_symlink(elsewhere.path(), src / "a/link");
    TempDir out;
    const auto r = RunBinary({"-r", "-m", "-p", "*.mod", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FilesIn(out.path()),
              (std::vector<std::string>{"a/", "a/b/", "a/b/song.mod/", "a/b/song.mod/0_song.mod", "a/song.mod/",
                                        "a/song.mod/0_song.mod", "top.mod/", "top.mod/0_top.mod"}));
    // Without -r only the folder's own files.
    TempDir flat;
    EXPECT_EQ(RunBinary({"-q", "-o", flat.path(), src.path()}).status, 0);
    EXPECT_EQ(FilesIn(flat.path()), std::vector<std::string>{"0_top.mod"});
}

TEST(CliExport, DuplicatesAreWrittenOnce) {
    TempDir src;
    demo::ModRecipe recipe;
    recipe.samples = {{"", Bytes(100, 1)}, {"", Bytes(50, 2)}, {"", Bytes(100, 1)}};
    src.Write("a.mod", demo::BuildMod(recipe));
    src.Write("b.mod", demo::BuildMod(recipe));
    TempDir out;
    const auto r = RunBinary({"--dedupe", "--manifest", out / "m.jsonl", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Vorneck completed.\nMods Processed: 2\nSamples saved: 2\nDuplicates skipped: 4\n");
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_a.mod", "1_a.mod", "m.jsonl"}));
    const auto lines = ManifestLines(out / "m.jsonl");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2]["duplicate_of"], out / "0_a.mod");
    EXPECT_EQ(lines[2]["output"], nullptr);
    EXPECT_EQ(lines[2]["n"], 2);  // a duplicate keeps its number
    EXPECT_EQ(lines[4]["duplicate_of"], out / "1_a.mod");
}

TEST(CliExport, ASkippedDuplicateKeepsTheNamesAfterIt) {
    TempDir src;
    demo::ModRecipe first;
    first.samples = {{"", Bytes(100, 1)}, {"", Bytes(100, 1)}, {"", Bytes(50, 2)}};
    src.Write("a.mod", demo::BuildMod(first));
    demo::ModRecipe second;
    second.samples = {{"", Bytes(50, 2)}, {"", Bytes(30, 3)}};
    src.Write("b.mod", demo::BuildMod(second));
    TempDir out;
    const auto r = RunBinary({"-q", "--dedupe", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    // Each sample has the name it has without --dedupe, or none.
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_a.mod", "1_b.mod", "2_a.mod"}));
    EXPECT_EQ(ReadAll(out / "2_a.mod"), Bytes(50, 2));
    EXPECT_EQ(ReadAll(out / "1_b.mod"), Bytes(30, 3));
}

TEST(CliExport, WithoutHashesNoSampleIsTakenForACopy) {
    // A libcrypto that cannot be loaded leaves every sample without a hash:
    // none can be known as a copy, so every one is written, in raw form and
    // as audio files alike.
    TempDir lib;
    lib.Write(VORNECK_CRYPTO_SONAME, Bytes(10, 'x'));
    TempDir src;
    demo::ModRecipe recipe;
    recipe.samples = {{"", Bytes(100, 1)}, {"", Bytes(50, 2)}, {"", Bytes(70, 3)}};
    const auto module = src.Write("a.mod", demo::BuildMod(recipe));
    for (const std::string format : {"raw", "wav"}) {
        TempDir out;
        testing::CliSpawn spawn{{"-q", "--dedupe", "-f", format, "-o", out.path(), module}};
        spawn.env = {{"LD_LIBRARY_PATH", lib.path()}};
        const auto r = RunBinary(spawn);
        EXPECT_NE(r.err.find(std::string(VORNECK_CRYPTO_SONAME) + " cannot be used"), std::string::npos) << r.err;
        const std::string ext = format == "raw" ? "" : ".wav";
        EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_a.mod" + ext, "1_a.mod" + ext, "2_a.mod" + ext}))
            << format;
    }
}

TEST(CliExport, AnUnusableAudioLibraryIsNamedAsTheReason) {
    TempDir lib;
    lib.Write(VORNECK_SNDFILE_SONAME, Bytes(10, 'x'));
    TempDir src;
    demo::ModRecipe recipe;
    recipe.samples = {{"", Bytes(100, 1)}};
    const auto module = src.Write("a.mod", demo::BuildMod(recipe));
    TempDir out;
    testing::CliSpawn spawn{{"-q", "-f", "wav", "-o", out.path(), module}};
    spawn.env = {{"LD_LIBRARY_PATH", lib.path()}};
    const auto r = RunBinary(spawn);
    EXPECT_EQ(r.status, 1);
    const std::string expected =
        "Failed to create: " + out / "0_a.mod.wav" + " (" + VORNECK_SNDFILE_SONAME + " cannot be used: ";
    EXPECT_EQ(r.err.substr(0, expected.size()), expected) << r.err;
    EXPECT_TRUE(FilesIn(out.path()).empty());
}

TEST(CliExport, TheManifestNeverReplacesAModuleOfTheRun) {
    TempDir src;
    TempDir out;
    demo::ModRecipe recipe;
    recipe.samples = {{"", Bytes(10, 1)}};
    const Bytes mod = demo::BuildMod(recipe);
    const std::string module = src.Write("a.mod", mod);
    for (const bool dryRun : {false, true}) {
        std::vector<std::string> args = {"-q", "--manifest", module, "-o", out.path(), module};
        if (dryRun) args.insert(args.begin(), "-n");
        // Refused, and said so: the module stays a module.
        const auto r = RunBinary(args);
        EXPECT_NE(r.status, 0) << dryRun;
        EXPECT_NE(r.err.find(module), std::string::npos) << r.err;
        EXPECT_EQ(ReadAll(module), mod) << dryRun;
    }
}

}  // namespace
}  // namespace vorneck
