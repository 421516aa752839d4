// SPDX-License-Identifier: MIT
#include "engine/write_ahead.h"

#include <unistd.h>

#include <algorithm>

namespace vorneck {

bool WriteAhead::Worthwhile() { return TwoCoresOrMore(); }

WriteAhead::~WriteAhead() {
    if (thread_.joinable()) {
        {
            auto lock = handoff_.Lock();
            stopping_ = true;
        }
        handoff_.Changed();
        thread_.join();
    }
    for (const Job& job : jobs_)
        if (job.stage == Job::Stage::Done && job.file.fd >= 0) ::close(job.file.fd);
}

bool WriteAhead::StartThread() {
    if (unavailable_) return false;
    unavailable_ = !StartBeside(thread_, [this] { Work(); });
    return !unavailable_;
}

void WriteAhead::Add(DirHandle dir, std::span<const std::span<const std::uint8_t>> outputs) {
    if (outputs.empty() || (!thread_.joinable() && !StartThread())) return;
    {
        auto lock = handoff_.Lock();
        for (const auto& bytes : outputs) jobs_.push_back({dir, bytes, Job::Stage::Queued, {}});
    }
    handoff_.Changed();
}

// Each job begun holds at most one descriptor until it is taken or dropped.
std::size_t WriteAhead::HeldLocked() const { return begun_; }

WriteAhead::Job* WriteAhead::FirstQueuedLocked() { return begun_ < jobs_.size() ? &jobs_[begun_] : nullptr; }

// The job stays where it is while it is written, unlocked: elements of a
// deque keep their place while others are added behind them or taken from
// the front, and no one removes a job being written.
void WriteAhead::WriteJob(Job& job, std::unique_lock<std::mutex>& lock) {
    job.stage = Job::Stage::Writing;
    ++begun_;
    ++writing_;
    const DirHandle dir = job.dir;
    const auto bytes = job.bytes;
    lock.unlock();
    const UnnamedFile file = MakeUnnamedFile(dir, bytes);
    lock.lock();
    job.file = file;
    job.stage = Job::Stage::Done;
    --writing_;
    handoff_.Changed();
}

void WriteAhead::Work() {
    auto lock = handoff_.Lock();
    for (;;) {
        Job* next = nullptr;
        handoff_.Sleep(lock, [&] {
            if (stopping_) return true;
            next = FirstQueuedLocked();
            return next && HeldLocked() < kMostHeld;
        });
        if (stopping_) return;
        WriteJob(*next, lock);
    }
}

void WriteAhead::PopFrontLocked() {
    if (begun_ > 0) --begun_;
    jobs_.pop_front();
}

std::optional<UnnamedFile> WriteAhead::Take(DirHandle dir, std::span<const std::uint8_t> bytes) {
    auto lock = handoff_.Lock();
    const auto match = std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& job) {
        return job.dir == dir && job.bytes.data() == bytes.data() && job.bytes.size() == bytes.size();
    });
    if (match == jobs_.end()) return std::nullopt;
    // Outputs skipped by the run (a copy not written again, a sample its
    // format refused) are dropped on the way.
    for (auto before = match - jobs_.begin(); before > 0; --before) {
        handoff_.Wait(lock, [&] { return jobs_.front().stage != Job::Stage::Writing; });
        if (jobs_.front().stage == Job::Stage::Done && jobs_.front().file.fd >= 0) ::close(jobs_.front().file.fd);
        PopFrontLocked();
    }
    // Not begun yet: the caller writes it itself rather than wait, and the
    // thread goes on with the ones after it.
    if (jobs_.front().stage == Job::Stage::Queued) {
        PopFrontLocked();
        lock.unlock();
        handoff_.Changed();
        return std::nullopt;
    }
    // Being written: rather than sleep, the caller writes the next one not
    // begun, as the thread would.
    while (jobs_.front().stage != Job::Stage::Done) {
        Job* next = FirstQueuedLocked();
        if (next && HeldLocked() < kMostHeld) {
            WriteJob(*next, lock);
            continue;
        }
        handoff_.Wait(lock, [&] {
            return jobs_.front().stage == Job::Stage::Done || (FirstQueuedLocked() && HeldLocked() < kMostHeld);
        });
    }
    const UnnamedFile file = jobs_.front().file;
    PopFrontLocked();
    lock.unlock();
    handoff_.Changed();
    return file;
}

void WriteAhead::Forget() {
    auto lock = handoff_.Lock();
    if (jobs_.empty()) return;
    // Jobs are begun in order: the ones not begun are the last.
    jobs_.resize(begun_);
    handoff_.Wait(lock, [&] { return writing_ == 0; });
    for (const Job& job : jobs_)
        if (job.file.fd >= 0) ::close(job.file.fd);
    jobs_.clear();
    begun_ = 0;
    lock.unlock();
    handoff_.Changed();
}

bool WriteAhead::Holding() {
    auto lock = handoff_.Lock();
    return !jobs_.empty();
}

}  // namespace vorneck
