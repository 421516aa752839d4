// SPDX-License-Identifier: MIT
// A child that crashes, hangs, exhausts memory or talks nonsense costs its
// file a Failed result, and nothing else: the caller lives on with no leaked
// descriptors, no children left behind and no temporary files.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "extra_formats/module_library.h"
#include "extra_formats/module_library_testing.h"
#include "extra_formats/record_stream.h"
#include "tests/support/engine_fixtures.h"
#include "tests/support/tracker_samples.h"

namespace vorneck {
namespace {

using Clock = std::chrono::steady_clock;

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d)) ++count;
        ::closedir(d);
    }
    return count;
}

// Files (not directories) anywhere below `dir`.
std::size_t FilesUnder(const std::string& dir) {
    std::size_t count = 0;
    if (dir.empty() || !std::filesystem::exists(dir)) return 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        if (!entry.is_directory()) ++count;
    return count;
}

void WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// The start of a well-formed answer: one 8-bit sample of `frames` frames.
std::vector<std::uint8_t> AnswerHead(std::uint64_t frames) {
    std::vector<std::uint8_t> out;
    const auto put = [&](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(library::kStreamMagic, 4);
    put(0, 1);                 // a module
    put(0, 2);                 // format
    put(0, 2);                 // detail
    put(0, 2);                 // song name
    put(1, 4);                 // one sample
    put(1, 4);                 // slot
    put(8, 1);                 // bits
    put(1, 1);                 // channels
    put(8363, 4);              // rate
    put(0, 1);                 // no loop
    put(0, 8);
    put(0, 8);
    put(64, 1);                // volume
    put(0, 4);
    put(0, 4);
    put(frames, 8);
    put(0, 2);                 // name
    return out;
}

class ChildFailures : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = dir_.Write("good.xm", testing::SmallXm());
        descriptors_ = OpenDescriptors();
        // A wall-clock limit short enough for tests, below the CPU limit so
        // that a spinning child meets it first too.
        limits_.timeLimit = std::chrono::milliseconds(2000);
        limits_.wallLimit = std::chrono::milliseconds(1000);
        temp_ = dir_.Mkdir("tmp");
        const char* saved = std::getenv("TMPDIR");
        savedTmp_ = saved ? std::optional<std::string>(saved) : std::nullopt;
        ::setenv("TMPDIR", temp_.c_str(), 1);
    }

    void TearDown() override {
        if (savedTmp_) ::setenv("TMPDIR", savedTmp_->c_str(), 1);
        else ::unsetenv("TMPDIR");
        // Nothing left behind, whatever the child did.
        EXPECT_EQ(OpenDescriptors(), descriptors_);
        int status = 0;
        EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "a child was left behind";
        EXPECT_EQ(FilesUnder(temp_), 0u) << "temporary files were left behind";
        EXPECT_EQ(FilesUnder(library::LibraryTempDirectory()), 0u) << "temporary files were left behind";
    }

    LibraryResult WithHook(const std::function<void(int)>& hook) {
        return library::LoadWithChildHook(module_, limits_, hook);
    }

    testing::TempDir dir_;
    std::string module_;
    std::string temp_;
    std::optional<std::string> savedTmp_;
    std::size_t descriptors_ = 0;
    LibraryLimits limits_;
};

TEST_F(ChildFailures, CrashesAreReportedWithTheirSignal) {
    LibraryResult segv = WithHook([](int) { std::raise(SIGSEGV); });
    EXPECT_EQ(segv.status, LibraryStatus::Failed);
    EXPECT_NE(segv.reason.find("killed by signal 11"), std::string::npos) << segv.reason;

    LibraryResult abrt = WithHook([](int) { std::abort(); });
    EXPECT_EQ(abrt.status, LibraryStatus::Failed);
    EXPECT_NE(abrt.reason.find("killed by signal 6"), std::string::npos) << abrt.reason;

    // The module itself still loads afterwards.
    EXPECT_EQ(LoadWithModuleLibrary(module_, limits_).status, LibraryStatus::Loaded);
}

TEST_F(ChildFailures, HangingChildrenAreKilledAtTheTimeLimit) {
    for (const auto& hook : std::vector<std::function<void(int)>>{
             [](int) {
                 volatile unsigned spin = 0;
                 for (;;) spin = spin + 1u;
             },
             [](int) {
                 for (;;) ::pause();
             }}) {
        const auto start = Clock::now();
        const LibraryResult result = WithHook(hook);
        const auto elapsed = Clock::now() - start;
        EXPECT_EQ(result.status, LibraryStatus::Failed);
        EXPECT_EQ(result.reason, "wall-clock time limit of 1 s exceeded");
        EXPECT_GE(elapsed, std::chrono::milliseconds(1000));
        EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
    }
}

