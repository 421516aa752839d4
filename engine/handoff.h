// SPDX-License-Identifier: MIT
// The lock and wake-up between the run's thread and a thread working ahead
// of it. The two usually wait only microseconds for each other, where going
// to sleep and being woken costs two system calls and two switches of
// context each time: a waiter first watches for a change for a short while
// (some tens of microseconds), and sleeps only when none comes.
#pragma once

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

namespace vorneck {

// Whether the process may run on two cores or more at once: the cores it
// is allowed (taskset, a container's cpuset), not only those the machine has.
inline bool TwoCoresOrMore() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) return CPU_COUNT(&allowed) >= 2;
    return std::thread::hardware_concurrency() >= 2;
}

// Starts `work` on `thread` with every signal blocked, so that signals
// reach the run's thread as they would without it (the interrupt cleanup
// runs there). False when no thread could be had.
template <typename Work>
bool StartBeside(std::thread& thread, Work work) {
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &previous);
    bool started = true;
    try {
        thread = std::thread(std::move(work));
    } catch (const std::exception&) {
        started = false;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

class Handoff {
public:
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }

    // After every change of the shared state, with the lock held.
    void Changed() {
        version_.fetch_add(1, std::memory_order_release);
        changed_.notify_all();
    }

    // Returns, with `lock` held, once `ready()` holds (checked with the
    // lock held), sleeping until then: for the thread working ahead, whose
    // waits for more work are long.
    template <typename Ready>
    void Sleep(std::unique_lock<std::mutex>& lock, Ready ready) {
        changed_.wait(lock, ready);
    }

    // The same, watching first: for the run's thread, which waits for the
    // other only while it finishes a piece of work.
    template <typename Ready>
    void Wait(std::unique_lock<std::mutex>& lock, Ready ready) {
        for (int round = 0; round < kWatchRounds && !ready(); ++round) {
            const std::uint64_t seen = version_.load(std::memory_order_acquire);
            lock.unlock();
            for (int i = 0; i < kWatchSteps && version_.load(std::memory_order_acquire) == seen; ++i) Relax();
            lock.lock();
        }
        changed_.wait(lock, ready);
    }

private:
    static constexpr int kWatchRounds = 4;
    static constexpr int kWatchSteps = 1024;
    static void Relax() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__)
        asm volatile("yield");
#endif
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<std::uint64_t> version_{0};
};

}  // namespace vorneck
