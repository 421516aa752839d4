// SPDX-License-Identifier: MIT
// Writes a set of generated modules into a directory (created if missing):
// the demo collection (vorneck-make-demo), or the modules of the other
// formats the module library reads (vorneck-make-tracker-demo), inputs for
// trying the library path by hand and seeds for its fuzz target. Which set
// is chosen when the program is built.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "demo/module_builder.h"
#include "demo/tracker_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "%s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
#ifdef VORNECK_TRACKER_SET
    const auto files = vorneck::demo::TrackerDemoSet();
#else
    const auto files = vorneck::demo::DemoSet();
#endif
    std::string error;
    if (!vorneck::demo::WriteFiles(files, argv[1], &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (const auto& file : files) std::printf("%s/%s\t%zu bytes\n", argv[1], file.name.c_str(), file.bytes.size());
    return 0;
}
