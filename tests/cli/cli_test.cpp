// SPDX-License-Identifier: MIT
// vorneck-cli as a user meets it: up-front checks, messages and exit
// statuses, the dry run against the real run, escaping, and its streams.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <filesystem>
#include <set>

#include "cli/cli_app.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::CliResult;
using testing::CliSpawn;
using testing::FilesIn;
using testing::Lines;
using testing::ReadAll;
using testing::RunBinary;
using testing::RunInProcess;
using testing::TempDir;

Bytes Mod(std::size_t samples, const std::string& signature = "M.K.") {
    demo::ModRecipe recipe;
    recipe.signature = signature;
    for (std::size_t i = 0; i < samples; ++i) recipe.samples.push_back({"", Bytes(10 + i, 1)});
    return demo::BuildMod(recipe);
}

TEST(CliChecks, TheDestinationIsCheckedFirst) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", Mod(2));
    const auto file = out.Write("file", Bytes(1, 1));
    for (const auto& [dest, reason] : {std::pair{out / "missing", "No such file or directory"},
                                       std::pair{file, "Not a directory"}}) {
        const CliResult r = RunBinary({"-o", dest, src.path()});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "vorneck-cli: " + dest + ": " + reason + "\n");
        EXPECT_EQ(r.out, "");
    }
    // The dry run checks the same.
    EXPECT_EQ(RunBinary({"-n", "-o", out / "missing", src.path()}).status, 2);

    // A read-only destination: a read-only mount where the test may make one
    // (root may write into any directory of a writable file system).
    const std::string readOnly = out.Mkdir("ro");
    const bool root = ::geteuid() == 0;
    if (root && ::mount("none", readOnly.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0) {
        GTEST_SKIP() << "no read-only directory to try";
    }
    if (!root) ::chmod(readOnly.c_str(), 0555);
    const CliResult r = RunBinary({"-o", readOnly, src.path()});
    if (root) ::umount(readOnly.c_str());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vorneck-cli: " + readOnly + ": " + (root ? "Read-only file system" : "Permission denied") + "\n");
}

