// SPDX-License-Identifier: MIT
#include "engine/write_ahead.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <system_error>

namespace vorneck {

bool WriteAhead::Worthwhile() {
    static const bool worthwhile = std::thread::hardware_concurrency() >= 2;
    return worthwhile;
}

WriteAhead::~WriteAhead() {
    if (thread_.joinable()) {
        {
            std::unique_lock lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    for (const Job& job : jobs_)
        if (job.stage == Job::Stage::Done && job.file.fd >= 0) ::close(job.file.fd);
}

// The thread is started with every signal blocked, so that signals reach the
// run's thread as they would without it (the interrupt cleanup runs there).
bool WriteAhead::StartThread() {
    if (unavailable_) return false;
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &previous);
    try {
        thread_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        unavailable_ = true;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return !unavailable_;
}

bool WriteAhead::Add(DirHandle dir, std::span<const std::span<const std::uint8_t>> outputs) {
    if (outputs.empty()) return true;
    if (!thread_.joinable() && !StartThread()) return false;
    {
        std::unique_lock lock(mutex_);
        for (const auto& bytes : outputs) jobs_.push_back({dir, bytes, Job::Stage::Queued, {}});
    }
    changed_.notify_all();
    return true;
}

std::size_t WriteAhead::HeldLocked() const {
    std::size_t held = 0;
    for (const Job& job : jobs_)
        if (job.stage == Job::Stage::Writing || (job.stage == Job::Stage::Done && job.file.fd >= 0)) ++held;
    return held;
}

void WriteAhead::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        Job* next = nullptr;
        changed_.wait(lock, [&] {
            if (stopping_) return true;
            next = nullptr;
            for (Job& job : jobs_)
                if (job.stage == Job::Stage::Queued) {
                    next = &job;
                    break;
                }
            return next && HeldLocked() < kMostHeld;
        });
        if (stopping_) return;
        // The job stays where it is until it is done: elements of a deque
        // keep their place while others are added behind them, and no one
        // removes a job being written.
        next->stage = Job::Stage::Writing;
        const DirHandle dir = next->dir;
        const auto bytes = next->bytes;
        lock.unlock();
        UnnamedFile file = MakeUnnamedFile(dir, bytes);
        lock.lock();
        next->file = file;
        next->stage = Job::Stage::Done;
        changed_.notify_all();
    }
}

void WriteAhead::SettleLocked(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [&] {
        return std::none_of(jobs_.begin(), jobs_.end(),
                            [](const Job& job) { return job.stage == Job::Stage::Writing; });
    });
}

std::optional<UnnamedFile> WriteAhead::Take(DirHandle dir, std::span<const std::uint8_t> bytes) {
    std::unique_lock lock(mutex_);
    const auto match = std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& job) {
        return job.dir == dir && job.bytes.data() == bytes.data() && job.bytes.size() == bytes.size();
    });
    if (match == jobs_.end()) return std::nullopt;
    // Outputs skipped by the run (a copy not written again, a sample its
    // format refused) are dropped on the way.
    for (auto before = match - jobs_.begin(); before > 0; --before) {
        changed_.wait(lock, [&] { return jobs_.front().stage != Job::Stage::Writing; });
        if (jobs_.front().stage == Job::Stage::Done && jobs_.front().file.fd >= 0) ::close(jobs_.front().file.fd);
        jobs_.pop_front();
        changed_.notify_all();
    }
    // Not begun yet: the caller writes it itself rather than wait, and the
    // thread goes on with the ones after it.
    if (jobs_.front().stage == Job::Stage::Queued) {
        jobs_.pop_front();
        return std::nullopt;
    }
    changed_.wait(lock, [&] { return jobs_.front().stage == Job::Stage::Done; });
    const UnnamedFile file = jobs_.front().file;
    jobs_.pop_front();
    lock.unlock();
    changed_.notify_all();
    return file;
}

void WriteAhead::Forget() {
    std::unique_lock lock(mutex_);
    if (jobs_.empty()) return;
    // Jobs are written in order: the queued ones are the last.
    while (!jobs_.empty() && jobs_.back().stage == Job::Stage::Queued) jobs_.pop_back();
    SettleLocked(lock);
    for (const Job& job : jobs_)
        if (job.file.fd >= 0) ::close(job.file.fd);
    jobs_.clear();
    lock.unlock();
    changed_.notify_all();
}

bool WriteAhead::Holding() {
    std::unique_lock lock(mutex_);
    return !jobs_.empty();
}

}  // namespace vorneck
