// SPDX-License-Identifier: MIT
// The real file operations: what they refuse, how outputs replace what sits
// at their names, and what a failed or interrupted write leaves behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/file_ops.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::TempDir;

std::vector<std::string> Hidden(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind(kTemporaryPrefix, 0) == 0) names.push_back(e.path().string());
    return names;
}

// Runs `body` with writes limited to `limit` bytes per file, as a full disk
// would limit them, even for root.
template <typename Body>
void WithFileSizeLimit(rlim_t limit, Body body) {
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = limit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    body();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
}

class OpenDir {
public:
    OpenDir(PosixFileOps& ops, const std::string& path) : ops_(ops) {
        int error = 0;
        handle = ops.OpenDirectory(path, error);
    }
    ~OpenDir() { ops_.CloseDirectory(handle); }
    DirHandle handle;

private:
    PosixFileOps& ops_;
};

TEST(PosixFileOps, MeasuresAndReadsRegularFilesOnly) {
    TempDir dir;
    const auto path = dir.Write("f", Bytes(100, 7));
    PosixFileOps ops;
    int error = 0;
    const auto measured = ops.MeasureFile(path, error);
    ASSERT_TRUE(measured);
    EXPECT_EQ(measured->size, 100u);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(measured->identity, (FileIdentity{st.st_dev, st.st_ino}));

    auto input = ops.OpenInput(path, error);
    ASSERT_TRUE(input);
    Bytes head(60);
    EXPECT_EQ(input->Read(head), 60u);
    Bytes rest(100);
    EXPECT_EQ(input->Read(rest), 40u);  // continues where the first read ended
    EXPECT_EQ(head, Bytes(60, 7));

    // A FIFO would block an open for reading until a writer came; it is
    // refused at once instead. So are directories and devices.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_FALSE(ops.MeasureFile(dir / "fifo", error));
    EXPECT_FALSE(ops.OpenInput(dir / "fifo", error));
    EXPECT_FALSE(ops.MeasureFile(dir.path(), error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_FALSE(ops.MeasureFile("/dev/zero", error));
    EXPECT_FALSE(ops.MeasureFile(dir / "missing", error));
    EXPECT_EQ(error, ENOENT);
    // A NUL byte must not cut the path down to the existing file.
    EXPECT_FALSE(ops.MeasureFile(path + std::string("\0x", 2), error));
}

TEST(PosixFileOps, WritesReplaceWholeFilesAndNeverFollowLinks) {
    TempDir dir;
    TempDir elsewhere;
    PosixFileOps ops;
    OpenDir out(ops, dir.path());
    ASSERT_GE(out.handle, 0);

    const Bytes data(33, 9);
    EXPECT_EQ(ops.WriteFileAt(out.handle, "f", data).status, WriteStatus::Ok);
    EXPECT_EQ(testing::ReadAll(dir / "f"), data);
    EXPECT_EQ(ops.WriteFileAt(out.handle, "f", Bytes(3, 1)).status, WriteStatus::Ok);
    EXPECT_EQ(testing::ReadAll(dir / "f"), Bytes(3, 1));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "f").c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    // A link at the output name is replaced by the file, whatever it points
    // to: an existing file (left as it was), nothing, or a directory.
    const auto victim = elsewhere.Write("victim", Bytes(5, 'v'));
    std::filesystem::create_symlink(victim, dir / "link");
    std::filesystem::create_symlink(elsewhere / "dangling", dir / "dangling");
    std::filesystem::create_directory_symlink(elsewhere.path(), dir / "dirlink");
    for (const char* name : {"link", "dangling", "dirlink"}) {
        EXPECT_EQ(ops.WriteFileAt(out.handle, name, data).status, WriteStatus::Ok) << name;
        EXPECT_FALSE(std::filesystem::is_symlink(dir / name)) << name;
        EXPECT_EQ(testing::ReadAll(dir / name), data) << name;
    }
    EXPECT_EQ(testing::ReadAll(victim), Bytes(5, 'v'));
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "dangling"));

    // A hard link keeps its own content: the name gets a new file.
    std::filesystem::create_hard_link(victim, dir / "hard");
    EXPECT_EQ(ops.WriteFileAt(out.handle, "hard", data).status, WriteStatus::Ok);
    EXPECT_EQ(testing::ReadAll(victim), Bytes(5, 'v'));
    EXPECT_EQ(testing::ReadAll(dir / "hard"), data);

    // A directory at the name stays; names that are not plain names are refused.
    std::filesystem::create_directory(dir / "d");
    EXPECT_EQ(ops.WriteFileAt(out.handle, "d", data).status, WriteStatus::CreateFailed);
    EXPECT_EQ(ops.WriteFileAt(out.handle, "../escape", data).status, WriteStatus::CreateFailed);
    EXPECT_EQ(ops.WriteFileAt(out.handle, std::string("f\0x", 3), data).status, WriteStatus::CreateFailed);
    EXPECT_EQ(ops.WriteFileAt(kNoDirectory, "f", data).error, ENOENT);
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "escape"));
    EXPECT_TRUE(Hidden(dir.path()).empty());
}

