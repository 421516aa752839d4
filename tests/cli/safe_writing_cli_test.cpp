// SPDX-License-Identifier: MIT
// What vorneck-cli may do to the user's files, as an attacker's module pack
// and a user's honest mistakes try it: the manifest's target, names a module
// chooses, the destination inside the source, full disks, signals, and the
// messages that say what happened.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/escape.h"
#include "engine/file_ops.h"
#include "extra_formats/module_library_testing.h"
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
using testing::TempDir;

// A module whose samples carry these names, sample i holding 10 + i bytes of i + 1.
Bytes NamedMod(const std::vector<std::string>& names) {
    demo::ModRecipe recipe;
    for (std::size_t i = 0; i < names.size(); ++i)
        recipe.samples.push_back({names[i], Bytes(10 + i, static_cast<std::uint8_t>(i + 1))});
    return demo::BuildMod(recipe);
}

bool HasTemporaryFile(const std::string& directory) {
    for (const auto& name : FilesIn(directory))
        if (std::filesystem::path(name).filename().string().rfind(kTemporaryPrefix, 0) == 0) return true;
    return false;
}

// --- The manifest goes where the user said, and never over the run's work --

TEST(CliManifestTarget, NeverReplacesASampleOfTheRun) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", NamedMod({"one", "two"}));
    CliResult r = RunBinary({"--manifest", out / "0_a.mod", "-o", out.path(), src / "a.mod"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadAll(out / "0_a.mod"), Bytes(10, 1));
    EXPECT_EQ(Lines(r.err), std::vector<std::string>{"vorneck-cli: " + out / "0_a.mod" +
                                                     ": it would replace a sample written in this run"});

    // A sample named like the manifest.
    TempDir out2;
    src.Write("b.mod", NamedMod({"list.jsonl", "two"}));
    r = RunBinary({"--name", "{name}", "--manifest", out2 / "list.jsonl", "-o", out2.path(), src / "b.mod"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadAll(out2 / "list.jsonl"), Bytes(10, 1));
}

TEST(CliManifestTarget, StreamsAreWrittenToNeverReplaced) {
    TempDir src;
    TempDir out;
    TempDir cwd;
    src.Write("a.mod", NamedMod({"one", "two"}));

    // "-": standard output carries the manifest alone; the summary goes to
    // standard error, and no file named "-" appears.
    CliSpawn dash{{"--manifest", "-", "-o", out.path(), src / "a.mod"}};
    dash.cwd = cwd.path();
    CliResult r = RunBinary(dash);
    EXPECT_EQ(r.status, 0);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& line : lines) EXPECT_EQ(nlohmann::json::parse(line)["module"], src / "a.mod");
    EXPECT_NE(r.err.find("Samples saved: 2"), std::string::npos);
    EXPECT_TRUE(FilesIn(cwd.path()).empty());
    EXPECT_EQ(RunBinary({"-n", "--manifest", "-", "-o", out.path(), src / "a.mod"}).status, 2);

    // /dev/stdout, a link to the program's standard output: followed.
    r = RunBinary({"--manifest", "/dev/stdout", "-o", out.path(), src / "a.mod"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(r.out).size(), 2u + 3u);
    struct stat st {};
    ASSERT_EQ(::lstat("/dev/stdout", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A character device and a FIFO with a reader.
    r = RunBinary({"--manifest", "/dev/null", "-o", out.path(), src / "a.mod"});
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    const std::string fifo = cwd / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        std::ifstream in(fifo);
        received.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    });
    r = RunBinary({"--manifest", fifo, "-o", out.path(), src / "a.mod"});
    reader.join();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Lines(received).size(), 2u);
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A link to a file: the file is replaced, the link stays.
    TempDir elsewhere;
    const auto real = elsewhere.Write("real.jsonl", Bytes(3, 'x'));
    std::filesystem::create_symlink(real, cwd / "link.jsonl");
    r = RunBinary({"--manifest", cwd / "link.jsonl", "-o", out.path(), src / "a.mod"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(cwd / "link.jsonl"));
    EXPECT_EQ(testing::ManifestLines(real).size(), 2u);
}

TEST(CliManifestTarget, IsCheckedBeforeTheRun) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", NamedMod({"one"}));
    const std::string file = src / "a.mod";
    for (const auto& [target, reason] :
         {std::pair{out.path(), "Is a directory"}, std::pair{out.path() + "/", "Is a directory"},
          std::pair{file + "/", "Not a directory"}, std::pair{out / "missing/m.jsonl", "No such file or directory"}}) {
        const CliResult r = RunBinary({"--manifest", target, "-o", out.path(), src / "a.mod"});
        EXPECT_EQ(r.status, 2) << target;
        EXPECT_EQ(r.err, "vorneck-cli: " + target + ": " + reason + "\n");
        EXPECT_TRUE(FilesIn(out.path()).empty()) << target;  // nothing was run
    }
}

