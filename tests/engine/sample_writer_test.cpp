// SPDX-License-Identifier: MIT
// Output names and places, per-module directories, and failures of the writer.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/sample_writer.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::FilesIn;
using testing::ListOf;
using testing::ModWith;
using testing::RunHarness;
using testing::TempDir;

TEST(SampleWriter, Prefixes) {
    EXPECT_EQ(SamplePrefix(0), "0_");
    EXPECT_EQ(SamplePrefix(12), "12_");
    EXPECT_EQ(SamplePrefix(999), "999_");
    EXPECT_EQ(SamplePrefix(1000), "1000");
}

TEST(SampleWriter, NamesAndPlaces) {
    TempDir src;
    TempDir out;
    src.Write("SONG.MOD", ModWith({100, 0, 50}));
    RunHarness h;
    const auto list = ListOf(src.path(), {"SONG.MOD"});
    // A destination ending with "/" gets no second one.
    h.Run(list, out.path() + "/");
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_SONG.MOD", "1_SONG.MOD"}));
    EXPECT_EQ(h.recorder.written[0].path, out / "0_SONG.MOD");
    EXPECT_EQ(testing::ReadAll(out / "1_SONG.MOD"), Bytes(50, 3));

    // Per-module directories: made at the first sample; a second run reports
    // the existing directory once and replaces the files.
    TempDir out2;
    h.Run(list, out2.path(), true);
    h.Run(list, out2.path(), true);
    EXPECT_EQ(FilesIn(out2.path()),
              (std::vector<std::string>{"SONG.MOD/", "SONG.MOD/0_SONG.MOD", "SONG.MOD/1_SONG.MOD"}));
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Unable to create directory: " + out2 / "SONG.MOD"});
}

TEST(SampleWriter, ModulesWithoutSamplesMakeNoDirectory) {
    TempDir src;
    TempDir out;
    src.Write("silent.mod", ModWith({0, 0}));
    src.Write("late.mod", ModWith({0, 0, 10}));
    RunHarness h;
    h.Run(ListOf(src.path(), {"late.mod", "silent.mod"}), out.path(), true);
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"late.mod/", "late.mod/0_late.mod"}));
}

TEST(SampleWriter, LongPathsAndNames) {
    TempDir src;
    TempDir out;
    const std::string name = std::string(200, 'm') + ".mod";
    src.Write(name, ModWith({20, 30}));
    const std::string dest = out.Mkdir(std::string(120, 'd') + "/" + std::string(120, 'e'));
    RunHarness h;
    h.Run(ListOf(src.path(), {name}), dest, true);
    EXPECT_TRUE(h.recorder.errors.empty());
    EXPECT_EQ(testing::ReadAll(dest + "/" + name + "/1_" + name), Bytes(30, 2));

    // A module name too long for an output name is shortened at the end, so
    // that every sample is still written and the numbers keep the names apart.
    const std::string tooLong = std::string(250, 'x') + ".mod";
    src.Write(tooLong, ModWith(std::vector<std::size_t>(12, 8)));
    RunHarness h2;
    h2.Run(ListOf(src.path(), {tooLong}), dest);
    EXPECT_TRUE(h2.recorder.errors.empty());
    EXPECT_EQ(h2.state.SamplesSaved, 12);
    EXPECT_TRUE(std::filesystem::exists(dest + "/0_" + tooLong.substr(0, 253)));
    EXPECT_TRUE(std::filesystem::exists(dest + "/11_" + tooLong.substr(0, 252)));
}

TEST(SampleWriter, FailedCreationsUseNoNumber) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", ModWith({10, 20, 30}));
    RunHarness h;
    int creates = 0;
    h.files.failCreate = [&](const std::string&) { return ++creates == 1; };
    h.Run(ListOf(src.path(), {"a.mod"}), out.path(), true);
    // The first file fails; the next sample is number 0 again, so the
    // directory step runs again and finds its directory there.
    const std::vector<std::string> expected = {
        "Failed to create: " + out / "a.mod/0_a.mod",
        "Unable to create directory: " + out / "a.mod",
    };
    EXPECT_EQ(h.recorder.errors, expected);
    EXPECT_EQ(testing::ReadAll(out / "a.mod/0_a.mod"), Bytes(20, 2));
    EXPECT_EQ(testing::ReadAll(out / "a.mod/1_a.mod"), Bytes(30, 3));
    EXPECT_EQ(h.state.SamplesSaved, 2);
}

TEST(SampleWriter, MissingDestinationAndDirectoryFailures) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", ModWith({10}));
    RunHarness h;
    h.Run(ListOf(src.path(), {"a.mod"}), out / "nope");
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Failed to create: " + out / "nope/0_a.mod"});

    RunHarness h2;
    h2.files.failCreateDirectory = [](const std::string&) { return true; };
    h2.Run(ListOf(src.path(), {"a.mod"}), out.path(), true);
    const std::vector<std::string> expected = {
        "Unable to create directory: " + out / "a.mod",
        "Failed to create: " + out / "a.mod/0_a.mod",
    };
    EXPECT_EQ(h2.recorder.errors, expected);
    EXPECT_EQ(h2.state.SamplesSaved, 0);
}

TEST(SampleWriter, FailedWritesAreReportedRemovedAndNotCounted) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", ModWith({10, 20}));
    RunHarness h;
    int writes = 0;
    h.files.failWrite = [&](const std::string&) { return ++writes == 1; };
    h.Run(ListOf(src.path(), {"a.mod"}), out.path());
    EXPECT_EQ(h.recorder.errors, std::vector<std::string>{"Failed to write (disk full?): " + out / "0_a.mod"});
    // The failed sample used no number: the next one is written as 0.
    EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"0_a.mod"});
    EXPECT_EQ(testing::ReadAll(out / "0_a.mod"), Bytes(20, 2));
    EXPECT_EQ(h.state.SamplesSaved, 1);
}

}  // namespace
}  // namespace vorneck
