// SPDX-License-Identifier: MIT
#include "extra_formats/module_library.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <pthread.h>
#include <xmp.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/file_ops.h"
#include "extra_formats/library_child.h"
#include "extra_formats/module_library_testing.h"
#include "extra_formats/record_stream.h"

namespace vorneck {
namespace {

using Clock = std::chrono::steady_clock;
using library::ByteSource;
using library::ReadOutcome;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

std::string Errno(int error) { return std::strerror(error); }

std::string Seconds(std::chrono::milliseconds time) {
    char text[32];
    const auto ms = time.count();
    if (ms % 1000 == 0)
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(ms / 1000));
    else
        std::snprintf(text, sizeof text, "%.3g", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string Bytes(std::uint64_t bytes) {
    char text[48];
    if (bytes >= (std::uint64_t{1} << 20) && bytes % (std::uint64_t{1} << 20) == 0)
        std::snprintf(text, sizeof text, "%llu MiB", static_cast<unsigned long long>(bytes >> 20));
    else
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    return text;
}

// --- For the interrupt handler: the running child and the directory -------
//
// An interrupted program must not leave the library's private directory
// behind (a static destructor never runs when the signal is raised again),
// nor a child still unpacking into it. The handler reads only these.
std::atomic<pid_t> gRunningChild{0};
std::atomic<bool> gTempRecorded{false};
char gTempPath[4096];

// Async-signal-safe: kills and reaps the running child, empties the
// directory by raw getdents64 and removes it. The records are only read,
// never claimed: a second signal that interrupts this handler runs it again
// in full before it ends the program, so that the first one's unfinished
// work is done all the same.
void RemoveLibraryTempOnInterrupt() {
    if (const pid_t child = gRunningChild.load(); child > 0) {
        ::kill(-child, SIGKILL);
        ::kill(child, SIGKILL);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        gRunningChild.store(0);  // reaped: its pid is no longer ours to kill
    }
    if (!gTempRecorded.load()) return;
    const int dir = ::open(gTempPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0) {
        alignas(8) char buffer[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
            if (n <= 0) break;
            for (long at = 0; at < n;) {
                struct Entry {
                    std::uint64_t inode;
                    std::int64_t offset;
                    unsigned short length;
                    unsigned char type;
                    char name[1];
                };
                const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
                const char* name = buffer + at + offsetof(Entry, name);
                if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))))
                    if (::unlinkat(dir, name, 0) != 0) ::unlinkat(dir, name, AT_REMOVEDIR);
                at += entry->length;
            }
        }
        ::close(dir);
    }
    ::rmdir(gTempPath);
}

// A private directory for the library's temporary files: made for each load
// (in TMPDIR, else /tmp) and emptied and removed after it, so that nothing a
// killed child was unpacking stays behind, and nothing at all between loads:
// a program ended by a signal it does not clean up after (SIGPIPE, when its
// standard output's reader goes away) leaves no directory behind.
class TempDirectory {
public:
    ~TempDirectory() {
        gTempRecorded = false;
        if (path_.empty()) return;
        Clear();
        ::rmdir(path_.c_str());
    }

