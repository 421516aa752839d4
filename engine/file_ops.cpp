// SPDX-License-Identifier: MIT
#include "engine/file_ops.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/write_ahead.h"

namespace vorneck {

// How writing through an unnamed file ended.
enum class UnnamedOutcome {
    Done,         // published, or failed for a reason to report (in the result)
    Taken,        // something sits at the name; nothing was changed
    Unsupported,  // the file system or kernel makes no unnamed files; nothing was changed
};

struct UnnamedResult {
    UnnamedOutcome outcome = UnnamedOutcome::Done;
    WriteResult result;
};

namespace {

// A path with a NUL byte in it would name some other file.
bool Usable(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }
bool UsableName(const std::string& name) {
    return Usable(name) && name.find('/') == std::string::npos && name != "." && name != "..";
}

FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// Opens a regular file read-only. The type is checked before the open so that
// a FIFO (whose open would wait for a writer) or a device is never opened;
// O_NONBLOCK and the fstat afterwards close the gap should the path be
// replaced in between. The path is looked at without following a link
// first, which is all it takes for a path that is none; `link` gets the
// link's own identity when it is one.
int OpenRegularForReading(const std::string& path, struct stat& st, int& error,
                          std::optional<FileIdentity>* link = nullptr) {
    if (!Usable(path)) {
        error = path.empty() ? ENOENT : EINVAL;
        return -1;
    }
    if (::lstat(path.c_str(), &st) != 0) {
        error = errno;
        return -1;
    }
    if (S_ISLNK(st.st_mode)) {
        if (link) *link = IdentityOf(st);
        if (::stat(path.c_str(), &st) != 0) {
            error = errno;
            return -1;
        }
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = EINVAL;
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const std::uint8_t* data, std::uint64_t size, int& error) {
    while (size > 0) {
        const std::size_t chunk = size > (std::uint64_t{1} << 30) ? (std::size_t{1} << 30)
                                                                  : static_cast<std::size_t>(size);
        const ssize_t n = ::write(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        if (n == 0) {
            error = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::uint64_t>(n);
    }
    return true;
}

class PosixInputFile : public InputFile {
public:
    explicit PosixInputFile(int fd) : fd_(fd) {}
    ~PosixInputFile() override { ::close(fd_); }
    PosixInputFile(const PosixInputFile&) = delete;
    PosixInputFile& operator=(const PosixInputFile&) = delete;

    std::optional<std::uint64_t> Read(std::span<std::uint8_t> into) override {
        std::uint64_t total = 0;
        while (total < into.size()) {
            const std::uint64_t left = into.size() - total;
            const std::size_t chunk = left > (std::uint64_t{1} << 30) ? (std::size_t{1} << 30)
                                                                      : static_cast<std::size_t>(left);
            const ssize_t n = ::read(fd_, into.data() + total, chunk);
            if (n < 0) {
                if (errno == EINTR) continue;
                return std::nullopt;
            }
            if (n == 0) break;
            total += static_cast<std::uint64_t>(n);
        }
        return total;
    }

private:
    int fd_;
};

bool IdentityOfOpen(int fd, FileIdentity& identity, int& error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errno;
        return false;
    }
    identity = IdentityOf(st);
    return true;
}

// --- The temporary file being written, for the interrupt handler ----------
//
// Only async-signal-safe state: the handler reads a directory descriptor and
// a fixed buffer. The record is filled before the file is created and
// cleared only after the file was renamed or removed, so a temporary file
// never exists unrecorded; a handler that runs before the creation or after
// the rename finds no file of that name and removes nothing. (Blocking the
// signals around each step instead would cost four system calls a sample.)
volatile std::sig_atomic_t gTemporaryActive = 0;
int gTemporaryDirectory = -1;
char gTemporaryName[64];

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

std::atomic<void (*)()> gExtraCleanup{nullptr};
static_assert(std::atomic<void (*)()>::is_always_lock_free);

void OnInterrupt(int signal) {
    const int savedErrno = errno;
    if (gTemporaryActive) ::unlinkat(gTemporaryDirectory, gTemporaryName, 0);
    if (const auto cleanup = gExtraCleanup.load()) cleanup();
    errno = savedErrno;
    // The handler was installed for one delivery; the signal raised again
    // ends the process with the status it would have had.
    ::raise(signal);
}

std::string TemporaryName() {
    static std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = kTemporaryPrefix;
    std::uint64_t bits = generator();
    for (int i = 0; i < 10; ++i) {
        name += kAlphabet[bits % 36];
        bits /= 36;
    }
    return name;
}

// Creates a new temporary file in `dir` and records it; the descriptor, or
// -1 with errno in `error`.
int CreateTemporary(int dir, std::string& name, int& error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName();
        std::memcpy(gTemporaryName, name.c_str(), name.size() + 1);
        gTemporaryDirectory = dir;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        gTemporaryActive = 1;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        const int fd = ::openat(dir, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) return fd;
        // Someone else's file of that name must never be removed for us.
        gTemporaryActive = 0;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (errno != EEXIST) {
            error = errno;
            return -1;
        }
    }
    error = EEXIST;
    return -1;
}

DirectoryEntry EntryOf(const struct stat& st) {
    DirectoryEntry entry;
    entry.identity = IdentityOf(st);
    if (S_ISREG(st.st_mode))
        entry.type = EntryType::Regular;
    else if (S_ISLNK(st.st_mode))
        entry.type = EntryType::Link;
    else if (S_ISDIR(st.st_mode))
        entry.type = EntryType::Directory;
    else
        entry.type = EntryType::Other;
    return entry;
}

// --- New names through an unnamed file ------------------------------------
//
// The file is made without a name (O_TMPFILE), written, and then linked in
// under its name. Until the link nothing of it can be seen, and the kernel
// frees it when the descriptor goes, so a process killed at any point, even
// by SIGKILL, leaves nothing behind and the interrupt handler has nothing to
// remove. linkat never replaces an entry and never follows a link at the
// name: a taken name fails with EEXIST.


// linkat with AT_EMPTY_PATH needs CAP_DAC_READ_SEARCH on most kernels; the
// same link made through /proc/self/fd works without it. Once the first way
// was refused, the second is taken from then on.
std::atomic<bool> gLinkThroughProc{false};

// 0 when the unnamed file `fd` now has `name` in `dir`; else the errno.
int LinkUnnamed(int fd, int dir, const char* name) {
    if (!gLinkThroughProc.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", dir, name, AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT && errno != EPERM) return errno;
    }
    char path[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, path, dir, name, AT_SYMLINK_FOLLOW) == 0) {
        gLinkThroughProc.store(true, std::memory_order_relaxed);
        return 0;
    }
    return errno;
}

// Links the unnamed file made ahead or just now in under `name`, and closes it.
UnnamedResult LinkUnnamedFile(const UnnamedFile& file, int dir, const std::string& name) {
    const int linkError = LinkUnnamed(file.fd, dir, name.c_str());
    // close cannot report a late write error on the local file systems that
    // make unnamed files (network file systems make none): the file linked
    // in holds every byte written.
    ::close(file.fd);
    if (linkError == 0) {
        WriteResult done;
        done.identity = file.identity;
        return {UnnamedOutcome::Done, done};
    }
    if (linkError == EEXIST) return {UnnamedOutcome::Taken, {}};
    // Neither way of linking is open to us (no capability, no /proc): the
    // named temporary file does the job.
    if (linkError == ENOENT && gLinkThroughProc.load(std::memory_order_relaxed) == false)
        return {UnnamedOutcome::Unsupported, {}};
    return {UnnamedOutcome::Done, {WriteStatus::CreateFailed, linkError}};
}

UnnamedResult PublishUnnamed(int dir, const std::string& name, std::span<const std::uint8_t> bytes) {
    const UnnamedFile file = MakeUnnamedFile(dir, bytes);
    if (file.unsupported) return {UnnamedOutcome::Unsupported, {}};
    if (file.fd < 0) return {UnnamedOutcome::Done, {file.failure, file.error}};
    return LinkUnnamedFile(file, dir, name);
}

// True when the regular file `name` in `dir`, as `seen` by fstatat, holds
// exactly `bytes`. The file is opened without following a link and without
// waiting. Whatever sits at the name once it is opened is what is compared:
// a file swapped in meanwhile is left alone only if it holds the same bytes,
// which leaves nothing lost, and one that differs is replaced only after
// the name is looked at again.
bool HoldsExactly(int dir, const std::string& name, std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kChunk = 256 * 1024;
    thread_local std::unique_ptr<std::uint8_t[]> buffer;
    if (!buffer) buffer.reset(new (std::nothrow) std::uint8_t[kChunk]);
    if (!buffer) return false;
    const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    // One byte more than the sample is asked for: a file that is longer
    // gives it, and a read that stops short has met the end of the file.
    bool same = true;
    std::uint64_t done = 0;
    while (same) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, bytes.size() + 1 - done));
        const ssize_t n = ::read(fd, buffer.get(), want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            same = n == 0;
            break;
        }
        const auto got = static_cast<std::uint64_t>(n);
        same = got <= bytes.size() - done && std::memcmp(buffer.get(), bytes.data() + done, got) == 0;
        done += got;
        if (got < want) break;
    }
    ::close(fd);
    return same && done == bytes.size();
}

