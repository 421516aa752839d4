// SPDX-License-Identifier: MIT
// For the tests only: the same load with code of the caller's choosing run
// in the child, after its limits are in place and before the library is
// called. The hook gets the descriptor of the answer's pipe; tests crash,
// hang, exhaust memory or write garbage there.
#pragma once

#include <functional>
#include <string>

#include "extra_formats/module_library.h"

namespace vorneck::library {

LibraryResult LoadWithChildHook(const std::string& path, const LibraryLimits& limits,
                                const std::function<void(int outputFd)>& hook);

// Whether the child's address-space limit is applied in this build.
bool MemoryLimitApplies();

// The directory the latest load's child unpacked into (made for that load,
// in the TMPDIR of that moment, and removed after it); empty before the
// first load.
std::string LibraryTempDirectory();

}  // namespace vorneck::library