// --- A name a module chooses never reaches a file it should not ----------

TEST(CliGeneratedNames, NeverStartWithADot) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", NamedMod({".bashrc", "..", " .profile"}));
    const auto bashrc = out.Write(".bashrc", Bytes(4, 'k'));
    const CliResult r = RunBinary({"--name", "{name}", "-o", out.path(), src / "a.mod"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(bashrc), Bytes(4, 'k'));
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{".bashrc", "_", "_bashrc", "_profile"}));
    // Any other field too: a hidden module's {module} and {stem}.
    TempDir out2;
    src.Write(".hidden.mod", NamedMod({"x"}));
    EXPECT_EQ(RunBinary({"--name", "{stem}", "-o", out2.path(), src / ".hidden.mod"}).status, 0);
    EXPECT_EQ(FilesIn(out2.path()), std::vector<std::string>{"_hidden"});
}

// --- The walk never reads the destination ---------------------------------

TEST(CliRecursive, NeverWalksIntoTheDestination) {
    TempDir src;
    src.Write("a.mod", NamedMod({"one", "two"}));
    src.Write("sub/b.mod", NamedMod({"three"}));
    const std::string dest = src.Mkdir("out");
    const std::vector<std::string> expected = {"0_a.mod", "1_a.mod", "sub/", "sub/0_b.mod"};
    for (int run = 0; run < 2; ++run) {
        const CliResult r = RunBinary({"-r", "-a", "-o", dest, src.path()});
        EXPECT_EQ(r.status, 0) << run;
        EXPECT_EQ(r.err, "") << run;
        EXPECT_EQ(r.out, "Vorneck completed.\nMods Processed: 2\nSamples saved: 3\n") << run;
        EXPECT_EQ(FilesIn(dest), expected);
    }
}

// --- A full disk, a file size limit, signals -------------------------------

TEST(CliStops, AFullDiskIsSaidOnceAndEndsTheRun) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
    TempDir src;
    TempDir base;
    for (int i = 0; i < 20; ++i) src.Write("m" + std::to_string(i) + ".mod", testing::ModWith({30000, 30000}));
    const std::string dest = base.Mkdir("small");
    if (::mount("none", dest.c_str(), "tmpfs", 0, "size=200k") != 0) GTEST_SKIP() << "no tmpfs here";
    const CliResult r = RunBinary({"-o", dest, src.path()});
    const bool leftover = HasTemporaryFile(dest);
    ::umount(dest.c_str());
    EXPECT_EQ(r.status, 1);
    const auto lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_NE(lines[0].find("(No space left on device)"), std::string::npos) << lines[0];
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(leftover);
}

TEST(CliStops, AFileSizeLimitFailsOneWriteNotTheRun) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", testing::ModWith({60000}));
    src.Write("b.mod", testing::ModWith({100}));
    CliSpawn spawn{{"-o", out.path(), src.path()}};
    spawn.fileSizeLimit = 16384;
    const CliResult r = RunBinary(spawn);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err),
              std::vector<std::string>{"Failed to write (disk full?): " + out / "0_a.mod" + " (File too large)"});
    EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"0_b.mod"});  // and no temporary file
}