// Where no unnamed file can be had, or a name is to be replaced: a named temporary file beside the name, renamed over it. The
// name is looked at again just before the rename, so that the decision is
// taken on what sits there then.
WriteResult PublishThroughRename(int dir, const std::string& name, std::span<const std::uint8_t> bytes,
                                 const ReplaceCheck& mayReplace, PosixFileOps& ops) {
    int error = 0;
    std::string temporary;
    const int fd = CreateTemporary(dir, temporary, error);
    if (fd < 0) return {WriteStatus::CreateFailed, error};
    bool ok = WriteAll(fd, bytes.data(), bytes.size(), error);
    FileIdentity identity;
    if (ok) ok = IdentityOfOpen(fd, identity, error);
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }

    WriteResult result;
    if (!ok) {
        result = {WriteStatus::WriteFailed, error};
    } else if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_NOREPLACE) != 0) {
        // The name is taken (or the file system cannot tell without a look):
        // see what is there before replacing it.
        const int noReplace = errno;
        if (noReplace != EEXIST && noReplace != EINVAL && noReplace != ENOSYS) {
            result = {WriteStatus::CreateFailed, noReplace};
        } else {
            const ReplaceDecision decision = mayReplace ? mayReplace(ops.EntryAt(dir, name)) : ReplaceDecision{};
            if (decision.verdict == ReplaceDecision::Verdict::Refuse)
                result = {WriteStatus::Refused, EEXIST, decision.rule};
            else if (decision.verdict == ReplaceDecision::Verdict::Fail)
                result = {WriteStatus::CreateFailed, decision.error};
            else if (::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0)
                result = {WriteStatus::CreateFailed, errno};
        }
    }
    if (result.status != WriteStatus::Ok) ::unlinkat(dir, temporary.c_str(), 0);
    else result.identity = identity;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gTemporaryActive = 0;
    return result;
}

}  // namespace

