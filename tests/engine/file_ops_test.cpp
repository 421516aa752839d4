// The real file operations: what they refuse, and a write that fails.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "engine/file_ops.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::TempDir;

TEST(PosixFileOps, MeasuresAndReadsRegularFilesOnly) {
    TempDir dir;
    const auto path = dir.Write("f", Bytes(100, 7));
    PosixFileOps ops;
    EXPECT_EQ(ops.MeasureFile(path), 100u);
    Bytes buffer(60);
    EXPECT_EQ(ops.ReadFile(path, buffer), 60u);
    EXPECT_EQ(buffer, Bytes(60, 7));
    Bytes larger(200);
    EXPECT_EQ(ops.ReadFile(path, larger), 100u);

    // A FIFO would block an open for reading until a writer came; it is
    // refused at once instead. So are directories and devices.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_EQ(ops.MeasureFile(dir / "fifo"), std::nullopt);
    EXPECT_EQ(ops.ReadFile(dir / "fifo", buffer), std::nullopt);
    EXPECT_EQ(ops.MeasureFile(dir.path()), std::nullopt);
    EXPECT_EQ(ops.MeasureFile("/dev/zero"), std::nullopt);
    EXPECT_EQ(ops.MeasureFile(dir / "missing"), std::nullopt);
    // A NUL byte must not cut the path down to the existing file.
    EXPECT_EQ(ops.MeasureFile(path + std::string("\0x", 2)), std::nullopt);
}

TEST(PosixFileOps, CreatesDirectoriesAndFiles) {
    TempDir dir;
    PosixFileOps ops;
    EXPECT_TRUE(ops.CreateDirectory(dir / "d"));
    EXPECT_FALSE(ops.CreateDirectory(dir / "d"));  // exists already
    const Bytes data(33, 9);
    EXPECT_EQ(ops.WriteNewFile(dir / "d/f", data), WriteStatus::Ok);
    EXPECT_EQ(testing::ReadAll(dir / "d/f"), data);
    EXPECT_EQ(ops.WriteNewFile(dir / "d/f", Bytes(3, 1)), WriteStatus::Ok);  // truncates
    EXPECT_EQ(testing::ReadAll(dir / "d/f"), Bytes(3, 1));
    EXPECT_EQ(ops.WriteNewFile(dir / "missing/f", data), WriteStatus::CreateFailed);
    EXPECT_EQ(ops.WriteNewFile(dir / "d/f" + std::string("\0x", 2), data), WriteStatus::CreateFailed);
    EXPECT_FALSE(ops.CreateDirectory(dir / "e" + std::string("\0x", 2)));
    EXPECT_FALSE(std::filesystem::exists(dir / "e"));
    // A FIFO in the way neither blocks nor is written to.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_EQ(ops.WriteNewFile(dir / "fifo", data), WriteStatus::CreateFailed);
}

TEST(PosixFileOps, FailedWriteRemovesTheFile) {
    // A file-size limit makes writes fail past it, as a full disk would,
    // even for root.
    TempDir dir;
    PosixFileOps ops;
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const WriteStatus status = ops.WriteNewFile(dir / "big", Bytes(10000, 1));
    const WriteStatus small = ops.WriteNewFile(dir / "small", Bytes(100, 1));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(status, WriteStatus::WriteFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "big"));
    EXPECT_EQ(small, WriteStatus::Ok);
}

}  // namespace
}  // namespace vorneck
