// SPDX-License-Identifier: MIT
// The run as a whole: refusals, the order of status texts and messages,
// counters across runs, and what happens to files that cannot be used.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "engine/extraction_run.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::ListOf;
using testing::RunHarness;
using testing::TempDir;

Bytes SmallMod(std::size_t samples = 2, const std::string& signature = "M.K.") {
    demo::ModRecipe recipe;
    recipe.signature = signature;
    for (std::size_t i = 0; i < samples; ++i)
        recipe.samples.push_back({"s", demo::Waveform(demo::Wave::Saw, 100 + 20 * i)});
    return demo::BuildMod(recipe);
}

Bytes SmallMmd(const std::string& signature = "MMD0") {
    demo::MmdRecipe recipe;
    recipe.signature = signature;
    recipe.instruments = {{false, 0, demo::Waveform(demo::Wave::Sine, 64), {}}};
    return demo::BuildMmd(recipe);
}

TEST(ExtractionRun, RefusesWithoutDestinationOrSelection) {
    TempDir dir;
    dir.Write("a.mod", SmallMod());
    {
        RunHarness h;
        h.recorder.panels[0] = "Ready.";
        // No destination wins over no selection.
        EXPECT_EQ(h.Run(ListOf(dir.path(), {"a.mod"}, {"none"}), ""), RunOutcome::NoDestination);
        EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"No destination directory selected."});
        EXPECT_EQ(h.recorder.statusLog, std::vector<std::string>{"2:Samples saved: 0"});
        EXPECT_EQ(h.recorder.panels[0], "Ready.");
    }
    {
        RunHarness h;
        h.state.SamplesSaved = 7;
        EXPECT_EQ(h.Run(ListOf(dir.path(), {"a.mod"}, {"none"}), dir.path()), RunOutcome::NoSelection);
        EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"No source modules selected."});
        EXPECT_EQ(h.recorder.statusLog, std::vector<std::string>{"2:Samples saved: 7"});
        EXPECT_TRUE(h.files.measured.empty());
    }
}

TEST(ExtractionRun, ReportsStatusAndMessagesInOrder) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", SmallMod(2));
    src.Write("b.txt", Bytes(2000, 'x'));
    src.Write("c.med", SmallMmd());
    src.Write("skipped.mod", SmallMod(3));
    RunHarness h;
    h.state.ModsProcessed = 5;
    const auto list = ListOf(src.path(), {"a.mod", "b.txt", "c.med", "skipped.mod"},
                             {"a.mod", "b.txt", "c.med"});
    EXPECT_EQ(h.Run(list, out.path()), RunOutcome::Completed);

    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Unrecognised file format: " + src / "b.txt"});
    const std::vector<std::string> expected = {
        "0:Reading filenames...",
        "0:Loading:" + src / "a.mod",
        "0:Processing...",
        "1:Mods Processed: 6",
        "0:Loading:" + src / "b.txt",
        "1:Mods Processed: 6",
        "0:Loading:" + src / "c.med",
        "0:Processing...",
        "1:Mods Processed: 7",
        "0:Vorneck completed.",
        "2:Samples saved: 3",
    };
    EXPECT_EQ(h.recorder.statusLog, expected);
    EXPECT_EQ(testing::FilesIn(out.path()),
              (std::vector<std::string>{"0_a.mod", "0_c.med", "1_a.mod"}));
    // Unselected entries are neither measured nor read.
    EXPECT_EQ(h.files.measured.size(), 3u);
    EXPECT_EQ(h.state.ModuleImage, nullptr);
}

TEST(ExtractionRun, CountersAndOptionsCarryAcrossRuns) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", SmallMod(2));
    RunHarness h;
    const auto list = ListOf(src.path(), {"a.mod"});
    h.Run(list, out.path(), /*perModule=*/true);
    EXPECT_TRUE(std::filesystem::is_regular_file(out / "a.mod/0_a.mod"));
    // Unchecking the option makes the next run write straight into the destination.
    h.Run(list, out.path(), /*perModule=*/false);
    EXPECT_TRUE(std::filesystem::is_regular_file(out / "0_a.mod"));
    EXPECT_EQ(h.recorder.panels[1], "Mods Processed: 2");
    EXPECT_EQ(h.recorder.panels[2], "Samples saved: 4");
    EXPECT_TRUE(h.recorder.errors.empty());
}

