// SPDX-License-Identifier: MIT
// Arbitrary bytes as the one file of a source folder, run through the whole
// command line with every format (-a), with and without a directory per
// module: whatever the engine's walkers or the module library make of them,
// nothing is written outside the destination, no temporary file stays, and
// a module writes no more than its bound (its own size for the engine's
// formats, the library path's bound for the others).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "engine/extraction_run.h"
#include "engine/file_ops.h"
#include "engine/tracker_formats.h"
#include "extra_formats/module_library.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "command-line fuzz: %s (%s)\n", what, detail.c_str());
    std::abort();
}

std::string scratch;

void RemoveScratch() {
    std::error_code ec;
    fs::remove_all(scratch, ec);
}

const std::string& Scratch() {
    if (scratch.empty()) {
        scratch = "/tmp/vorneck-cli-fuzz-XXXXXX";
        if (!::mkdtemp(scratch.data())) Fail("cannot create a directory", scratch);
        fs::create_directory(scratch + "/src");
        fs::create_directory(scratch + "/out");
        std::atexit(RemoveScratch);
    }
    return scratch;
}

std::vector<std::string> Names(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& base = Scratch();
    const std::string input = base + "/src/input.mod";
    const std::string out = base + "/out";
    for (const auto& entry : fs::directory_iterator(out)) fs::remove_all(entry.path());
    {
        const int fd = ::open(input.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || (size && ::write(fd, data, size) != static_cast<ssize_t>(size))) Fail("cannot write", input);
        ::close(fd);
    }

    std::vector<std::string> args = {"vorneck-cli", "-q", "-a", "-o", out, base + "/src"};
    if (size % 2) args.insert(args.begin() + 1, "-m");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    {
        vorneck::CliIo io(null, null, false);
        const int status = vorneck::RunCli(static_cast<int>(argv.size()), argv.data(), io);
        if (status != 0 && status != 1) Fail("unexpected exit status", std::to_string(status));
    }
    ::close(null);

    // Nothing beside the source and the destination, and the source as it was.
    const auto top = Names(base);
    if (top.size() != 2) Fail("something was written beside the destination", std::to_string(top.size()));
    if (Names(base + "/src") != std::vector<std::string>{"input.mod"}) Fail("the source changed", input);
    if (fs::file_size(input) != size) Fail("the input changed", input);

    // The window's formats write at most their size, unless a tracker
    // reader takes the module (an "M.K." module read with eight channels):
    // decoded formats have the library path's bound.
    const vorneck::ModuleKind kind = vorneck::DetectModuleKind({data, size});
    const std::span<const std::uint8_t> head(data, std::min<std::size_t>(size, vorneck::kDetectionBytes));
    const bool own = kind != vorneck::ModuleKind::None && vorneck::DetectTrackerKind(head, size, kind) == kind;
    const std::uint64_t bound = own ? size : vorneck::OutputBound(size, vorneck::LibraryLimits{});
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        const auto status = fs::symlink_status(entry.path());
        const std::string name = entry.path().filename().string();
        if (fs::is_symlink(status)) Fail("a link in the destination", name);
        if (name.rfind(vorneck::kTemporaryPrefix, 0) == 0) Fail("a temporary file was left", name);
        if (name.size() > 255) Fail("a name too long", name);
        if (fs::is_regular_file(status)) total += fs::file_size(entry.path());
    }
    if (total > bound) Fail("more written than the bound", std::to_string(total) + " > " + std::to_string(bound));
    return 0;
}