TEST(CliChecks, UsageErrorsPrintNothingOnStandardOutput) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", Mod(1));
    const std::vector<std::vector<std::string>> usages = {
        {src.path()},                                   // no destination
        {"-o", out.path()},                             // no source
        {"--frobnicate", "-o", out.path(), src.path()},  // unknown option
        {"-p", "", "-o", out.path(), src / "a.mod"},     // empty pattern, with a file source only
        {"-0", "-o", out.path(), src.path()},           // -0 without -n
    };
    for (const auto& args : usages) {
        const CliResult r = RunBinary(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_FALSE(r.err.empty()) << args[0];
    }
    EXPECT_TRUE(FilesIn(out.path()).empty());

    const CliResult version = RunBinary({"-V"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("vorneck-cli ", 0), 0u);
    const CliResult help = RunBinary({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: vorneck-cli [OPTIONS] -o DIR SOURCE...\n"), std::string::npos);
    EXPECT_NE(help.out.find("-p,--pattern PATTERN"), std::string::npos);
    EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
}

TEST(CliChecks, SourcesNamedOnTheCommandLine) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", Mod(2));
    src.Write("notes.txt", Bytes(50, 'x'));
    ASSERT_EQ(::mkfifo((src / "fifo").c_str(), 0644), 0);
    const CliResult r = RunBinary(
        {"-o", out.path(), src / "missing.mod", src / "a.mod", src / "fifo", src / "notes.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err), (std::vector<std::string>{
                                "Unable to open: " + src / "missing.mod" + " (No such file or directory)",
                                "Unable to open: " + src / "fifo" + " (not a regular file)",
                                "Unrecognised file format: " + src / "notes.txt",
                            }));
    // The rest still ran.
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_a.mod", "1_a.mod"}));
    EXPECT_EQ(r.out, "Vorneck completed.\nMods Processed: 1\nSamples saved: 2\n");

    // A missing source alone is one message, not a misleading second one.
    const CliResult alone = RunBinary({"-o", out.path(), src / "missing.mod"});
    EXPECT_EQ(alone.status, 1);
    EXPECT_EQ(Lines(alone.err).size(), 1u);
    // Empty files are files of no known format.
    src.Write("empty.mod", {});
    const CliResult empty = RunBinary({"-o", out.path(), src / "empty.mod"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "Unrecognised file format: " + src / "empty.mod" + "\n");
}

TEST(CliExitStatus, WhatCountsAsAFailure) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", Mod(2));
    src.Write("readme.txt", Bytes(30, 'r'));
    src.Write("six.mod", Mod(2, "6CHN"));
    // Files of other formats found in a directory are said, but the run did
    // everything it was asked for.
    CliResult r = RunBinary({"-m", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.err), (std::vector<std::string>{"Unrecognised file format: " + src / "readme.txt",
                                                      "Unrecognised file format: " + src / "six.mod"}));
    // Running again into the same destination uses the existing folders.
    r = RunBinary({"-m", "-q", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");

    // A damaged module, and an instrument of an unknown type, are failures
    // named after their module.
    Bytes cut = Mod(2);
    cut.resize(cut.size() - 5);
    src.Write("cut.mod", cut);
    demo::MmdRecipe recipe;
    recipe.instruments = {{false, 0, Bytes(20, 3), {}}, {false, 16, Bytes(20, 4), {}}};
    src.Write("wide.med", demo::BuildMmd(recipe));
    r = RunBinary({"-q", "-o", out.path(), src / "cut.mod", src / "wide.med"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err), (std::vector<std::string>{"Module is truncated or damaged: " + src / "cut.mod",
                                                      src / "wide.med" + ": Unknown instrument type found."}));
}

TEST(CliMessages, FailuresSayWhy) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", Mod(2));
    out.Mkdir("0_a.mod");  // a directory where a sample goes
    const CliResult r = RunBinary({"-q", "-o", out.path(), src / "a.mod"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err), (std::vector<std::string>{
                                "Failed to create: " + out / "0_a.mod" + " (Is a directory)",
                                "Failed to create: " + out / "0_a.mod" + " (Is a directory)",
                            }));
    // Two sources with one name: the second module's samples are refused,
    // and the reason is the run's own.
    TempDir other;
    other.Write("a.mod", Mod(3));
    TempDir out2;
    const CliResult twice = RunBinary({"-q", "-o", out2.path(), src / "a.mod", other / "a.mod"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(Lines(twice.err)[0], "Failed to create: " + out2 / "0_a.mod" + " (written earlier in this run)");
    EXPECT_EQ(ReadAll(out2 / "2_a.mod"), Bytes(12, 1));
}

// Sorted lines of a dry run's records: the paths it plans.
std::set<std::string> PlannedPaths(const std::string& records, char end) {
    std::set<std::string> paths;
    std::size_t start = 0;
    while (start < records.size()) {
        const std::size_t stop = records.find(end, start);
        const std::string record = records.substr(start, stop - start);
        paths.insert(record.substr(0, record.rfind('\t', record.rfind('\t') - 1)));
        if (stop == std::string::npos) break;
        start = stop + 1;
    }
    return paths;
}

// Every name in a tree, with the inode it names.
std::map<std::string, ino_t> Inodes(const std::string& directory) {
    std::map<std::string, ino_t> inodes;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        inodes[entry.path().string()] = st.st_ino;
    }
    return inodes;
}

// The regular files of a tree that are new, or replace what was there.
std::set<std::string> WrittenFiles(const std::string& directory, const std::map<std::string, ino_t>& before) {
    std::set<std::string> files;
    for (const auto& [path, inode] : Inodes(directory)) {
        const auto it = before.find(path);
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path)) &&
            (it == before.end() || it->second != inode))
            files.insert(path);
    }
    return files;
}