TEST_F(ChildFailures, ChildTricklingItsAnswerIsKilledAtTheTimeLimit) {
    const LibraryResult result = WithHook([](int fd) {
        WriteAll(fd, AnswerHead(1000));
        for (;;) {
            WriteAll(fd, {0});
            ::usleep(50'000);
        }
    });
    EXPECT_EQ(result.status, LibraryStatus::Failed);
    EXPECT_EQ(result.reason, "wall-clock time limit of 1 s exceeded");
}

TEST_F(ChildFailures, ProcessesTheChildStartsAreKilledWithIt) {
    // A grandchild holding the pipe open must not keep the caller waiting
    // past the limit, nor outlive the child.
    const std::string pidFile = dir_ / "grandchild";
    const LibraryResult result = WithHook([&](int) {
        const pid_t grandchild = ::fork();
        if (grandchild == 0)
            for (;;) ::pause();
        std::ofstream(pidFile) << grandchild;
        for (;;) ::pause();
    });
    EXPECT_EQ(result.status, LibraryStatus::Failed);
    EXPECT_EQ(result.reason, "wall-clock time limit of 1 s exceeded");

    pid_t grandchild = 0;
    std::ifstream(pidFile) >> grandchild;
    ASSERT_GT(grandchild, 0);
    // Gone, or a zombie waiting for its new parent to collect it.
    bool alive = true;
    for (int i = 0; i < 100 && alive; ++i) {
        std::ifstream stat("/proc/" + std::to_string(grandchild) + "/stat");
        std::string pid, name, state;
        alive = stat && (stat >> pid >> name >> state) && state != "Z";
        if (alive) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(alive);
}

TEST_F(ChildFailures, UnboundedAllocationHitsTheMemoryLimit) {
    if (!library::MemoryLimitApplies()) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
    limits_.memoryLimit = std::uint64_t{64} << 20;
    const LibraryResult result = WithHook([](int) {
        std::vector<std::unique_ptr<char[]>> hoard;
        for (;;) hoard.emplace_back(new char[1 << 20]);
    });
    EXPECT_EQ(result.status, LibraryStatus::Failed);
    EXPECT_EQ(result.reason, "memory limit of 64 MiB exceeded");
}

TEST_F(ChildFailures, MalformedAnswersAreRejected) {
    const LibraryResult garbage = WithHook([](int fd) {
        WriteAll(fd, std::vector<std::uint8_t>(100, 0xA5));
        ::_exit(0);
    });
    EXPECT_EQ(garbage.status, LibraryStatus::Failed);
    EXPECT_NE(garbage.reason.find("malformed"), std::string::npos) << garbage.reason;

    const LibraryResult cut = WithHook([](int fd) {
        WriteAll(fd, AnswerHead(1000));
        ::_exit(0);
    });
    EXPECT_EQ(cut.status, LibraryStatus::Failed);
    EXPECT_EQ(cut.reason, "ended without a complete answer");

    const LibraryResult status = WithHook([](int) { ::_exit(3); });
    EXPECT_EQ(status.status, LibraryStatus::Failed);
    EXPECT_EQ(status.reason, "exited with status 3");
}

TEST_F(ChildFailures, AnswersBeyondTheBudgetAreRefusedUnread) {
    // A child claiming far more than the file can decode to, then pouring
    // bytes into the pipe: refused at the claim, the child killed.
    const LibraryResult result = WithHook([](int fd) {
        WriteAll(fd, AnswerHead(std::uint64_t{1} << 40));
        std::vector<std::uint8_t> chunk(1 << 16, 0);
        for (;;) WriteAll(fd, chunk);
    });
    EXPECT_EQ(result.status, LibraryStatus::OutputTooLarge) << result.reason;
}

TEST_F(ChildFailures, TemporaryFilesOfAKilledChildAreRemoved) {
    const LibraryResult result = WithHook([](int) {
        const std::string name = std::string(std::getenv("TMPDIR")) + "/xmp_unpacked";
        if (FILE* f = std::fopen(name.c_str(), "w")) {
            std::fputs("half unpacked", f);
            std::fclose(f);
        }
        std::raise(SIGSEGV);
    });
    EXPECT_EQ(result.status, LibraryStatus::Failed);
    // TearDown checks that the directory is empty again; it was used.
    EXPECT_FALSE(library::LibraryTempDirectory().empty());
}

TEST_F(ChildFailures, CallersSignalHandlersDoNotRunInTheChild) {
    static volatile sig_atomic_t handled = 0;
    struct sigaction action {}, previous {};
    action.sa_handler = [](int) { handled = 1; };
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, &previous);
    const LibraryResult result = WithHook([](int) {
        std::raise(SIGUSR1);
        // Only reached if the caller's handler ran here.
        ::_exit(0);
    });
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(result.status, LibraryStatus::Failed);
    EXPECT_NE(result.reason.find("killed by signal " + std::to_string(SIGUSR1)), std::string::npos)
        << result.reason;
    EXPECT_EQ(handled, 0);
}

TEST_F(ChildFailures, InterruptingSignalsDoNotDisturbTheLoad) {
    // A timer interrupts every system call the caller makes, without
    // SA_RESTART, while the child takes its time.
    struct sigaction action {}, previous {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, &previous);
    itimerval timer{{0, 500}, {0, 500}};
    ::setitimer(ITIMER_REAL, &timer, nullptr);
    const LibraryResult result = WithHook([](int) { ::usleep(300'000); });
    itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(result.status, LibraryStatus::Loaded) << result.reason;
    EXPECT_EQ(result.module.samples.size(), 1u);
}

TEST_F(ChildFailures, CallersUnflushedOutputIsWrittenOnce) {
    const std::string path = dir_ / "log.txt";
    FILE* log = std::fopen(path.c_str(), "w");
    ASSERT_NE(log, nullptr);
    std::fputs("pending", log);  // still in the stdio buffer
    std::printf("pending on stdout ");
    EXPECT_EQ(LoadWithModuleLibrary(module_, limits_).status, LibraryStatus::Loaded);
    EXPECT_EQ(WithHook([](int) { std::raise(SIGSEGV); }).status, LibraryStatus::Failed);
    std::fclose(log);
    std::printf("\n");
    const auto bytes = testing::ReadAll(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "pending");
}

TEST_F(ChildFailures, IgnoredSigchldStillGivesAResult) {
    struct sigaction action {}, previous {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGCHLD, &action, &previous);
    const LibraryResult loaded = LoadWithModuleLibrary(module_, limits_);
    const LibraryResult crashed = WithHook([](int) { std::raise(SIGSEGV); });
    ::sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_EQ(loaded.status, LibraryStatus::Loaded) << loaded.reason;
    EXPECT_EQ(crashed.status, LibraryStatus::Failed);
}

// The wall-clock limit needs its caller running. A caller that is stopped
// (Ctrl+Z stops the terminal's foreground group, and the child has a group
// of its own) must not leave a spinning child running on: it ends at its
// CPU-time limit.
TEST_F(ChildFailures, ASpinningChildEndsAtItsCpuLimitWhileItsCallerIsStopped) {
    const std::string pidFile = dir_ / "spinner";
    const pid_t caller = ::fork();
    ASSERT_GE(caller, 0);
    if (caller == 0) {
        WithHook([&](int) {
            std::ofstream(pidFile + ".new") << ::getpid();
            std::filesystem::rename(pidFile + ".new", pidFile);
            ::kill(::getppid(), SIGSTOP);
            volatile unsigned spin = 0;
            for (;;) spin = spin + 1u;
        });
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(caller, &status, WUNTRACED), caller);
    ASSERT_TRUE(WIFSTOPPED(status));
    pid_t spinner = 0;
    std::ifstream(pidFile) >> spinner;
    EXPECT_GT(spinner, 0);

    // Gone, or a zombie its stopped caller has yet to collect.
    bool ended = spinner <= 0;
    const auto stopped = Clock::now();
    while (!ended && Clock::now() - stopped < std::chrono::seconds(60)) {
        std::ifstream stat("/proc/" + std::to_string(spinner) + "/stat");
        std::string pid, name, state;
        ended = !(stat && (stat >> pid >> name >> state)) || state == "Z";
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(ended) << "the child ran on while its caller was stopped";
    ::kill(caller, SIGCONT);
    ASSERT_EQ(::waitpid(caller, &status, 0), caller);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace vorneck