TEST(PosixFileOps, SubdirectoriesAreRealDirectoriesOnly) {
    TempDir dir;
    TempDir elsewhere;
    PosixFileOps ops;
    OpenDir out(ops, dir.path());
    int error = 0;
    EXPECT_TRUE(ops.MakeDirectoryAt(out.handle, "d", error));
    EXPECT_FALSE(ops.MakeDirectoryAt(out.handle, "d", error));
    EXPECT_EQ(error, EEXIST);
    const DirHandle sub = ops.OpenSubdirectory(out.handle, "d", error);
    ASSERT_GE(sub, 0);
    EXPECT_EQ(ops.WriteFileAt(sub, "f", Bytes(4, 4)).status, WriteStatus::Ok);
    ops.CloseDirectory(sub);
    EXPECT_EQ(testing::ReadAll(dir / "d/f"), Bytes(4, 4));

    // A link to a directory is not entered.
    std::filesystem::create_directory_symlink(elsewhere.path(), dir / "link");
    EXPECT_EQ(ops.OpenSubdirectory(out.handle, "link", error), kNoDirectory);
    EXPECT_FALSE(ops.MakeDirectoryAt(out.handle, "link", error));
    EXPECT_EQ(ops.EntryAt(out.handle, "link").type, EntryType::Link);
    EXPECT_EQ(ops.EntryAt(out.handle, "d").type, EntryType::Directory);
    EXPECT_EQ(ops.EntryAt(out.handle, "none").type, EntryType::Missing);
    EXPECT_FALSE(ops.MakeDirectoryAt(kNoDirectory, "x", error));
    EXPECT_EQ(ops.OpenSubdirectory(kNoDirectory, "d", error), kNoDirectory);
    EXPECT_EQ(ops.NameMax(out.handle), 255u);
}

TEST(PosixFileOps, WritesGoWhereTheDirectoryWasOpened) {
    // Renaming the destination and putting a link in its place after it was
    // opened does not redirect the writes.
    TempDir base;
    TempDir elsewhere;
    const std::string dest = base.Mkdir("dest");
    PosixFileOps ops;
    OpenDir out(ops, dest);
    std::filesystem::rename(dest, base / "moved");
    std::filesystem::create_directory_symlink(elsewhere.path(), dest);
    EXPECT_EQ(ops.WriteFileAt(out.handle, "f", Bytes(2, 2)).status, WriteStatus::Ok);
    EXPECT_TRUE(std::filesystem::exists(base / "moved/f"));
    EXPECT_TRUE(testing::FilesIn(elsewhere.path()).empty());
}

TEST(PosixFileOps, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    PosixFileOps ops;
    OpenDir out(ops, dir.path());
    const auto old = dir.Write("big", Bytes(1000, 'o'));
    WriteResult big;
    WriteResult small;
    WithFileSizeLimit(4096, [&] {
        big = ops.WriteFileAt(out.handle, "big", Bytes(10000, 1));
        small = ops.WriteFileAt(out.handle, "small", Bytes(100, 1));
    });
    EXPECT_EQ(big.status, WriteStatus::WriteFailed);
    EXPECT_EQ(big.error, EFBIG);
    EXPECT_EQ(testing::ReadAll(old), Bytes(1000, 'o'));
    EXPECT_EQ(small.status, WriteStatus::Ok);
    EXPECT_TRUE(Hidden(dir.path()).empty());
}

// A child process writes one large file and is interrupted while writing:
// the final name never appears half-written, and the temporary file goes.
TEST(PosixFileOps, AnInterruptedWriteLeavesNothingBehind) {
    for (const int signal : {SIGINT, SIGTERM}) {
        TempDir dir;
        dir.Write("out", Bytes(10, 'o'));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            InstallInterruptCleanup();
            PosixFileOps ops;
            int error = 0;
            const DirHandle out = ops.OpenDirectory(dir.path(), error);
            const Bytes large(64 << 20, 1);
            for (;;) ops.WriteFileAt(out, "out", large);
        }
        // Wait until the child is writing its temporary file.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Hidden(dir.path()).empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_FALSE(Hidden(dir.path()).empty());
        const auto sent = std::chrono::steady_clock::now();
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(1));
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(Hidden(dir.path()).empty());
        // Either the old content or a whole new file.
        const auto size = std::filesystem::file_size(dir / "out");
        EXPECT_TRUE(size == 10 || size == (64u << 20)) << size;
    }
}

TEST(PosixFileOps, TheSubdirectoryOpenerStaysBelowItsParent) {
    TempDir base;
    const std::string inner = base.Mkdir("inner");
    base.Mkdir("inner/d");
    PosixFileOps ops;
    OpenDir in(ops, inner);
    // Whatever its callers pass, no name leads up or sideways out of the
    // directory, nor back to the directory itself.
    for (const std::string name : {"..", ".", "../inner", "d/..", "d/", ""}) {
        int error = 0;
        const DirHandle dir = ops.OpenSubdirectory(in.handle, name, error);
        EXPECT_EQ(dir, kNoDirectory) << name;
        EXPECT_NE(error, 0) << name;
        ops.CloseDirectory(dir);
    }
    int error = 0;
    const DirHandle d = ops.OpenSubdirectory(in.handle, "d", error);
    EXPECT_NE(d, kNoDirectory);
    ops.CloseDirectory(d);
}

}  // namespace
}  // namespace vorneck