// Runs the dry run and then the real run with `args`, and checks that the
// plan names exactly the files the run writes, with the same messages and
// exit status.
void ExpectPlanIsRun(std::vector<std::string> args, const std::string& dest, std::size_t modules,
                     std::size_t expectedFiles) {
    const auto before = Inodes(dest);
    std::vector<std::string> dry = args;
    dry.insert(dry.begin(), {"-n", "-0"});
    const CliResult plan = RunBinary(dry);
    const CliResult run = RunBinary(args);
    EXPECT_EQ(plan.status, run.status);
    EXPECT_EQ(plan.status, 1);
    auto planErr = Lines(plan.err);
    ASSERT_GE(planErr.size(), 2u);
    const auto planned = PlannedPaths(plan.out, '\0');
    EXPECT_EQ(planErr[planErr.size() - 2], "Mods to process: " + std::to_string(modules));
    EXPECT_EQ(planErr.back(), "Samples to save: " + std::to_string(planned.size()));
    planErr.resize(planErr.size() - 2);
    EXPECT_EQ(planErr, Lines(run.err));
    EXPECT_EQ(planned, WrittenFiles(dest, before));
    EXPECT_EQ(planned.size(), expectedFiles);
}

TEST(CliDryRun, ThePlanIsWhatTheRunWrites) {
    // Every trap at once: a name at the length limit, a FIFO and a link
    // where samples go, two modules of one name, and (the destination being
    // the source) a module named like another's output.
    TempDir dir;
    TempDir other;
    TempDir elsewhere;
    const std::string longName = std::string(250, 'l') + ".mod";
    dir.Write(longName, Mod(12));
    dir.Write("x.mod", Mod(3));
    dir.Write("0_x.mod", Mod(2));
    other.Write("x.mod", Mod(4));
    other.Write("y.mod", Mod(2));
    ASSERT_EQ(::mkfifo((dir / "1_y.mod").c_str(), 0644), 0);
    std::filesystem::create_symlink(elsewhere / "target", dir / "2_x.mod");
    ExpectPlanIsRun({"-o", dir.path(), dir / longName, dir / "x.mod", dir / "0_x.mod", other / "x.mod", other / "y.mod"},
                    dir.path(), 5, 12 + 2 + 2 + 1 + 1);
    EXPECT_TRUE(FilesIn(elsewhere.path()).empty());

    // Per-module directories: one that is a link, one that exists with a
    // FIFO and a link inside, one to be made with a name at the limit.
    TempDir dest;
    dest.Mkdir("x.mod");
    ASSERT_EQ(::mkfifo((dest / "x.mod/1_x.mod").c_str(), 0644), 0);
    std::filesystem::create_symlink(elsewhere / "target", dest / "x.mod/0_x.mod");
    std::filesystem::create_directory_symlink(elsewhere.path(), dest / "y.mod");
    ExpectPlanIsRun({"-m", "-o", dest.path(), dir / longName, dir / "x.mod", other / "x.mod", other / "y.mod"},
                    dest.path(), 4, 12 + 1);
    EXPECT_TRUE(FilesIn(elsewhere.path()).empty());
}

TEST(CliDryRun, RecordsAreEscapedOrNulTerminated) {
    TempDir src;
    TempDir out;
    const std::string awkward = "tab\there\nnew\x1b[2Kline.mod";
    src.Write(awkward, Mod(1));
    CliResult r = RunBinary({"-n", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0);
    const std::string start = std::to_string(1084 + 1024);
    EXPECT_EQ(r.out, out / "0_tab\\there\\nnew\\x1b[2Kline.mod\t" + start + "\t10\n");
    EXPECT_EQ(r.err, "Mods to process: 1\nSamples to save: 1\n");

    r = RunBinary({"-n", "-0", "-q", "-o", out.path(), src.path()});
    EXPECT_EQ(r.out, out / ("0_" + awkward) + "\t" + start + "\t10" + std::string(1, '\0'));
    EXPECT_EQ(r.err, "");

    // Messages escape names too.
    const std::string evil = "x\x1b[1A\x1b[2Kfake.txt";
    const auto path = src.Write(evil, Bytes(5, 'e'));
    r = RunBinary({"-q", "-o", out.path(), path});
    EXPECT_EQ(r.err, "Unrecognised file format: " + src / "x\\x1b[1A\\x1b[2Kfake.txt\n");
    EXPECT_TRUE(FilesIn(out.path()).empty());
}

TEST(CliStreams, OutputErrorsAreNotIgnored) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", Mod(3));
    CliSpawn full{{"-n", "-o", out.path(), src.path()}};
    full.stdoutPath = "/dev/full";
    CliResult r = RunBinary(full);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("vorneck-cli: standard output: No space left on device"), std::string::npos);

    // A reader that went away: by default the signal ends the program
    // quietly; with the signal ignored, the failed write is an error.
    CliSpawn closed{{"-n", "-o", out.path(), src.path()}};
    closed.closeStdout = true;
    r = RunBinary(closed);
    EXPECT_EQ(r.signal, SIGPIPE);
    EXPECT_EQ(r.err, "");
    closed.ignoreSigpipe = true;
    r = RunBinary(closed);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("vorneck-cli: standard output: Broken pipe"), std::string::npos);
}

