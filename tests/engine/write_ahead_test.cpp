// SPDX-License-Identifier: MIT
// Outputs written ahead into unnamed files on a second thread: named in the
// run's order, dropped when skipped, and never the reason a write fails.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "engine/file_ops.h"
#include "engine/read_ahead.h"
#include "engine/write_ahead.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using demo::Bytes;
using testing::FilesIn;
using testing::ReadAll;
using testing::TempDir;

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// Waits up to a second for the number of open descriptors to reach `count`.
bool ReachesDescriptors(std::size_t count) {
    for (int i = 0; i < 1000 && OpenDescriptors() < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return OpenDescriptors() >= count;
}

class WriteAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!WriteAhead::Worthwhile()) GTEST_SKIP() << "one core: nothing is written ahead";
        int error = 0;
        dir = ops.OpenDirectory(out.path(), error);
        ASSERT_GE(dir, 0);
        if (!ops.WritesAhead()) GTEST_SKIP() << "no writing ahead here";
    }
    void TearDown() override { ops.CloseDirectory(dir); }

    TempDir out;
    PosixFileOps ops;
    DirHandle dir = kNoDirectory;
};

TEST_F(WriteAheadTest, FilesWrittenAheadGetTheirNamesInTheRunsOrder) {
    std::vector<Bytes> samples;
    for (int i = 0; i < 6; ++i) samples.emplace_back(1000 + 100 * i, static_cast<std::uint8_t>('a' + i));
    const std::vector<std::span<const std::uint8_t>> spans(samples.begin(), samples.end());
    const std::size_t before = OpenDescriptors();
    ops.WriteAheadAt(dir, spans);
    // Written, not yet named: held open, invisible in the directory.
    ASSERT_TRUE(ReachesDescriptors(before + spans.size()));
    EXPECT_TRUE(FilesIn(out.path()).empty());

    // Names given in order; samples 1 and 4 skipped by the run (copies not
    // written again); an output never handed over is written as ever.
    EXPECT_EQ(ops.WriteFileAt(dir, "0_s", samples[0]).status, WriteStatus::Ok);
    EXPECT_EQ(ops.WriteFileAt(dir, "1_s", samples[2]).status, WriteStatus::Ok);
    const Bytes other(777, 'z');
    EXPECT_EQ(ops.WriteFileAt(dir, "2_s", other).status, WriteStatus::Ok);
    EXPECT_EQ(ops.WriteFileAt(dir, "3_s", samples[3]).status, WriteStatus::Ok);
    EXPECT_EQ(ops.WriteFileAt(dir, "4_s", samples[5]).status, WriteStatus::Ok);
    ops.ForgetAhead();

    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_s", "1_s", "2_s", "3_s", "4_s"}));
    EXPECT_EQ(ReadAll(out / "0_s"), samples[0]);
    EXPECT_EQ(ReadAll(out / "1_s"), samples[2]);
    EXPECT_EQ(ReadAll(out / "2_s"), other);
    EXPECT_EQ(ReadAll(out / "3_s"), samples[3]);
    EXPECT_EQ(ReadAll(out / "4_s"), samples[5]);
    // Nothing is held any more: skipped files were closed, and so gone.
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(WriteAheadTest, ATakenNameEndsWritingAheadAndKeepsTheRules) {
    std::vector<Bytes> samples;
    for (int i = 0; i < 4; ++i) samples.emplace_back(500, static_cast<std::uint8_t>('k' + i));
    const std::vector<std::span<const std::uint8_t>> spans(samples.begin(), samples.end());
    // An earlier run's file with other bytes, and one that holds these.
    out.Write("1_s", Bytes(10, 'x'));
    out.Write("2_s", samples[2]);
    const std::size_t before = OpenDescriptors();
    ops.WriteAheadAt(dir, spans);
    ASSERT_TRUE(ReachesDescriptors(before + spans.size()));

    EXPECT_EQ(ops.WriteFileAt(dir, "0_s", samples[0]).status, WriteStatus::Ok);
    EXPECT_EQ(ops.WriteFileAt(dir, "1_s", samples[1]).status, WriteStatus::Ok);
    // From the taken name on, the rest is dropped and names are looked at.
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_FALSE(ops.WritesAhead());
    const ReplaceCheck refuse = [](const DirectoryEntry&) {
        return ReplaceDecision{ReplaceDecision::Verdict::Refuse, EEXIST, 7};
    };
    const WriteResult refused = ops.WriteFileAt(dir, "2_s", samples[2], refuse);
    EXPECT_EQ(refused.status, WriteStatus::Refused);
    EXPECT_EQ(refused.rule, 7);
    EXPECT_EQ(ops.WriteFileAt(dir, "3_s", samples[3]).status, WriteStatus::Ok);

    EXPECT_EQ(FilesIn(out.path()), (std::vector<std::string>{"0_s", "1_s", "2_s", "3_s"}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ReadAll(out / (std::to_string(i) + "_s")), samples[i]);
}

// Files held open ahead use descriptors: a write that fails for want of one
// while they are held is tried again without them.
TEST_F(WriteAheadTest, FilesHeldAheadNeverMakeAWriteFail) {
    std::vector<Bytes> samples;
    for (int i = 0; i < 12; ++i) samples.emplace_back(300, static_cast<std::uint8_t>(i));
    const std::vector<std::span<const std::uint8_t>> spans(samples.begin(), samples.end());
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit tight = saved;
    // A few descriptors free, all of which the thread takes.
    tight.rlim_cur = OpenDescriptors() + 3;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    ops.WriteAheadAt(dir, spans);
    const auto full = [] {
        const int fd = ::dup(2);
        if (fd >= 0) ::close(fd);
        return fd < 0 && errno == EMFILE;
    };
    bool filled = false;
    for (int i = 0; i < 1000 && !(filled = full()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Bytes first(100, 'f');
    const WriteResult result = ops.WriteFileAt(dir, "first", first);
    std::vector<WriteStatus> rest;
    for (std::size_t i = 0; i < samples.size(); ++i)
        rest.push_back(ops.WriteFileAt(dir, std::to_string(i), samples[i]).status);
    ops.ForgetAhead();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    if (!filled) GTEST_SKIP() << "the thread did not fill the descriptor table";

    EXPECT_EQ(result.status, WriteStatus::Ok) << std::strerror(result.error);
    EXPECT_EQ(rest, std::vector<WriteStatus>(samples.size(), WriteStatus::Ok));
    EXPECT_EQ(ReadAll(out / "first"), first);
    for (std::size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(ReadAll(out / std::to_string(i)), samples[i]);
}

TEST_F(WriteAheadTest, ClosingTheDirectoryDropsWhatWasWrittenForIt) {
    const Bytes a(400, 1), b(400, 2);
    const std::vector<std::span<const std::uint8_t>> spans{a, b};
    const std::size_t before = OpenDescriptors();
    ops.WriteAheadAt(dir, spans);
    ASSERT_TRUE(ReachesDescriptors(before + 2));
    ops.CloseDirectory(dir);
    EXPECT_EQ(OpenDescriptors(), before - 1);
    // A new handle, perhaps with the same number: nothing of the old one's
    // is taken for it.
    int error = 0;
    dir = ops.OpenDirectory(out.path(), error);
    EXPECT_EQ(ops.WriteFileAt(dir, "a", a).status, WriteStatus::Ok);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(FilesIn(out.path()), std::vector<std::string>{"a"});
}

// Cores the machine has but the process may not use (taskset, a container's
// cpuset) are no reason for threads that would only take turns.
TEST(WorkAhead, OneAllowedCoreMeansNothingIsDoneAhead) {
    cpu_set_t saved;
    ASSERT_EQ(::sched_getaffinity(0, sizeof saved, &saved), 0);
    if (CPU_COUNT(&saved) < 2) GTEST_SKIP() << "one core allowed already";
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &saved)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    const bool readsAhead = ReadAhead::Worthwhile();
    const bool writesAhead = PosixFileOps().WritesAhead();
    ASSERT_EQ(::sched_setaffinity(0, sizeof saved, &saved), 0);
    EXPECT_FALSE(readsAhead);
    EXPECT_FALSE(writesAhead);
    EXPECT_TRUE(ReadAhead::Worthwhile());
    EXPECT_TRUE(PosixFileOps().WritesAhead());
}

}  // namespace
}  // namespace vorneck
