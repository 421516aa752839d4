// SPDX-License-Identifier: MIT
// How outputs reach their names: unnamed files linked into place, the named
// temporary file where there are none, names already taken, and what a
// killed run leaves behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
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
using testing::FilesIn;
using testing::ReadAll;
using testing::TempDir;

using Publishing = PosixFileOps::Publishing;

std::vector<std::string> Temporaries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.path().filename().string().rfind(kTemporaryPrefix, 0) == 0) names.push_back(e.path().string());
    return names;
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Sets the file's modification time to a fixed moment long ago.
void MakeOld(const std::string& path) {
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

class Publish : public ::testing::TestWithParam<Publishing> {
protected:
    void SetUp() override {
        int error = 0;
        dirHandle = ops.OpenDirectory(dir.path(), error);
        ASSERT_GE(dirHandle, 0);
    }
    void TearDown() override { ops.CloseDirectory(dirHandle); }
    WriteResult Write(const std::string& name, const Bytes& bytes, const ReplaceCheck& check = OnlyFilesAndLinks) {
        return ops.WriteFileAt(dirHandle, name, bytes, check);
    }

    TempDir dir;
    TempDir elsewhere;
    PosixFileOps ops{GetParam()};
    DirHandle dirHandle = kNoDirectory;
};

TEST_P(Publish, NewNamesFreeNamesAndTakenNamesInAnyOrder) {
    // Free and taken names alternate, so that writes switch between writing
    // blind and looking first; each ends up holding its bytes.
    const auto victim = elsewhere.Write("victim", Bytes(5, 'v'));
    dir.Write("t1", Bytes(7, 'o'));
    std::filesystem::create_symlink(victim, dir / "t2");
    std::filesystem::create_symlink(elsewhere / "dangling", dir / "t3");
    const std::vector<std::string> names = {"n1", "t1", "n2", "n3", "t2", "t3", "n4"};
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(Write(names[i], Bytes(10 + i, static_cast<std::uint8_t>(i))).status, WriteStatus::Ok) << names[i];
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(std::filesystem::is_symlink(dir / names[i])) << names[i];
        EXPECT_EQ(ReadAll(dir / names[i]), Bytes(10 + i, static_cast<std::uint8_t>(i))) << names[i];
    }
    EXPECT_EQ(ReadAll(victim), Bytes(5, 'v'));
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "dangling"));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(StatOf(dir / "n1").st_mode & 0777, 0666 & ~mask);
    EXPECT_TRUE(Temporaries(dir.path()).empty());
}

TEST_P(Publish, TakenNamesFollowTheRulesBeforeAnythingIsWritten) {
    dir.Write("kept", Bytes(3, 'k'));
    std::filesystem::create_directory(dir / "d");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    const ReplaceCheck refuse = [](const DirectoryEntry& entry) {
        return entry.type == EntryType::Missing ? ReplaceDecision{}
                                                : ReplaceDecision{ReplaceDecision::Verdict::Refuse, EEXIST};
    };
    // Refused even when the file holds the same bytes already.
    EXPECT_EQ(Write("kept", Bytes(3, 'k'), refuse).status, WriteStatus::Refused);
    EXPECT_EQ(Write("kept", Bytes(30, 1), refuse).status, WriteStatus::Refused);
    EXPECT_EQ(ReadAll(dir / "kept"), Bytes(3, 'k'));
    const WriteResult onDirectory = Write("d", Bytes(3, 1));
    EXPECT_EQ(onDirectory.status, WriteStatus::CreateFailed);
    EXPECT_EQ(onDirectory.error, EISDIR);
    EXPECT_EQ(Write("fifo", Bytes(3, 1)).status, WriteStatus::CreateFailed);
    EXPECT_TRUE(S_ISFIFO(StatOf(dir / "fifo").st_mode));
    EXPECT_EQ(Write("new", Bytes(3, 1), refuse).status, WriteStatus::Ok);
    EXPECT_TRUE(Temporaries(dir.path()).empty());
}

