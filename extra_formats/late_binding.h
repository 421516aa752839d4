// SPDX-License-Identifier: MIT
// libxmp is opened when the first file is offered to it, not when the
// program starts.
#pragma once

namespace vorneck {

// Opens libxmp and finds its functions, once; later calls do nothing. Called
// before the first child process is started, so that each child finds the
// library in place instead of opening it again. False when it cannot be
// used (the children then fail as a missing library would make them).
bool PreloadModuleLibrary();

}  // namespace vorneck
