// SPDX-License-Identifier: MIT
// vorneck-cli: runs the extraction engine over the modules named on the
// command line.
#include <unistd.h>

#include "cli/cli_app.h"
#include "engine/file_ops.h"

int main(int argc, char** argv) {
    // Interrupted while writing, the sample being written is removed.
    vorneck::InstallInterruptCleanup();
    vorneck::CliIo io(STDOUT_FILENO, STDERR_FILENO, ::isatty(STDERR_FILENO) == 1);
    return vorneck::RunCli(argc, argv, io);
}