// Forks; the child runs `body` and exits with its result. The parent gets
// the wait status.
template <typename Body>
int InChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        struct rlimit noCore {0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(CliSignals, EveryEndingSignalRemovesTheTemporaryFile) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        TempDir out;
        out.Write("0_a.mod", Bytes(5, 'o'));
        // The signal arrives while the new file waits to replace the old one.
        const int status = InChild([&] {
            InstallInterruptCleanup();
            PosixFileOps files;
            int error = 0;
            const DirHandle dir = files.OpenDirectory(out.path(), error);
            const Bytes bytes(1000, 7);
            files.WriteFileAt(dir, "0_a.mod", bytes, [&](const DirectoryEntry&) {
                ::kill(::getpid(), sig);
                return ReplaceDecision{};
            });
            return 0;
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"0_a.mod"}) << sig;
        EXPECT_EQ(ReadAll(out / "0_a.mod"), Bytes(5, 'o'));
    }
    // And SIGXFSZ no longer ends the program.
    const int status = InChild([] {
        InstallInterruptCleanup();
        struct sigaction action {};
        ::sigaction(SIGXFSZ, nullptr, &action);
        return action.sa_handler == SIG_IGN ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(CliSignals, TheModuleLibrarysDirectoryGoesWithTheProgram) {
    for (const int sig : {SIGINT, SIGTERM}) {
        TempDir tmp;
        TempDir src;
        const auto file = src.Write("packed.bin", Bytes(100, 'p'));
        const std::string pidFile = src / "child";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("TMPDIR", tmp.path().c_str(), 1);
            InstallInterruptCleanup();
            // The library's child unpacks into its directory, then hangs.
            library::LoadWithChildHook(file, LibraryLimits{}, [&](int) {
                const std::string privateDir = std::getenv("TMPDIR");
                std::ofstream(privateDir + "/unpacked") << std::string(100000, 'u');
                std::ofstream(pidFile + ".tmp") << ::getpid() << "\n" << privateDir;
                std::filesystem::rename(pidFile + ".tmp", pidFile);
                for (;;) ::pause();
            });
            ::_exit(0);
        }
        bool unpacking = false;
        for (int i = 0; i < 1000 && !unpacking; ++i) {
            unpacking = std::filesystem::exists(pidFile);
            if (!unpacking) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(unpacking);
        pid_t grandchild = 0;
        std::string privateDir;
        std::ifstream(pidFile) >> grandchild >> privateDir;
        ASSERT_GT(grandchild, 0);
        ASSERT_TRUE(std::filesystem::exists(privateDir + "/unpacked"));
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        EXPECT_FALSE(std::filesystem::exists(privateDir)) << sig;
        EXPECT_TRUE(FilesIn(tmp.path()).empty()) << sig;
        EXPECT_NE(::kill(grandchild, 0), 0) << "the library's child outlived the program";
    }
}

TEST(CliSignals, ASecondSignalDuringTheCleanupFinishesIt) {
    // Ctrl+C, then a kill while the first handler is still emptying the
    // library's directory: the second handler ends the program, and must
    // not leave the rest of the directory behind.
    TempDir tmp;
    TempDir src;
    const auto file = src.Write("packed.bin", Bytes(100, 'p'));
    const std::string readyFile = src / "ready";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("TMPDIR", tmp.path().c_str(), 1);
        InstallInterruptCleanup();
        // The library's child leaves many files to remove, then hangs.
        library::LoadWithChildHook(file, LibraryLimits{}, [&](int) {
            const std::string privateDir = std::getenv("TMPDIR");
            for (int i = 0; i < 20000; ++i) {
                const std::string name = privateDir + "/part" + std::to_string(i);
                const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
                if (fd >= 0) ::close(fd);
            }
            std::ofstream(readyFile + ".tmp") << privateDir;
            std::filesystem::rename(readyFile + ".tmp", readyFile);
            for (;;) ::pause();
        });
        ::_exit(0);
    }
    bool ready = false;
    for (int i = 0; i < 3000 && !ready; ++i) {
        ready = std::filesystem::exists(readyFile);
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ready) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    ASSERT_TRUE(ready);
    std::string privateDir;
    std::ifstream(readyFile) >> privateDir;
    ::kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_FALSE(std::filesystem::exists(privateDir)) << "the library's directory was left behind";
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

TEST(CliSignals, AProgramEndedByAClosedOutputLeavesNoLibraryDirectory) {
    // The module library has been used (the first file is none of the
    // engine's formats), then the records meet a reader that went away: the
    // program ends by SIGPIPE, which it does not handle, and its private
    // directory must not outlive it.
    TempDir tmp;
    TempDir src;
    TempDir out;
    src.Write("a.bin", Bytes(100, 'p'));
    src.Write("b.mod", NamedMod({"one"}));
    CliSpawn spawn{{"-a", "-n", "-o", out.path(), src.path()}};
    spawn.closeStdout = true;
    spawn.env = {{"TMPDIR", tmp.path()}};
    const CliResult r = RunBinary(spawn);
    EXPECT_EQ(r.signal, SIGPIPE) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "the module library's directory was left behind";
}

// --- Messages say what happened, and names cannot steer the terminal -------

TEST(CliMessages, SayWhatHappened) {
    TempDir src;
    TempDir out;
    TempDir elsewhere;
    // A mirrored folder that is a link.
    src.Write("sub/a.mod", NamedMod({"one"}));
    std::filesystem::create_directory_symlink(elsewhere.path(), out / "sub");
    CliResult r = RunBinary({"-r", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err), (std::vector<std::string>{
                                "Unable to create directory: " + out / "sub" +
                                    " (a link is there, and links are not followed)",
                                "Failed to create: " + out / "sub/0_a.mod" +
                                    " (its folder is a link, and links are not followed)",
                            }));
    EXPECT_TRUE(FilesIn(elsewhere.path()).empty());

    // The depth limit.
    TempDir deep;
    std::string path = deep.path();
    for (int i = 0; i < 66; ++i) path += "/d";
    std::filesystem::create_directories(path);
    r = RunBinary({"-r", "-q", "-o", out.path(), deep.path()});
    EXPECT_NE(r.err.find(" (more than 64 levels deep)"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("symbolic links"), std::string::npos) << r.err;

    // An empty SOURCE directory is no usage error.
    TempDir empty;
    r = RunBinary({"-o", out.path(), empty.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No source modules selected.\n");

    // Fixed text too long for any name is refused before the run, instead
    // of cutting the numbers off every name.
    r = RunBinary({"--name", std::string(230, 'x') + "{n}", "-o", out.path(), src / "sub/a.mod"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--name: its fixed text is 230 bytes long"), std::string::npos) << r.err;
}

TEST(CliMessages, DedupeLeavesNoEmptyDirectories) {
    TempDir src;
    TempDir out;
    src.Write("a.mod", NamedMod({"one", "two"}));
    src.Write("b.mod", NamedMod({"one", "two"}));  // the same samples
    const CliResult r = RunBinary({"-m", "--dedupe", "-o", out.path(), src.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"a.mod/", "a.mod/0_a.mod", "a.mod/1_a.mod"}));
}

TEST(CliMessages, EscapingCoversWhatReordersOrBreaksLines) {
    // U+202E (right-to-left override), U+2028, U+2029, U+200F, U+2066, U+061C.
    EXPECT_EQ(Escaped("evil\xE2\x80\xAEtxt.exe"), "evil\\xe2\\x80\\xaetxt.exe");
    EXPECT_EQ(Escaped("a\xE2\x80\xA8" "b\xE2\x80\xA9"), "a\\xe2\\x80\\xa8b\\xe2\\x80\\xa9");
    EXPECT_EQ(Escaped("\xE2\x80\x8F\xE2\x81\xA6\xD8\x9C"), "\\xe2\\x80\\x8f\\xe2\\x81\\xa6\\xd8\\x9c");
    // Neighbours pass: en dash, ellipsis, zero-width space.
    EXPECT_EQ(Escaped("\xE2\x80\x93\xE2\x80\xA6\xE2\x80\x8B"), "\xE2\x80\x93\xE2\x80\xA6\xE2\x80\x8B");

    TempDir src;
    TempDir out;
    const auto path = src.Write("notes\xE2\x80\xAEtxt.mod", Bytes(20, 'n'));
    const CliResult r = RunBinary({"-o", out.path(), path});
    EXPECT_EQ(r.err, "Unrecognised file format: " + src.path() + "/notes\\xe2\\x80\\xaetxt.mod\n");
}

}  // namespace
}  // namespace vorneck