UnnamedFile MakeUnnamedFile(int dir, std::span<const std::uint8_t> bytes) {
    UnnamedFile file;
    const int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        file.error = errno;
        // What kernels and file systems without unnamed files answer.
        file.unsupported = file.error == EOPNOTSUPP || file.error == EISDIR || file.error == EINVAL;
        file.failure = WriteStatus::CreateFailed;
        return file;
    }
    // The file's identity, taken before it gets its name: whatever then sits
    // at that name (on a file system that folds letter case, under another
    // spelling) is known as this run's output by the file itself.
    if (!WriteAll(fd, bytes.data(), bytes.size(), file.error) || !IdentityOfOpen(fd, file.identity, file.error)) {
        ::close(fd);
        file.failure = WriteStatus::WriteFailed;
        return file;
    }
    file.fd = fd;
    return file;
}

std::optional<MeasuredFile> PosixFileOps::MeasureFile(const std::string& path, int& error) {
    struct stat st {};
    std::optional<FileIdentity> link;
    const int fd = OpenRegularForReading(path, st, error, &link);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    return MeasuredFile{static_cast<std::uint64_t>(st.st_size), IdentityOf(st), link};
}

std::optional<MeasuredFile> PosixFileOps::IdentifyEntry(const std::string& path) {
    struct stat own {};
    if (!Usable(path) || ::fstatat(AT_FDCWD, path.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    MeasuredFile entry{0, IdentityOf(own), std::nullopt};
    struct stat target {};
    if (S_ISLNK(own.st_mode)) {
        entry.link = entry.identity;
        // A dangling link protects only itself.
        if (::fstatat(AT_FDCWD, path.c_str(), &target, 0) == 0) entry.identity = IdentityOf(target);
    }
    return entry;
}

std::unique_ptr<InputFile> PosixFileOps::OpenInput(const std::string& path, int& error) {
    struct stat st {};
    const int fd = OpenRegularForReading(path, st, error);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixInputFile>(fd);
}

DirHandle PosixFileOps::OpenDirectory(const std::string& path, int& error) {
    if (!Usable(path)) {
        error = path.empty() ? ENOENT : EINVAL;
        return kNoDirectory;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A directory one may write into but not list is still a destination.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) error = errno;
    return fd;
}

bool PosixFileOps::MakeDirectoryAt(DirHandle parent, const std::string& name, int& error) {
    if (!UsableName(name)) {
        error = EINVAL;
        return false;
    }
    if (parent < 0) {
        error = ENOENT;
        return false;
    }
    if (::mkdirat(parent, name.c_str(), 0777) == 0) return true;
    error = errno;
    return false;
}

DirHandle PosixFileOps::OpenSubdirectory(DirHandle parent, const std::string& name, int& error) {
    if (!UsableName(name)) {
        error = EINVAL;
        return kNoDirectory;
    }
    if (parent < 0) {
        error = ENOENT;
        return kNoDirectory;
    }
    int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = ::openat(parent, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) error = errno;
    return fd;
}

bool PosixFileOps::RemoveEmptyDirectoryAt(DirHandle parent, const std::string& name) {
    return parent >= 0 && UsableName(name) && ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

void PosixFileOps::CloseDirectory(DirHandle dir) {
    // Nothing written ahead may outlive the handle it was meant for: the
    // number may come to name another directory.
    if (ahead_) ahead_->Forget();
    if (dir == noUnnamedIn_) noUnnamedIn_ = kNoDirectory;
    if (dir >= 0) ::close(dir);
}

std::uint64_t PosixFileOps::NameMax(DirHandle dir) {
    const long max = dir >= 0 ? ::fpathconf(dir, _PC_NAME_MAX) : -1;
    return max > 0 ? static_cast<std::uint64_t>(max) : 255;
}

DirectoryEntry PosixFileOps::EntryAt(DirHandle dir, const std::string& name) {
    struct stat st {};
    if (dir < 0 || !UsableName(name) || ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {};
    return EntryOf(st);
}

ReplaceDecision OnlyFilesAndLinks(const DirectoryEntry& entry) {
    switch (entry.type) {
        case EntryType::Missing:
        case EntryType::Regular:
        case EntryType::Link:
            return {};
        case EntryType::Directory:
            return {ReplaceDecision::Verdict::Fail, EISDIR};
        case EntryType::Other:
            break;
    }
    return {ReplaceDecision::Verdict::Fail, EEXIST};
}

PosixFileOps::PosixFileOps(Publishing publishing)
    : publishing_(publishing), twoCores_(WriteAhead::Worthwhile()) {}
PosixFileOps::~PosixFileOps() = default;

WriteResult PosixFileOps::WriteFileAt(DirHandle dir, const std::string& name, std::span<const std::uint8_t> bytes,
                                      const ReplaceCheck& mayReplace) {
    // Negative descriptors are never passed on: AT_FDCWD is one of them.
    if (dir < 0) return {WriteStatus::CreateFailed, ENOENT};
    if (!UsableName(name)) return {WriteStatus::CreateFailed, EINVAL};
    const WriteResult result = WriteOnce(dir, name, bytes, mayReplace);
    if (result.status != WriteStatus::CreateFailed && result.status != WriteStatus::WriteFailed) return result;
    // Files written ahead hold room on the disk and descriptors: a write
    // that failed while they were held is tried again without them, so that
    // it ends as it would have alone.
    if (!ahead_ || !ahead_->Holding()) return result;
    ahead_->Forget();
    return WriteOnce(dir, name, bytes, mayReplace);
}

WriteResult PosixFileOps::WriteOnce(DirHandle dir, const std::string& name, std::span<const std::uint8_t> bytes,
                                    const ReplaceCheck& mayReplace) {
    if (ahead_) {
        if (const auto made = ahead_->Take(dir, bytes)) {
            if (made->fd >= 0) return AfterUnnamed(LinkUnnamedFile(*made, dir, name), dir, name, bytes, mayReplace);
            if (made->unsupported) {
                noUnnamedIn_ = dir;
                ahead_->Forget();
            }
            // Otherwise it could not be made ahead: it is written now, and
            // fails, if it does, for its own reason.
        }
    }
    // A large file is not written blind: were its name taken, the unnamed
    // copy would have been written in vain. Without unnamed files a look
    // costs little beside the named temporary file.
    if (lookFirst_ || bytes.size() >= kLookFirstFrom || !UnnamedFilesIn(dir))
        return PublishLookingFirst(dir, name, bytes, mayReplace);
    return AfterUnnamed(PublishUnnamed(dir, name, bytes), dir, name, bytes, mayReplace);
}

WriteResult PosixFileOps::AfterUnnamed(const UnnamedResult& unnamed, DirHandle dir, const std::string& name,
                                       std::span<const std::uint8_t> bytes, const ReplaceCheck& mayReplace) {
    switch (unnamed.outcome) {
        case UnnamedOutcome::Done:
            return unnamed.result;
        case UnnamedOutcome::Taken:
            // Names come taken together (a destination of an earlier run):
            // the next ones are looked at before anything is written.
            LookFirstFromNow();
            break;
        case UnnamedOutcome::Unsupported:
            noUnnamedIn_ = dir;
            if (ahead_) ahead_->Forget();
            break;
    }
    return PublishLookingFirst(dir, name, bytes, mayReplace);
}

void PosixFileOps::LookFirstFromNow() {
    lookFirst_ = true;
    if (ahead_) ahead_->Forget();
}

bool PosixFileOps::WritesAhead() const {
    return publishing_ == Publishing::UnnamedFiles && !lookFirst_ && twoCores_;
}

void PosixFileOps::WriteAheadAt(DirHandle dir, std::span<const std::span<const std::uint8_t>> outputs) {
    if (dir < 0 || !WritesAhead() || !UnnamedFilesIn(dir)) return;
    // Only what WriteFileAt would write blind.
    std::vector<std::span<const std::uint8_t>> blind;
    blind.reserve(outputs.size());
    for (const auto& bytes : outputs)
        if (bytes.size() < kLookFirstFrom) blind.push_back(bytes);
    if (blind.empty()) return;
    if (!ahead_) ahead_ = std::make_unique<WriteAhead>();
    ahead_->Add(dir, blind);
}

void PosixFileOps::ForgetAhead() {
    if (ahead_) ahead_->Forget();
}

bool PosixFileOps::UnnamedFilesIn(DirHandle dir) const {
    return publishing_ == Publishing::UnnamedFiles && dir != noUnnamedIn_;
}

// A name that is likely taken: what sits there decides. The caller's rules
// say what may be replaced; a file that holds exactly these bytes already is
// left as it is (its time stamp too); anything else is replaced through a
// named temporary file.
WriteResult PosixFileOps::PublishLookingFirst(DirHandle dir, const std::string& name,
                                              std::span<const std::uint8_t> bytes, const ReplaceCheck& mayReplace) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) return PublishThroughRename(dir, name, bytes, mayReplace, *this);
        // Free after all: this module's names may all be new.
        lookFirst_ = false;
        if (UnnamedFilesIn(dir)) {
            const UnnamedResult unnamed = PublishUnnamed(dir, name, bytes);
            if (unnamed.outcome == UnnamedOutcome::Done) return unnamed.result;
            if (unnamed.outcome == UnnamedOutcome::Unsupported) noUnnamedIn_ = dir;
        }
        return PublishThroughRename(dir, name, bytes, mayReplace, *this);
    }
    LookFirstFromNow();
    const DirectoryEntry entry = EntryOf(st);
    const ReplaceDecision decision = mayReplace ? mayReplace(entry) : ReplaceDecision{};
    if (decision.verdict == ReplaceDecision::Verdict::Refuse) return {WriteStatus::Refused, EEXIST, decision.rule};
    if (decision.verdict == ReplaceDecision::Verdict::Fail) return {WriteStatus::CreateFailed, decision.error};
    // A file reached by this name alone: a second name of a file (a hard
    // link) gets a file of its own, as any replaced name does.
    if (entry.type == EntryType::Regular && st.st_nlink == 1 &&
        static_cast<std::uint64_t>(st.st_size) == bytes.size() && HoldsExactly(dir, name, bytes)) {
        // Left as it is: the file there is this sample's output now.
        WriteResult kept;
        kept.identity = entry.identity;
        return kept;
    }
    return PublishThroughRename(dir, name, bytes, mayReplace, *this);
}

void InstallInterruptCleanup() {
    for (int s : kCleanupSignals) {
        struct sigaction current {};
        ::sigaction(s, nullptr, &current);
        // A signal the parent told us to ignore stays ignored (nohup).
        if (current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(s, &action, nullptr);
    }
    // A write past the file size limit then fails with EFBIG and is reported
    // like any other failed write, instead of ending the process.
    struct sigaction fileSize {};
    ::sigaction(SIGXFSZ, nullptr, &fileSize);
    if (fileSize.sa_handler == SIG_DFL) ::signal(SIGXFSZ, SIG_IGN);
}

void SetInterruptCleanup(void (*cleanup)()) { gExtraCleanup.store(cleanup); }

}  // namespace vorneck