TEST_P(Publish, AFileHoldingTheSameBytesIsLeftAsItIs) {
    const Bytes bytes(5000, 0x5a);
    ASSERT_EQ(Write("same", bytes).status, WriteStatus::Ok);
    MakeOld(dir / "same");
    const struct stat before = StatOf(dir / "same");
    EXPECT_EQ(Write("same", bytes).status, WriteStatus::Ok);
    const struct stat after = StatOf(dir / "same");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

    // One byte different, or one byte more: a new file.
    Bytes changed = bytes;
    changed[4999] = 0;
    EXPECT_EQ(Write("same", changed).status, WriteStatus::Ok);
    EXPECT_EQ(ReadAll(dir / "same"), changed);
    EXPECT_NE(StatOf(dir / "same").st_mtim.tv_sec, before.st_mtim.tv_sec);
    MakeOld(dir / "same");
    changed.push_back(1);
    EXPECT_EQ(Write("same", changed).status, WriteStatus::Ok);
    EXPECT_EQ(ReadAll(dir / "same"), changed);

    // A second name of another file is not kept, even with equal bytes: the
    // output gets a file of its own and the other file stays as it was.
    const auto other = elsewhere.Write("other", bytes);
    std::filesystem::create_hard_link(other, dir / "hard");
    EXPECT_EQ(Write("hard", bytes).status, WriteStatus::Ok);
    EXPECT_EQ(StatOf(other).st_nlink, 1u);
    EXPECT_EQ(ReadAll(dir / "hard"), bytes);

    // A link to a file with those bytes is replaced, as any link is.
    std::filesystem::create_symlink(other, dir / "link");
    EXPECT_EQ(Write("link", bytes).status, WriteStatus::Ok);
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "link"));

    // A file that cannot be read is replaced rather than trusted.
    if (::geteuid() != 0) {
        ASSERT_EQ(Write("closed", bytes).status, WriteStatus::Ok);
        ::chmod((dir / "closed").c_str(), 0);
        EXPECT_EQ(Write("closed", bytes).status, WriteStatus::Ok);
        EXPECT_EQ(ReadAll(dir / "closed"), bytes);
    }
    EXPECT_TRUE(Temporaries(dir.path()).empty());
}

TEST_P(Publish, LargeFilesAndEmptyFiles) {
    // Large files look before they write; an empty file is a file too.
    const Bytes large(PosixFileOps::kLookFirstFrom + 10, 3);
    EXPECT_EQ(Write("large", large).status, WriteStatus::Ok);
    MakeOld(dir / "large");
    EXPECT_EQ(Write("large", large).status, WriteStatus::Ok);
    EXPECT_EQ(StatOf(dir / "large").st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(Write("large", Bytes(4, 4)).status, WriteStatus::Ok);
    EXPECT_EQ(ReadAll(dir / "large"), Bytes(4, 4));
    EXPECT_EQ(Write("empty", Bytes{}).status, WriteStatus::Ok);
    EXPECT_EQ(std::filesystem::file_size(dir / "empty"), 0u);
    EXPECT_EQ(Write("empty", Bytes{}).status, WriteStatus::Ok);
    EXPECT_TRUE(Temporaries(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(BothWays, Publish, ::testing::Values(Publishing::UnnamedFiles, Publishing::RenamedTemporary),
                         [](const auto& info) {
                             return info.param == Publishing::UnnamedFiles ? std::string("UnnamedFiles")
                                                                           : std::string("RenamedTemporary");
                         });

// A run into an empty destination killed with SIGKILL, at several moments:
// nothing but whole outputs is left, and no temporary file at all.
TEST(PublishKilled, AKilledRunLeavesNoTemporaryFile) {
    TempDir src;
    std::vector<std::string> names;
    for (int m = 0; m < 40; ++m) {
        names.push_back("m" + std::to_string(m) + ".mod");
        src.Write(names.back(), testing::ModWith({20000, 30000, 40000, 50000, 60000}));
    }
    {
        // Where the file system makes no unnamed files, the named temporary
        // file may stay: this test only holds where it does.
        TempDir probe;
        const int fd = ::open(probe.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
        if (fd < 0) GTEST_SKIP() << "no unnamed files here";
        ::close(fd);
    }
    for (const int delayMs : {2, 5, 10, 20, 40, 80}) {
        TempDir out;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                testing::RunHarness h;
                h.Run(testing::ListOf(src.path(), names), out.path(), delayMs % 4 == 0);
                for (const auto& e : std::filesystem::directory_iterator(out.path()))
                    std::filesystem::remove_all(e.path());
            }
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (FilesIn(out.path()).empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_TRUE(Temporaries(out.path()).empty()) << delayMs;
        for (const auto& e : std::filesystem::recursive_directory_iterator(out.path())) {
            if (!e.is_regular_file()) continue;
            const auto name = e.path().filename().string();
            const auto size = std::filesystem::file_size(e.path());
            EXPECT_EQ(size, 20000u + 10000u * std::stoul(name.substr(0, 1))) << e.path();
        }
    }
}

}  // namespace
}  // namespace vorneck
