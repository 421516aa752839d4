// SPDX-License-Identifier: MIT
// Writes the demo module collection into a directory (created if missing).
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "demo/module_builder.h"

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
    std::string error;
    if (!vorneck::demo::WriteDemoSet(argv[1], &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (const auto& file : vorneck::demo::DemoSet())
        std::printf("%s/%s\t%zu bytes\n", argv[1], file.name.c_str(), file.bytes.size());
    return 0;
}