TEST(CliStreams, ProgressNeverEntersTheRecords) {
    TempDir src;
    TempDir out;
    for (int i = 0; i < 40; ++i) src.Write("m" + std::to_string(i) + ".mod", Mod(2));
    // Progress shows from the first module on, on a terminal that also
    // receives the records: each record still stands on a line of its own.
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    std::string shown;
    const auto drain = [&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, n);
    };
    const std::vector<std::string> args = {"vorneck-cli", "-n", "-o", out.path(), src.path()};
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    int status = 0;
    {
        CliIo io(slave, slave, true, std::chrono::milliseconds(0));
        CliHooks hooks;
        hooks.entryDone = [&](std::uint64_t) { drain(); };
        status = RunCli(static_cast<int>(argv.size()), argv.data(), io, hooks);
    }
    drain();
    ::close(slave);
    ::close(master);
    EXPECT_EQ(status, 0);
    EXPECT_NE(shown.find(" of 40 modules"), std::string::npos);
    int records = 0;
    for (const auto& line : Lines(shown)) {
        const auto at = line.find(out.path());
        if (at == std::string::npos) continue;
        ++records;
        // Whatever progress there was is cleared before the record.
        EXPECT_TRUE(at == 0 || line.substr(0, at).find("\033[K") != std::string::npos) << line;
        EXPECT_EQ(line.find("modules", at), std::string::npos) << line;
    }
    EXPECT_EQ(records, 80);

    // On a terminal as standard error, progress stays there.
    CliSpawn spawn{{"-n", "-o", out.path(), src.path()}};
    spawn.stderrOnTerminal = true;
    const CliResult r = RunBinary(spawn);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out).size(), 80u);
    for (const auto& line : Lines(r.out)) EXPECT_EQ(line.rfind(out.path(), 0), 0u) << line;
}

TEST(CliRun, ADestinationThatGoesAwayStopsTheRun) {
    TempDir src;
    TempDir base;
    for (int i = 0; i < 5; ++i) src.Write("m" + std::to_string(i) + ".mod", Mod(3));
    const std::string dest = base.Mkdir("out");
    const std::vector<std::string> args = {"vorneck-cli", "-o", dest, src.path()};
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    const int err = ::memfd_create("err", 0);
    const int out = ::memfd_create("out", 0);
    int status = 0;
    {
        CliIo io(out, err, false);
        CliHooks hooks;
        hooks.entryDone = [&](std::uint64_t done) {
            if (done == 2) std::filesystem::remove_all(dest);
        };
        status = RunCli(static_cast<int>(argv.size()), argv.data(), io, hooks);
    }
    std::string text(4096, '\0');
    text.resize(static_cast<std::size_t>(::pread(err, text.data(), text.size(), 0)));
    ::close(err);
    ::close(out);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(text, "vorneck-cli: " + dest + ": No such file or directory\n");
}

TEST(CliRun, InProcessMatchesTheBinary) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", Mod(2));
    src.Write("b.txt", Bytes(9, 'b'));
    const CliResult here = RunInProcess({"-o", out.path(), src.path()});
    const CliResult there = RunBinary({"-o", out.path(), src.path()});
    EXPECT_EQ(here.status, there.status);
    EXPECT_EQ(here.out, there.out);
    EXPECT_EQ(here.err, there.err);
}

