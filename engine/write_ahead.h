// SPDX-License-Identifier: MIT
// Writing a module's next outputs ahead, on a thread beside the run, into
// files without a name.
//
// Whether a write succeeds decides the number and name of the next sample,
// and every message must reach the front end in the order of the run, so
// the names are given on the run's thread, one after the other, as before.
// What moves to the second thread is only what no one can see: making an
// unnamed file (O_TMPFILE) and writing the sample's bytes into it. The run
// then links the file in under its name, or, if anything went otherwise
// than planned, drops it and writes the sample itself; an unnamed file
// dropped, or left by a killed process, is gone without a trace.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include "engine/file_ops.h"
#include "engine/handoff.h"

namespace vorneck {

// A file made in `dir` without a name, holding `bytes`.
struct UnnamedFile {
    int fd = -1;            // open for writing; -1 when it was not made
    FileIdentity identity;  // for a made file
    bool unsupported = false;  // the file system or kernel makes no unnamed files
    WriteStatus failure = WriteStatus::Ok;  // else why it was not made
    int error = 0;
};
UnnamedFile MakeUnnamedFile(int dir, std::span<const std::uint8_t> bytes);

class WriteAhead {
public:
    // At most this many files written ahead are held open at once.
    static constexpr std::size_t kMostHeld = 16;

    WriteAhead() = default;
    ~WriteAhead();
    WriteAhead(const WriteAhead&) = delete;
    WriteAhead& operator=(const WriteAhead&) = delete;

    // Whether a thread is worth having (two cores or more allowed).
    static bool Worthwhile();

    // Queues `outputs`, each to be written into an unnamed file in `dir`.
    // The bytes must stay as they are until Forget() has returned. Where no
    // thread can be started, nothing is queued.
    void Add(DirHandle dir, std::span<const std::span<const std::uint8_t>> outputs);

    // The unnamed file queued for exactly these bytes (the same memory) in
    // `dir`, once written, now the caller's to link or close; outputs queued
    // before it are dropped. nullopt when none was queued for them, or when
    // the thread has not begun it (it is dropped: the caller writes it).
    std::optional<UnnamedFile> Take(DirHandle dir, std::span<const std::uint8_t> bytes);

    // Drops every output queued and every file written and not taken; once
    // it returns, no byte handed to Add is read any more.
    void Forget();

    // Whether anything is queued or held.
    bool Holding();

private:
    struct Job {
        DirHandle dir = kNoDirectory;
        std::span<const std::uint8_t> bytes;
        enum class Stage { Queued, Writing, Done } stage = Stage::Queued;
        UnnamedFile file;
    };
    bool StartThread();
    void Work();
    Job* FirstQueuedLocked();
    void WriteJob(Job& job, std::unique_lock<std::mutex>& lock);
    std::size_t HeldLocked() const;
    void PopFrontLocked();

    Handoff handoff_;
    // In the order of the run: the first begun_ are being written or done,
    // the rest wait; writing_ are being written now.
    std::deque<Job> jobs_;
    std::size_t begun_ = 0;
    std::size_t writing_ = 0;
    bool stopping_ = false;
    bool unavailable_ = false;
    std::thread thread_;
};

}  // namespace vorneck
