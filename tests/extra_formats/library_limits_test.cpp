// SPDX-License-Identifier: MIT
// The module library's time limit is CPU time, so that a file's fate does
// not depend on how busy the machine is; wall-clock time is only the
// backstop for a child that waits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "extra_formats/module_library.h"
#include "extra_formats/module_library_testing.h"
#include "tests/support/engine_fixtures.h"
#include "tests/support/tracker_samples.h"

namespace vorneck {
namespace {

using Clock = std::chrono::steady_clock;

std::string GoodModule(const testing::TempDir& dir) { return dir.Write("good.xm", testing::SmallXm()); }

TEST(LibraryTimeLimit, AChildThatWaitsIsNotChargedForTheWait) {
    // As on a loaded machine: the load takes longer than the limit in wall
    // time but uses hardly any CPU time.
    testing::TempDir dir;
    const std::string module = GoodModule(dir);
    LibraryLimits limits;
    limits.timeLimit = std::chrono::milliseconds(1000);
    limits.wallLimit = std::chrono::milliseconds(10000);
    const LibraryResult result = library::LoadWithChildHook(
        module, limits, [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1500)); });
    EXPECT_EQ(result.status, LibraryStatus::Loaded) << result.reason;
}

TEST(LibraryTimeLimit, AChildThatComputesIsStoppedAtItsCpuTime) {
    testing::TempDir dir;
    const std::string module = GoodModule(dir);
    LibraryLimits limits;
    limits.timeLimit = std::chrono::milliseconds(1000);
    limits.wallLimit = std::chrono::milliseconds(60000);
    const auto start = Clock::now();
    const LibraryResult result = library::LoadWithChildHook(module, limits, [](int) {
        volatile unsigned spin = 0;
        for (;;) spin = spin + 1u;
    });
    EXPECT_EQ(result.status, LibraryStatus::Failed);
    EXPECT_EQ(result.reason, "CPU time limit of 1 s exceeded");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
}

TEST(LibraryTimeLimit, RaisingTheLimitRaisesTheBackstopToo) {
    const LibraryLimits defaults;
    EXPECT_EQ(defaults.timeLimit, std::chrono::seconds(5));
    EXPECT_EQ(defaults.wallLimit, std::chrono::seconds(30));
    EXPECT_EQ(LimitsWithTime(2).timeLimit, std::chrono::seconds(2));
    EXPECT_EQ(LimitsWithTime(2).wallLimit, std::chrono::seconds(30));
    EXPECT_EQ(LimitsWithTime(20).timeLimit, std::chrono::seconds(20));
    EXPECT_EQ(LimitsWithTime(20).wallLimit, std::chrono::seconds(120));
}

}  // namespace
}  // namespace vorneck