TEST(ExtractionRun, EmptyFilesGiveNoBuffer) {
    TempDir src;
    src.Write("empty1", {});
    src.Write("empty2", {});
    RunHarness h;
    EXPECT_EQ(h.Run(ListOf(src.path(), {"empty1", "empty2"}), src.path()), RunOutcome::NoMemory);
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Unable to allocate memory."});
    EXPECT_EQ(h.recorder.panels[0], "Reading filenames...");
    EXPECT_EQ(h.recorder.panels[2], "Samples saved: 0");
}

TEST(ExtractionRun, AnEmptyFileAmongModulesIsUnrecognised) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", SmallMod(1));
    src.Write("empty", {});
    RunHarness h;
    h.Run(ListOf(src.path(), {"a.mod", "empty"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Unrecognised file format: " + src / "empty"});
    EXPECT_EQ(h.state.ModsProcessed, 1);
}

TEST(ExtractionRun, UnmeasurableFilesAreReportedAndSkipped) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", SmallMod(2));
    src.Write("b.mod", SmallMod(2));
    ASSERT_EQ(::mkfifo((src / "fifo.mod").c_str(), 0644), 0);
    src.Mkdir("sub.mod");
    RunHarness h;
    // The first run measures b.mod; the second cannot, and must not load it
    // with the size the first run found.
    const auto list = ListOf(src.path(), {"a.mod", "b.mod", "fifo.mod", "missing.mod", "sub.mod"});
    h.Run(list, out.path());
    h.recorder.errors.clear();
    h.files.read.clear();
    h.files.failMeasure = [&](const std::string& p) { return p == src / "b.mod"; };
    h.Run(list, out.path());
    const std::vector<std::string> expected = {
        "Unable to open: " + src / "b.mod",
        "Unable to open: " + src / "fifo.mod",
        "Unable to open: " + src / "missing.mod",
        "Unable to open: " + src / "sub.mod",
    };
    EXPECT_EQ(h.recorder.errors, expected);
    EXPECT_EQ(h.files.read, std::vector<std::string>{src / "a.mod"});
    EXPECT_EQ(h.recorder.panels[0], "Vorneck completed.");
}

TEST(ExtractionRun, OpensModulesForReadingOnly) {
    // A running program cannot be opened for writing, not even by root
    // (ETXTBSY): the test program itself stands in for a read-only module.
    char self[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::filesystem::path exe(self);
    TempDir out;
    RunHarness h;
    h.Run(ListOf(exe.parent_path().string(), {exe.filename().string()}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Unrecognised file format: " + exe.string()});
}

TEST(ExtractionRun, FailedLoadsAreNotExamined) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", SmallMod(2));
    src.Write("b.mod", SmallMod(2));
    RunHarness h;
    h.files.shortRead = [&](const std::string& p) { return p == src / "a.mod"; };
    h.files.failRead = [&](const std::string& p) { return p == src / "b.mod"; };
    h.Run(ListOf(src.path(), {"a.mod", "b.mod"}), out.path());
    EXPECT_EQ(h.recorder.errors, (std::vector<std::string>{"Read() failed.", "Read() failed."}));
    EXPECT_EQ(h.state.ModsProcessed, 0);
    EXPECT_TRUE(testing::FilesIn(out.path()).empty());
    EXPECT_EQ(h.recorder.panels[0], "Vorneck completed.");
}

TEST(ExtractionRun, OnlyTheCurrentFilesBytesAreExamined) {
    TempDir src;
    TempDir out;
    // A large module first leaves its signature in the image; the short files
    // after it must not be taken for modules.
    src.Write("1-big.mod", SmallMod(2));
    src.Write("2-short", Bytes(1083, 0));
    src.Write("3-tiny", Bytes{'M', 'M', 'D'});
    RunHarness h;
    h.Run(ListOf(src.path(), {"1-big.mod", "2-short", "3-tiny"}), out.path());
    const std::vector<std::string> expected = {
        "Unrecognised file format: " + src / "2-short",
        "Unrecognised file format: " + src / "3-tiny",
    };
    EXPECT_EQ(h.recorder.errors, expected);
    EXPECT_EQ(h.state.ModsProcessed, 1);
}

TEST(DetectModuleKind, SignaturesAnyCaseAndPrecedence) {
    auto withSignatures = [](const char* at0, const char* at1080) {
        Bytes b(1084, 0);
        if (at0) std::copy(at0, at0 + 4, b.begin());
        if (at1080) std::copy(at1080, at1080 + 4, b.begin() + 1080);
        return b;
    };
    for (const char* sig : {"M.K.", "M!K!", "FLT4", "m.k.", "m!k!", "flt4", "Flt4"})
        EXPECT_EQ(DetectModuleKind(withSignatures(nullptr, sig)), ModuleKind::FourChannel) << sig;
    for (const char* sig : {"MMD0", "MMD1", "MMD2", "MMD3", "mmd0", "mMd3"})
        EXPECT_EQ(DetectModuleKind(withSignatures(sig, nullptr)), ModuleKind::Mmd) << sig;
    for (const char* sig : {"MMD4", "M.K ", "FLT8", "M.k!", "MMDx"}) {
        EXPECT_EQ(DetectModuleKind(withSignatures(sig, nullptr)), ModuleKind::None) << sig;
        EXPECT_EQ(DetectModuleKind(withSignatures(nullptr, sig)), ModuleKind::None) << sig;
    }
    EXPECT_EQ(DetectModuleKind(withSignatures("MMD0", "M.K.")), ModuleKind::FourChannel);
    // Short files: only the bytes they have count.
    const Bytes mk = withSignatures(nullptr, "M.K.");
    EXPECT_EQ(DetectModuleKind(std::span(mk).first(1083)), ModuleKind::None);
    const Bytes mmd{'M', 'M', 'D', '0'};
    EXPECT_EQ(DetectModuleKind(mmd), ModuleKind::Mmd);
    EXPECT_EQ(DetectModuleKind(std::span(mmd).first(3)), ModuleKind::None);
    EXPECT_EQ(DetectModuleKind({}), ModuleKind::None);
}

TEST(ExtractionRun, ModuleNamesAndPaths) {
    ExtractionState state;
    SetModuleName(state, "SONG.MOD");
    EXPECT_EQ(state.ModuleName, "SONG.MOD");
    SetModuleName(state, "some/dir/song.mod");
    EXPECT_EQ(state.ModuleName, "song.mod");
    // A backslash is an ordinary character of a Linux file name.
    SetModuleName(state, "a\\b.mod");
    EXPECT_EQ(state.ModuleName, "a\\b.mod");
    const std::string longName(300, 'n');
    SetModuleName(state, longName);
    EXPECT_EQ(state.ModuleName, longName);

    TempDir src;
    TempDir out;
    src.Write("x.mod", SmallMod(1));
    RunHarness h;
    h.Run(ListOf(src.path() + "/", {"x.mod"}), out.path());
    EXPECT_EQ(h.recorder.statusLog.at(1), "0:Loading:" + src / "x.mod");
}

TEST(ExtractionRun, DamagedModuleGetsOneMessageAndStillCounts) {
    TempDir src;
    TempDir out;
    Bytes mod = SmallMod(3);
    mod.resize(mod.size() - 100);  // cuts 100 of the last sample's 140 bytes
    src.Write("cut.mod", mod);
    RunHarness h;
    h.Run(ListOf(src.path(), {"cut.mod"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Module is truncated or damaged: " + src / "cut.mod"});
    EXPECT_EQ(h.state.ModsProcessed, 1);
    EXPECT_EQ(testing::FilesIn(out.path()).size(), 3u);
    EXPECT_EQ(testing::ReadAll(out / "2_cut.mod").size(), 40u);
}

TEST(ExtractionRun, AStopEndsTheRunAfterTheCurrentModule) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", SmallMod(2));
    src.Write("b.mod", SmallMod(2));
    src.Write("c.med", SmallMmd());
    const auto list = ListOf(src.path(), {"a.mod", "b.mod", "c.med"});
    RunHarness h;
    h.recorder.onEntryDone = [&](std::uint64_t done, std::uint64_t) {
        if (done == 1) h.state.StopRequested = true;
    };
    EXPECT_EQ(h.Run(list, out.path()), RunOutcome::Completed);
    // The modules after the stop are not opened; only the one the run was
    // reading ahead while it wrote a's samples may have been.
    ASSERT_FALSE(h.files.read.empty());
    EXPECT_EQ(h.files.read.front(), src / "a.mod");
    EXPECT_LE(h.files.read.size(), 2u);
    EXPECT_EQ(std::count(h.files.read.begin(), h.files.read.end(), src / "c.med"), 0);
    EXPECT_EQ(testing::FilesIn(out.path()), (std::vector<std::string>{"0_a.mod", "1_a.mod"}));
    EXPECT_EQ(h.state.ModsProcessed, 1);

    // The stop belongs to that run: the next one goes through every module.
    h.recorder.onEntryDone = nullptr;
    h.files.read.clear();
    h.Run(list, out.path());
    EXPECT_EQ(h.files.read.size(), 3u);
    EXPECT_EQ(h.state.ModsProcessed, 4);
}

}  // namespace
}  // namespace vorneck
