#include "engine/file_ops.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorneck {
namespace {

// Opens a regular file read-only. The type is checked before the open so that
// a FIFO (whose open would wait for a writer) or a device is never opened;
// O_NONBLOCK and the fstat afterwards close the gap should the path be
// replaced in between.
// A path with a NUL byte in it would name some other file.
bool Usable(const std::string& path) { return path.find('\0') == std::string::npos; }

int OpenRegularForReading(const std::string& path, struct stat& st) {
    if (!Usable(path)) return -1;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const std::uint8_t* data, std::uint64_t size) {
    while (size > 0) {
        const std::size_t chunk = size > (std::uint64_t{1} << 30) ? (std::size_t{1} << 30)
                                                                  : static_cast<std::size_t>(size);
        const ssize_t n = ::write(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

std::optional<std::uint64_t> PosixFileOps::MeasureFile(const std::string& path) {
    struct stat st {};
    const int fd = OpenRegularForReading(path, st);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::uint64_t> PosixFileOps::ReadFile(const std::string& path,
                                                    std::span<std::uint8_t> buffer) {
    struct stat st {};
    const int fd = OpenRegularForReading(path, st);
    if (fd < 0) return std::nullopt;
    std::uint64_t total = 0;
    while (total < buffer.size()) {
        const std::uint64_t left = buffer.size() - total;
        const std::size_t chunk = left > (std::uint64_t{1} << 30) ? (std::size_t{1} << 30)
                                                                  : static_cast<std::size_t>(left);
        const ssize_t n = ::read(fd, buffer.data() + total, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) break;
        total += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    return total;
}

bool PosixFileOps::CreateDirectory(const std::string& path) {
    return Usable(path) && ::mkdir(path.c_str(), 0777) == 0;
}

WriteStatus PosixFileOps::WriteNewFile(const std::string& path,
                                       std::span<const std::uint8_t> bytes) {
    if (!Usable(path)) return WriteStatus::CreateFailed;
    // O_NONBLOCK keeps a FIFO that happens to sit at the path from blocking
    // the run; anything but a regular file is refused.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                          0666);
    if (fd < 0) return WriteStatus::CreateFailed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return WriteStatus::CreateFailed;
    }
    const bool written = WriteAll(fd, bytes.data(), bytes.size());
    const bool closed = ::close(fd) == 0;
    if (written && closed) return WriteStatus::Ok;
    ::unlink(path.c_str());
    return WriteStatus::WriteFailed;
}

}  // namespace vorneck
