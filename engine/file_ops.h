// The file operations the extraction run needs, behind an interface so that
// tests can make any one of them fail (running as root, permission tricks do
// not), and so that a dry run can stand in for the writer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vorneck {

enum class WriteStatus {
    Ok,
    CreateFailed,  // the file could not be created or truncated
    WriteFailed,   // created, but a write or the close failed; the file was removed
};

class FileOps {
public:
    virtual ~FileOps() = default;

    // Opens an existing regular file for reading and returns its size.
    // Anything that is not a regular file (FIFO, device, socket, directory)
    // is refused without being opened for I/O.
    virtual std::optional<std::uint64_t> MeasureFile(const std::string& path) = 0;

    // Reads up to buffer.size() bytes of a regular file from its start and
    // returns how many were read, or nullopt when it cannot be opened.
    virtual std::optional<std::uint64_t> ReadFile(const std::string& path,
                                                  std::span<std::uint8_t> buffer) = 0;

    // Creates one directory; fails when it exists already.
    virtual bool CreateDirectory(const std::string& path) = 0;

    // Creates or truncates the file at path and writes bytes to it.
    virtual WriteStatus WriteNewFile(const std::string& path,
                                     std::span<const std::uint8_t> bytes) = 0;
};

// The real thing, over POSIX calls. Never throws.
class PosixFileOps : public FileOps {
public:
    std::optional<std::uint64_t> MeasureFile(const std::string& path) override;
    std::optional<std::uint64_t> ReadFile(const std::string& path,
                                          std::span<std::uint8_t> buffer) override;
    bool CreateDirectory(const std::string& path) override;
    WriteStatus WriteNewFile(const std::string& path,
                             std::span<const std::uint8_t> bytes) override;
};

}  // namespace vorneck
