// vorneck-cli: its output, exit status and options, run in-process.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_app.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::FilesIn;
using testing::TempDir;

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

CliResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "vorneck-cli");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, false);
    return {status, out.str(), err.str()};
}

Bytes Mod(std::size_t samples) {
    demo::ModRecipe recipe;
    for (std::size_t i = 0; i < samples; ++i) recipe.samples.push_back({"", Bytes(10 + i, 1)});
    return demo::BuildMod(recipe);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        src.Write("b.mod", Mod(2));
        src.Write("A.MOD", Mod(1));
        src.Write("c.txt", Bytes(10, 'x'));
        src.Write(".hidden.mod", Mod(1));
    }
    TempDir src;
    TempDir out;
};

TEST_F(CliTest, DirectorySourcesInListOrder) {
    const auto r = Cli({"-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unrecognised file format: " + src / "c.txt" + "\n");
    EXPECT_EQ(r.out, "Vorneck completed.\nMods Processed: 2\nSamples saved: 3\n");
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_A.MOD", "0_b.mod", "1_b.mod"}));
}

TEST_F(CliTest, PatternAndCase) {
    auto r = Cli({"-o", out.path(), "-p", "*.mod", src.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Vorneck completed.\nMods Processed: 2\nSamples saved: 3\n");
    r = Cli({"-o", out.path(), "-c", "--pattern", "*.mod", "-q", src.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    // Only b.mod matches with case: one module.
    r = Cli({"-o", out.path(), "-c", "-p", "*.mod", src.path()});
    EXPECT_NE(r.out.find("Mods Processed: 1\n"), std::string::npos);
    // Nothing matches: nothing to process.
    r = Cli({"-o", out.path(), "-p", "*.xm", src.path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "No source modules selected.\n");
    r = Cli({"-o", out.path(), "-p", "", src.path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "You must enter a pattern before attempting to select using this pattern\n");
}

TEST_F(CliTest, FilesAreTakenAsGivenInOrder) {
    const std::string relative = std::filesystem::relative(src / "b.mod").string();
    const auto r = Cli({"--dest", out.path(), "-m", src / "A.MOD", relative, src / "missing.mod"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unable to open: " + src / "missing.mod" + "\n");
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"A.MOD/", "A.MOD/0_A.MOD", "b.mod/", "b.mod/0_b.mod",
                                                             "b.mod/1_b.mod"}));
}

TEST_F(CliTest, DryRunWritesNothing) {
    const std::string dest = out / "not-yet";
    std::filesystem::create_directory(dest);
    const auto r = Cli({"-n", "-m", "-o", dest, src / "b.mod"});
    EXPECT_EQ(r.status, 0);
    const std::string sampleStart = std::to_string(1084 + 1024);
    EXPECT_EQ(r.out, dest + "/b.mod/0_b.mod\t" + sampleStart + "\t10\n" + dest + "/b.mod/1_b.mod\t" +
                         std::to_string(1084 + 1024 + 10) + "\t12\n" +
                         "Vorneck completed.\nMods Processed: 1\nSamples saved: 2\n");
    EXPECT_TRUE(FilesIn(dest).empty());
    // A dry run into a missing destination answers as a real run would.
    const auto missing = Cli({"-n", "-o", out / "missing", src / "b.mod"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Failed to create: " + out / "missing/0_b.mod"), std::string::npos);
}

TEST_F(CliTest, UsageErrors) {
    auto r = Cli({src.path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "No destination directory selected.\n");
    r = Cli({"-o", out.path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "No source modules selected.\n");
    r = Cli({"--frobnicate", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(FilesIn(out.path()).empty());
    r = Cli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("vorneck-cli ", 0), 0u);
    r = Cli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--dir-per-module"), std::string::npos);
}

}  // namespace
}  // namespace vorneck
