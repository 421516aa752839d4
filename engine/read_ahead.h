// SPDX-License-Identifier: MIT
// Loading a module file into memory, on the caller's thread or on a thread
// beside it while the caller writes the samples of the module before.
//
// Only the reading moves: whether a sample's file could be written decides
// the number and name of the next one, and every message reaches the front
// end in the order of the run, so the walkers, the writes and the reports
// stay on the thread that drives the run. A load done ahead is reported when
// the run reaches that entry, exactly as a load done then would be.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/extraction_state.h"
#include "engine/file_ops.h"
#include "engine/handoff.h"

namespace vorneck {

// A module's bytes in memory, with room for more.
struct ModuleImage {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::uint64_t capacity = 0;
};

// How far loading one file got. The steps fail in the order the run reports
// them.
struct LoadedFile {
    enum class Step {
        Loaded,          // a module, read as far as its format can address
        NotModule,       // its first bytes name no format the run knows; only they were read
        TooLarge,        // a module larger than any real one of its format; only its first bytes were read
        OpenFailed,      // error: errno of the open
        HeadNoMemory,    // no memory for the first bytes
        HeadReadFailed,  // error: errno, or 0 for a short read
        NoMemory,        // a module, but no memory for the rest of it
        ReadFailed,      // a module, but the rest could not be read (error as above)
    } step = Step::OpenFailed;
    int error = 0;
    ModuleKind kind = ModuleKind::None;
    std::uint64_t size = 0;  // the bytes of the image that belong to the file
};

// Reads the file at `path` (measured at `fileSize` bytes) into `image`,
// growing it up to `limit` bytes. With `trackerFormats`, the tracker
// formats of the command line's own readers count as modules too.
LoadedFile LoadFile(FileOps& files, const std::string& path, std::uint64_t fileSize, ModuleImage& image,
                    std::uint64_t limit, bool trackerFormats = false);

// One thread that loads one file at a time ahead of the run.
class ReadAhead {
public:
    // Files larger than this are loaded when the run reaches them, so that
    // memory stays within the largest module and this much more.
    static constexpr std::uint64_t kMostBytes = std::uint64_t{4} << 20;

    explicit ReadAhead(FileOps& files, bool trackerFormats = false)
        : files_(files), trackerFormats_(trackerFormats) {}
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // True when two cores or more can share the work.
    static bool Worthwhile();

    // Starts loading the entry at list position `position`; any earlier
    // load not taken is dropped.
    void Start(std::uint64_t position, const std::string& path, std::uint64_t fileSize, std::uint64_t limit);
    // True when the load under way or done is of this entry and path.
    bool Holds(std::uint64_t position, const std::string& path) const { return active_ && position == position_ && path == path_; }
    // Waits for the load and swaps its image with `image` (the image given
    // back is kept for the next load when it is not too large); a load not
    // yet begun is done here instead.
    LoadedFile Take(ModuleImage& image);
    // Waits for a load under way, if begun, and forgets it.
    void Drop();

private:
    void Work();
    bool StartThread();
    bool Settle(std::unique_lock<std::mutex>& lock);

    FileOps& files_;
    const bool trackerFormats_;
    Handoff handoff_;
    std::thread thread_;
    // Read and written by the run's thread only.
    bool unavailable_ = false;  // the thread could not be started
    bool active_ = false;
    std::uint64_t position_ = 0;
    std::string path_;
    // Shared, under handoff_'s lock. A request the thread has not begun is taken
    // back by the run, which then loads the file itself rather than wait for
    // a thread that has not been given a core.
    enum class Stage { Idle, Requested, Loading } stage_ = Stage::Idle;
    bool stopping_ = false;
    bool failed_ = false;  // the load threw; the run loads the file itself
    std::string request_;
    std::uint64_t fileSize_ = 0;
    std::uint64_t limit_ = 0;
    LoadedFile result_;
    ModuleImage image_;
};

}  // namespace vorneck