TEST(CliExitStatus, NothingSelectedIsAUsageError) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", Mod(1));
    // A pattern that matches no file of the folder: the run does not start,
    // as the window refuses a run with nothing selected.
    const CliResult r = RunBinary({"-p", "*.xm", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "No source modules selected.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(FilesIn(out.path()).empty());
}

TEST(CliSources, PatternsIgnoreLetterCaseUnlessAsked) {
    TempDir src;
    src.Write("LOUD.MOD", Mod(1));
    src.Write("quiet.mod", Mod(1));
    TempDir any;
    EXPECT_EQ(RunBinary({"-q", "-p", "*.mod", "-o", any.path(), src.path()}).status, 0);
    EXPECT_EQ(FilesIn(any.path()), (std::vector<std::string>{"0_LOUD.MOD", "0_quiet.mod"}));
    TempDir exact;
    EXPECT_EQ(RunBinary({"-q", "-c", "-p", "*.mod", "-o", exact.path(), src.path()}).status, 0);
    EXPECT_EQ(FilesIn(exact.path()), std::vector<std::string>{"0_quiet.mod"});
    TempDir upper;
    EXPECT_EQ(RunBinary({"-q", "--match-case", "-p", "*.MOD", "-o", upper.path(), src.path()}).status, 0);
    EXPECT_EQ(FilesIn(upper.path()), std::vector<std::string>{"0_LOUD.MOD"});
}

TEST(CliSources, AFolderNamedTwiceIsTakenOnce) {
    TempDir src;
    src.Write("a.mod", Mod(2));
    src.Write("sub/b.mod", Mod(1));
    // The same folder spelled two ways.
    TempDir out;
    CliResult r = RunBinary({"-o", out.path(), src.path(), src.path() + "/"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Vorneck completed.\nMods Processed: 1\nSamples saved: 2\n");
    // A folder that a recursive walk of another one reaches anyway.
    TempDir tree;
    r = RunBinary({"-r", "-o", tree.path(), src.path(), src / "sub"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Vorneck completed.\nMods Processed: 2\nSamples saved: 3\n");
    EXPECT_EQ(FilesIn(tree.path()), (std::vector<std::string>{"0_a.mod", "1_a.mod", "sub/", "sub/0_b.mod"}));
}

// Runs vorneck-cli with `signal` ignored or not, sends that signal once the
// first records arrive (the program is then still printing: its records are
// more than a pipe holds), and reads on to the end.
CliResult SignalledWhilePrinting(const std::vector<std::string>& args, int signal, bool ignored) {
    CliResult result;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return result;
    const int err = ::memfd_create("err", MFD_CLOEXEC);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::signal(signal, ignored ? SIG_IGN : SIG_DFL);
        std::vector<std::string> all = args;
        all.insert(all.begin(), VORNECK_CLI_PATH);
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(VORNECK_CLI_PATH, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    bool sent = false;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        result.out.append(buffer, static_cast<std::size_t>(n));
        if (!sent) sent = ::kill(child, signal) == 0;
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.err.resize(4096);
    const ssize_t n = ::pread(err, result.err.data(), result.err.size(), 0);
    result.err.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    ::close(err);
    return result;
}

TEST(CliStreams, SignalsTheCallerIgnoresStayIgnored) {
    TempDir src;
    TempDir out;
    for (int i = 0; i < 40; ++i) src.Write("m" + std::to_string(i) + ".mod", Mod(31));
    // Long names make the records far more than a pipe holds.
    const std::vector<std::string> args = {"-n", "--name", "{stem}-{slot}-" + std::string(150, 'x'), "-o",
                                           out.path(), src.path()};
    for (const int signal : {SIGHUP, SIGINT, SIGTERM}) {
        // By default the signal ends the program, as it ends any other.
        const CliResult plain = SignalledWhilePrinting(args, signal, false);
        EXPECT_EQ(plain.signal, signal);
        // Started with it ignored (nohup, a background job of a script), the
        // program does not die of it: the run completes.
        const CliResult ignored = SignalledWhilePrinting(args, signal, true);
        EXPECT_EQ(ignored.signal, 0) << strsignal(signal);
        EXPECT_EQ(ignored.status, 0) << strsignal(signal);
        EXPECT_EQ(Lines(ignored.out).size(), 40u * 31u) << strsignal(signal);
        EXPECT_EQ(ignored.err, "Mods to process: 40\nSamples to save: 1240\n") << strsignal(signal);
    }
}

}  // namespace
}  // namespace vorneck
