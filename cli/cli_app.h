// vorneck-cli: the extraction run without a window.
#pragma once

#include <iosfwd>

namespace vorneck {

// Runs the command line and returns the exit status: 0 when no message was
// reported, 1 when any was, 2 for a usage error. `progress` enables the
// modules-done counter on `err` (only ever for a terminal).
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool progress);

}  // namespace vorneck
