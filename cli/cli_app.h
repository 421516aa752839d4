// SPDX-License-Identifier: MIT
// vorneck-cli: the extraction run without a window.
#pragma once

#include <cstdint>
#include <functional>

#include "cli/cli_io.h"

namespace vorneck {

// Exit statuses.
inline constexpr int kExitDone = 0;     // everything asked for was done
inline constexpr int kExitFailed = 1;   // something failed (see --help)
inline constexpr int kExitUsage = 2;    // usage error, or an unusable destination

// Hooks for tests that need to act while a run goes on.
struct CliHooks {
    std::function<void(std::uint64_t done)> entryDone;
};

// Runs the command line over `io` and returns the exit status.
int RunCli(int argc, const char* const* argv, CliIo& io, const CliHooks& hooks = {});

}  // namespace vorneck