    // The directory's path; empty with `error` set if it cannot be made.
    const std::string& Get(int& error) {
        // Made again when it went away since (a cleaner of old temporary
        // files, or a caller that changed TMPDIR and removed the old one):
        // a child unpacking into a missing directory fails.
        struct stat st {};
        if (!path_.empty() && (::lstat(path_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
            gTempRecorded = false;
            path_.clear();
        }
        if (path_.empty()) {
            const char* base = std::getenv("TMPDIR");
            std::string pattern = (base && *base ? std::string(base) : std::string("/tmp")) + "/vorneck-xmp-XXXXXX";
            // No interrupt between making the directory and recording it
            // for the handler.
            sigset_t all;
            sigset_t previous;
            ::sigfillset(&all);
            ::pthread_sigmask(SIG_BLOCK, &all, &previous);
            if (::mkdtemp(pattern.data())) {
                path_ = pattern;
                used_ = pattern;
                if (path_.size() < sizeof gTempPath) {
                    std::memcpy(gTempPath, path_.c_str(), path_.size() + 1);
                    gTempRecorded = true;
                    SetInterruptCleanup(RemoveLibraryTempOnInterrupt);
                }
            } else {
                error = errno;
            }
            ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        }
        return path_;
    }

    // The directory of the latest load (gone again once it ended).
    const std::string& path() const { return used_; }

    // Empties and removes the directory; the next load makes a new one.
    void Remove() {
        Clear();
        if (path_.empty()) return;
        ::rmdir(path_.c_str());
        gTempRecorded = false;
        path_.clear();
    }

    void Clear() {
        if (path_.empty()) return;
        const int dir = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (dir < 0) {
            gTempRecorded = false;
            path_.clear();  // gone: made again next time
            return;
        }
        if (DIR* listing = ::fdopendir(dir)) {
            while (const dirent* entry = ::readdir(listing)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") ::unlinkat(::dirfd(listing), name.c_str(), 0);
            }
            ::closedir(listing);
        } else {
            ::close(dir);
        }
    }

private:
    std::string path_;
    std::string used_;
};

// One load at a time: a child must not inherit another child's pipe, and
// the loads share the temporary directory.
std::mutex loadMutex;
TempDirectory sharedTemp;

// The child's end of the pipe, read with the deadline in view, a pipe's
// worth at a time.
class PipeSource : public ByteSource {
public:
    PipeSource(int fd, Clock::time_point deadline) : fd_(fd), deadline_(deadline), buffer_(kBufferSize) {}

    Status Read(void* data, std::size_t size) override {
        auto* out = static_cast<std::uint8_t*>(data);
        while (size > 0) {
            if (begin_ == end_) {
                // Large reads go straight to their destination.
                const bool direct = size >= buffer_.size();
                const Status s = Fill(direct ? out : buffer_.data(), direct ? size : buffer_.size());
                if (s != Status::Ok) return s;
                if (direct) {
                    out += filled_;
                    size -= filled_;
                    continue;
                }
                begin_ = 0;
                end_ = filled_;
            }
            const std::size_t take = std::min(size, end_ - begin_);
            std::memcpy(out, buffer_.data() + begin_, take);
            begin_ += take;
            out += take;
            size -= take;
        }
        return Status::Ok;
    }

    int error() const { return error_; }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    // Reads what is there (at least one byte, at most `size`) into `into`.
    Status Fill(std::uint8_t* into, std::size_t size) {
        for (;;) {
            // Also while data flows: a child may trickle it.
            if (Clock::now() >= deadline_) return Status::TimedOut;
            const ssize_t n = ::read(fd_, into, size);
            if (n > 0) {
                filled_ = static_cast<std::size_t>(n);
                return Status::Ok;
            }
            if (n == 0) return Status::End;
            if (errno == EINTR) continue;
            if (errno != EAGAIN) {
                error_ = errno;
                return Status::Error;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
            if (left.count() <= 0) return Status::TimedOut;
            pollfd p{fd_, POLLIN, 0};
            // Rounded up, so that the poll never wakes before the deadline.
            if (::poll(&p, 1, static_cast<int>(std::min<long long>(left.count() + 1, 60'000))) < 0 && errno != EINTR) {
                error_ = errno;
                return Status::Error;
            }
        }
    }

    int fd_;
    int error_ = 0;
    Clock::time_point deadline_;
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t filled_ = 0;
};

// The child process, killed (with anything it started) and reaped on every
// path out of the load.
class Child {
public:
    // A pidfd, where the system has them, lets the wait for the end sleep
    // exactly as long as needed.
    explicit Child(pid_t pid)
        : pid_(pid), pidfd_(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))) {}
    ~Child() {
        if (!reaped_) {
            Kill();
            Reap();
        }
        if (pidfd_ >= 0) ::close(pidfd_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Kills the child's whole process group: the child and whatever the
    // library may have started. Until it is reaped, the child's process
    // group id cannot pass to anyone else (unless the caller ignores
    // SIGCHLD and the system reaps it unseen; then only a group member
    // still running can hold the id).
    void Kill() {
        if (gone_) return;
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
    }

    // Waits until the child has ended, at most until `deadline`; false if
    // it is still running then. The child stays a zombie until Reap.
    bool AwaitExit(Clock::time_point deadline) {
        auto pause = std::chrono::microseconds(50);
        for (;;) {
            siginfo_t info{};
            const int r = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                // Reaped already: the caller ignores SIGCHLD. Its process
                // group id may be anyone's by now.
                gone_ = true;
                return true;
            }
            if (info.si_pid == pid_) return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            if (pidfd_ >= 0) {
                pollfd p{pidfd_, POLLIN, 0};
                ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count() + 1, 60'000)));
            } else {
                std::this_thread::sleep_for(pause);
                pause = std::min(pause * 2, std::chrono::microseconds(1000));
            }
        }
    }

    // Collects the exit status; false if it is not available (the caller
    // ignores SIGCHLD, so the system reaped the child already).
    bool Reap() {
        // Whatever the child started goes with it.
        if (!gone_) ::kill(-pid_, SIGKILL);
        reaped_ = true;
        for (;;) {
            const pid_t r = ::waitpid(pid_, &status_, 0);
            if (r == pid_) return true;
            if (r < 0 && errno == EINTR) continue;
            return false;
        }
    }

    int status() const { return status_; }

private:
    pid_t pid_;
    int pidfd_;
    bool reaped_ = false;
    bool gone_ = false;
    int status_ = 0;
};

// Current address space of this process (which the child inherits), from
// /proc/self/statm; 0 if unknown.
std::uint64_t CurrentAddressSpace() {
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[256];
    ssize_t n;
    do n = ::read(fd, text, sizeof text - 1);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0) return 0;
    text[n] = '\0';
    const unsigned long long pages = std::strtoull(text, nullptr, 10);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pageSize > 0 ? pages * static_cast<std::uint64_t>(pageSize) : 0;
}

std::string SignalReason(int sig, const LibraryLimits& limits, std::uint64_t cpuSeconds) {
    if (sig == SIGXCPU) return "CPU time limit of " + std::to_string(cpuSeconds) + " s exceeded";
    if (sig == SIGXFSZ) return "file size limit of " + Bytes(limits.memoryLimit) + " exceeded while unpacking";
    const char* name = ::strsignal(sig);
    return "killed by signal " + std::to_string(sig) + (name ? std::string(" (") + name + ")" : std::string());
}

LibraryResult Fail(LibraryStatus status, std::string reason) {
    LibraryResult result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

LibraryResult FromAnswer(library::ChildAnswer answer, std::uint64_t fileSize, std::uint64_t bound,
                         const LibraryLimits& limits) {
    using library::AnswerKind;
    switch (answer.kind) {
        case AnswerKind::Module: {
            LibraryResult result;
            result.status = LibraryStatus::Loaded;
            result.module = std::move(answer.module);
            return result;
        }
        case AnswerKind::NotRecognised:
            return Fail(LibraryStatus::NotRecognised, "not a format the module library reads");
        case AnswerKind::LoadFailed:
            return Fail(LibraryStatus::NotRecognised, "the module library could not load it");
        case AnswerKind::DepackFailed:
            return Fail(LibraryStatus::NotRecognised, "the module library could not unpack it");
        case AnswerKind::SystemError:
            return Fail(LibraryStatus::Failed,
                        "the module library could not read it: " +
                            Errno(static_cast<int>(std::min<std::uint64_t>(answer.value, 4095))));
        case AnswerKind::MemoryExhausted:
            return Fail(LibraryStatus::Failed, "memory limit of " + Bytes(limits.memoryLimit) + " exceeded");
        case AnswerKind::OutputTooLarge:
            return Fail(LibraryStatus::OutputTooLarge, "decoded samples of " + Bytes(answer.value) +
                                                           " exceed the bound of " + Bytes(bound) + " for a file of " +
                                                           Bytes(fileSize));
    }
    return Fail(LibraryStatus::Failed, "unknown answer");
}

LibraryResult Load(const std::string& path, const LibraryLimits& limits, const std::function<void(int)>& hook) {
    if (path.find('\0') != std::string::npos) return Fail(LibraryStatus::Unreadable, "path holds a NUL byte");

    std::uint64_t fileSize = 0;
    {
        Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (file.get() < 0) return Fail(LibraryStatus::Unreadable, Errno(errno));
        struct stat st {};
        if (::fstat(file.get(), &st) != 0) return Fail(LibraryStatus::Unreadable, Errno(errno));
        if (!S_ISREG(st.st_mode)) return Fail(LibraryStatus::Unreadable, "not a regular file");
        fileSize = static_cast<std::uint64_t>(st.st_size);
    }
    if (fileSize > limits.maxFileSize)
        return Fail(LibraryStatus::TooLarge,
                    Bytes(fileSize) + " exceeds the module library's limit of " + Bytes(limits.maxFileSize));
    const std::uint64_t bound = OutputBound(fileSize, limits);

    const std::lock_guard<std::mutex> lock(loadMutex);
    int tempError = 0;
    const std::string temp = sharedTemp.Get(tempError);
    if (temp.empty()) return Fail(LibraryStatus::Failed, "cannot create a temporary directory: " + Errno(tempError));
    struct RemoveAfter {
        ~RemoveAfter() { sharedTemp.Remove(); }
    } removeAfter;

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return Fail(LibraryStatus::Failed, "cannot create a pipe: " + Errno(errno));
    Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    // The parent waits in poll, with the deadline; the child writes blocking.
    ::fcntl(readEnd.get(), F_SETFL, O_NONBLOCK);
    // A larger pipe, where the system allows, takes fewer turns for big modules.
    ::fcntl(readEnd.get(), F_SETPIPE_SZ, 1 << 20);

    library::ChildSetup setup;
    setup.path = path;
    setup.outputFd = writeEnd.get();
    setup.parentPid = ::getpid();
    setup.tempDirectory = temp;
    const auto limitMs = std::max<long long>(limits.timeLimit.count(), 1);
    setup.cpuSeconds = static_cast<std::uint64_t>((limitMs + 999) / 1000);
    const std::uint64_t inherited = CurrentAddressSpace();
    setup.addressSpace = inherited ? inherited + limits.memoryLimit : 0;
    setup.fileSizeLimit = limits.memoryLimit;
    setup.pcmBudget = bound;

    const auto deadline = Clock::now() + limits.wallLimit;
    const pid_t pid = ::fork();
    if (pid < 0) return Fail(LibraryStatus::Failed, "cannot start a process: " + Errno(errno));
    if (pid == 0) {
        readEnd.Close();
        library::RunLoadingChild(setup, hook);
    }
    gRunningChild = pid;
    Child child(pid);
    // Forgotten by the interrupt handler before the child is reaped, on
    // every way out.
    struct Forget {
        ~Forget() { gRunningChild = 0; }
    } forget;
    ::setpgid(pid, pid);  // also done by the child; whichever runs first
    writeEnd.Close();

    PipeSource source(readEnd.get(), deadline);
    ReadOutcome outcome = library::ReadAnswer(source, bound);
    readEnd.Close();

    bool killedForTime = false;
    switch (outcome.status) {
        case ReadOutcome::Status::Complete:
        case ReadOutcome::Status::Truncated:
            // The child has closed its end: it is ending. A moment of grace
            // past the deadline, then it is killed like a hanging one.
            if (!child.AwaitExit(std::max(deadline, Clock::now()) + std::chrono::seconds(1))) {
                child.Kill();
                killedForTime = true;
            }
            break;
        case ReadOutcome::Status::TimedOut:
            child.Kill();
            killedForTime = true;
            break;
        default:
            child.Kill();
            break;
    }
    gRunningChild = 0;  // reaped next: its pid is no longer ours to kill
    const bool haveStatus = child.Reap();
    const int status = child.status();

    if (outcome.status == ReadOutcome::Status::OverBudget)
        return Fail(LibraryStatus::OutputTooLarge, "decoded samples exceed the bound of " + Bytes(bound) +
                                                       " for a file of " + Bytes(fileSize));
    if (outcome.status == ReadOutcome::Status::Malformed)
        return Fail(LibraryStatus::Failed, "sent malformed data (" + outcome.problem + ")");
    if (killedForTime)
        return Fail(LibraryStatus::Failed, "wall-clock time limit of " + Seconds(limits.wallLimit) + " s exceeded");
    if (haveStatus && WIFSIGNALED(status))
        return Fail(LibraryStatus::Failed, SignalReason(WTERMSIG(status), limits, setup.cpuSeconds));
    if (outcome.status == ReadOutcome::Status::Complete)
        return FromAnswer(std::move(outcome.answer), fileSize, bound, limits);
    if (haveStatus && WIFEXITED(status)) {
        switch (WEXITSTATUS(status)) {
            case library::kExitOutOfMemory:
                return Fail(LibraryStatus::Failed, "memory limit of " + Bytes(limits.memoryLimit) + " exceeded");
            case 0:
                break;
            default:
                return Fail(LibraryStatus::Failed, "exited with status " + std::to_string(WEXITSTATUS(status)));
        }
    }
    if (outcome.status == ReadOutcome::Status::ReadError)
        return Fail(LibraryStatus::Failed, "cannot read its answer: " + Errno(source.error()));
    return Fail(LibraryStatus::Failed, "ended without a complete answer");
}

}  // namespace

std::uint64_t OutputBound(std::uint64_t fileSize, const LibraryLimits& limits) {
    const std::uint64_t byFactor =
        limits.maxOutputFactor && fileSize > UINT64_MAX / limits.maxOutputFactor ? UINT64_MAX
                                                                                : fileSize * limits.maxOutputFactor;
    return std::min(byFactor, limits.maxOutputBytes);
}

// The version built against: the library itself is opened only when needed.
std::string ModuleLibraryVersion() { return XMP_VERSION; }

LibraryLimits LimitsWithTime(std::uint64_t seconds) {
    LibraryLimits limits;
    const std::uint64_t capped = std::min<std::uint64_t>(seconds, 24 * 3600);
    limits.timeLimit = std::chrono::seconds(capped);
    limits.wallLimit = std::max(limits.wallLimit, std::chrono::milliseconds(std::chrono::seconds(6 * capped)));
    return limits;
}

LibraryResult LoadWithModuleLibrary(const std::string& path, const LibraryLimits& limits) {
    return Load(path, limits, nullptr);
}

namespace library {

LibraryResult LoadWithChildHook(const std::string& path, const LibraryLimits& limits,
                                const std::function<void(int)>& hook) {
    return Load(path, limits, hook);
}

bool MemoryLimitApplies() { return AddressSpaceLimitApplies(); }

std::string LibraryTempDirectory() {
    const std::lock_guard<std::mutex> lock(loadMutex);
    return sharedTemp.path();
}

}  // namespace library
}  // namespace vorneck
