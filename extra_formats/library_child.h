// SPDX-License-Identifier: MIT
// The loading child: what runs between fork and _exit.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

namespace vorneck::library {

// Exit statuses of a child that could not send (or finish) its answer.
inline constexpr int kExitWriteFailed = 70;
inline constexpr int kExitOutOfMemory = 71;
inline constexpr int kExitInternalError = 72;

struct ChildSetup {
    std::string path;
    int outputFd = -1;
    pid_t parentPid = 0;
    std::string tempDirectory;    // where the library unpacks packed files
    std::uint64_t cpuSeconds = 0;
    std::uint64_t addressSpace = 0;  // absolute RLIMIT_AS; 0 for none
    std::uint64_t fileSizeLimit = 0; // RLIMIT_FSIZE for the library's temporary files
    std::uint64_t pcmBudget = 0;
};

// Runs in the child right after fork: cuts it off from the parent's signal
// handlers, descriptors and environment, applies the limits, lets `hook`
// run (tests make the child misbehave there), loads the module and writes
// the answer to setup.outputFd. Never returns.
[[noreturn]] void RunLoadingChild(const ChildSetup& setup, const std::function<void(int)>& hook);

// True where the address-space limit is applied: not under AddressSanitizer,
// whose shadow memory needs far more address space than any limit allows.
bool AddressSpaceLimitApplies();

}  // namespace vorneck::library
