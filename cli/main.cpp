#include <iostream>
#include <unistd.h>

#include "cli/cli_app.h"
#include "engine/file_ops.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    vorneck::InstallInterruptCleanup();
    return vorneck::RunCli(argc, argv, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
