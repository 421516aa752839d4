// SPDX-License-Identifier: MIT
// The file operations the extraction run needs, behind an interface so that
// tests can make any one of them fail (running as root, permission tricks do
// not), and so that a dry run can stand in for the writer.
//
// Outputs are made relative to directory handles: the destination is opened
// once per run, and everything below it is created with the *at calls, never
// by following a link that sits at an output path.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace vorneck {

// Device and inode: what tells two names of one file apart from two files.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
    auto operator<=>(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const noexcept {
        // Inodes differ in their low bits; devices are few.
        return static_cast<std::size_t>(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

struct MeasuredFile {
    std::uint64_t size = 0;
    FileIdentity identity;
    // When the path itself is a link: the link's own identity.
    std::optional<FileIdentity> link;
};

// An input file opened for reading from its start.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to into.size() bytes, continuing where the last read ended;
    // returns how many were read (fewer only at the end of the file), or
    // nullopt on a read error.
    virtual std::optional<std::uint64_t> Read(std::span<std::uint8_t> into) = 0;
};

// What sits at a name inside a directory, without following a link there.
enum class EntryType { Missing, Regular, Link, Directory, Other };
struct DirectoryEntry {
    EntryType type = EntryType::Missing;
    FileIdentity identity;
};

enum class WriteStatus {
    Ok,
    CreateFailed,  // the file could not be created
    WriteFailed,   // created, but a write or the close failed; nothing was replaced
    Refused,       // something sits at the name that the caller will not have replaced
};

// Whether what sits at an output name may be replaced: the caller's rules
// (Refuse) or its kind (Fail, with the errno to report).
struct ReplaceDecision {
    enum class Verdict { Allow, Refuse, Fail } verdict = Verdict::Allow;
    int error = 0;
    int rule = 0;  // for Refuse: which of the caller's rules said no, handed back in WriteResult
};
using ReplaceCheck = std::function<ReplaceDecision(const DirectoryEntry&)>;

// Files and links may be replaced; directories, FIFOs, sockets and devices
// may not.
ReplaceDecision OnlyFilesAndLinks(const DirectoryEntry& entry);

struct WriteResult {
    WriteStatus status = WriteStatus::Ok;
    int error = 0;  // errno of the call that failed
    int rule = 0;   // for Refused: the rule of the ReplaceCheck that refused
    // For Ok: the file now at the name, as it was before it got the name.
    FileIdentity identity{};
};

// An open directory. Invalid handles (-1) make every call on them fail with
// ENOENT, so that a destination that could not be opened still yields one
// "cannot create" per output, as a missing directory would.
using DirHandle = int;
inline constexpr DirHandle kNoDirectory = -1;

class FileOps {
public:
    virtual ~FileOps() = default;

    // --- Inputs ---------------------------------------------------------
    // Opens an existing regular file for reading and returns its size and
    // identity. Anything that is not a regular file (FIFO, device, socket,
    // directory) is refused without being opened for I/O. `error` gets errno.
    virtual std::optional<MeasuredFile> MeasureFile(const std::string& path, int& error) = 0;
    // Opens a regular file for reading, or nullptr (with errno in `error`).
    virtual std::unique_ptr<InputFile> OpenInput(const std::string& path, int& error) = 0;
    // The identity of whatever is at `path` without opening it (a file one
    // may not read has one too), and of the link when the path is one; size
    // is not set. nullopt when nothing is there.
    virtual std::optional<MeasuredFile> IdentifyEntry(const std::string& path) = 0;

    // --- Outputs --------------------------------------------------------
    // Opens a directory the user named; a link there is followed (the user
    // chose it).
    virtual DirHandle OpenDirectory(const std::string& path, int& error) = 0;
    // Creates the directory `name` inside `parent`; fails when anything of
    // that name exists already.
    virtual bool MakeDirectoryAt(DirHandle parent, const std::string& name, int& error) = 0;
    // Opens the directory `name` inside `parent` only if it is a real
    // directory: a link at that name is not followed.
    virtual DirHandle OpenSubdirectory(DirHandle parent, const std::string& name, int& error) = 0;
    virtual void CloseDirectory(DirHandle dir) = 0;
    // Removes the directory `name` inside `parent` if it is empty.
    virtual bool RemoveEmptyDirectoryAt(DirHandle parent, const std::string& name) = 0;
    // The longest file name the directory's file system allows, in bytes.
    virtual std::uint64_t NameMax(DirHandle dir) = 0;
    // What is at `name` inside `dir`, links not followed.
    virtual DirectoryEntry EntryAt(DirHandle dir, const std::string& name) = 0;
    // Writes `bytes` as the file `name` inside `dir`: to a temporary file in
    // the same directory first, then renamed over the name, so that the name
    // holds either its old content or the whole new one, never part of it.
    // A link at the name is replaced, never followed. Whatever sits at the
    // name is replaced only if `mayReplace` allows it.
    virtual WriteResult WriteFileAt(DirHandle dir, const std::string& name, std::span<const std::uint8_t> bytes,
                                    const ReplaceCheck& mayReplace = OnlyFilesAndLinks) = 0;

    // --- Writing ahead (optional; the defaults do nothing) ---------------
    // Whether WriteAheadAt would do anything now: a caller need not find
    // out what to hand over otherwise.
    virtual bool WritesAhead() const { return false; }
    // The bytes of the outputs the run is about to write in `dir`, in order,
    // before their names are known. An implementation may write them ahead,
    // where no one sees them, so that WriteFileAt of the same bytes (the same
    // memory) has only to give them their names. The bytes stay valid and
    // unchanged until ForgetAhead.
    virtual void WriteAheadAt(DirHandle /*dir*/, std::span<const std::span<const std::uint8_t>> /*outputs*/) {}
    // Drops what was written ahead and not named; once it returns, no byte
    // handed over is read any more.
    virtual void ForgetAhead() {}
};

class WriteAhead;
struct UnnamedResult;

// The real thing, over POSIX calls. Never throws.
//
// A new name is made through an unnamed file (O_TMPFILE) that is linked into
// place once written: nothing of it is seen before, nothing stays behind
// after a kill. Where the file system has no unnamed files, and wherever a
// name is to be replaced, a named temporary file is renamed over the name.
// A name found taken makes the following writes look before they write; a
// name that already holds exactly the bytes to be written is left alone.
// Outputs handed over ahead are written into unnamed files on a second
// thread while the run names the ones before them.
class PosixFileOps : public FileOps {
public:
    enum class Publishing {
        UnnamedFiles,      // unnamed files where the file system has them
        RenamedTemporary,  // always a named temporary file and a rename
    };
    explicit PosixFileOps(Publishing publishing = Publishing::UnnamedFiles);
    ~PosixFileOps() override;
    PosixFileOps(const PosixFileOps&) = delete;
    PosixFileOps& operator=(const PosixFileOps&) = delete;

    std::optional<MeasuredFile> MeasureFile(const std::string& path, int& error) override;
    std::unique_ptr<InputFile> OpenInput(const std::string& path, int& error) override;
    std::optional<MeasuredFile> IdentifyEntry(const std::string& path) override;
    DirHandle OpenDirectory(const std::string& path, int& error) override;
    bool MakeDirectoryAt(DirHandle parent, const std::string& name, int& error) override;
    DirHandle OpenSubdirectory(DirHandle parent, const std::string& name, int& error) override;
    void CloseDirectory(DirHandle dir) override;
    bool RemoveEmptyDirectoryAt(DirHandle parent, const std::string& name) override;
    std::uint64_t NameMax(DirHandle dir) override;
    DirectoryEntry EntryAt(DirHandle dir, const std::string& name) override;
    WriteResult WriteFileAt(DirHandle dir, const std::string& name, std::span<const std::uint8_t> bytes,
                            const ReplaceCheck& mayReplace = OnlyFilesAndLinks) override;
    // New names in a directory with unnamed files are written ahead on a
    // second thread, where there are two cores or more.
    bool WritesAhead() const override;
    void WriteAheadAt(DirHandle dir, std::span<const std::span<const std::uint8_t>> outputs) override;
    void ForgetAhead() override;

    // Files of at least this size look at their name before they are written.
    static constexpr std::uint64_t kLookFirstFrom = std::uint64_t{1} << 20;

private:
    bool UnnamedFilesIn(DirHandle dir) const;
    WriteResult WriteOnce(DirHandle dir, const std::string& name, std::span<const std::uint8_t> bytes,
                          const ReplaceCheck& mayReplace);
    // Names are found taken: the next writes look first, and nothing more
    // is written ahead blind.
    void LookFirstFromNow();
    // What follows an attempt through an unnamed file.
    WriteResult AfterUnnamed(const UnnamedResult& unnamed, DirHandle dir, const std::string& name,
                             std::span<const std::uint8_t> bytes, const ReplaceCheck& mayReplace);
    WriteResult PublishLookingFirst(DirHandle dir, const std::string& name, std::span<const std::uint8_t> bytes,
                                    const ReplaceCheck& mayReplace);

    Publishing publishing_;
    // Two cores or more were allowed when these operations were made.
    bool twoCores_ = false;
    // The last name written was found taken.
    bool lookFirst_ = false;
    // A directory whose file system made no unnamed file.
    DirHandle noUnnamedIn_ = kNoDirectory;
    std::unique_ptr<WriteAhead> ahead_;
};

// Temporary files of the writer start with this; they are hidden, so that
// a file list never shows one left behind by a crash.
inline constexpr const char* kTemporaryPrefix = ".vorneck-";

// Removes the temporary file being written, if any, when SIGINT, SIGTERM,
// SIGHUP or SIGQUIT arrives, runs the cleanup set below, then lets the
// signal end the process as it would have. SIGXFSZ is ignored (unless the
// caller's parent set it otherwise), so that a write past the file size
// limit fails with EFBIG and is reported like any failed write instead of
// ending the run. Front ends call it once at start-up.
void InstallInterruptCleanup();

// One more thing the interrupt handler does before the signal ends the
// process (the module library's private directory). It runs inside a
// signal handler: only async-signal-safe calls. nullptr for none.
void SetInterruptCleanup(void (*cleanup)());

}  // namespace vorneck
