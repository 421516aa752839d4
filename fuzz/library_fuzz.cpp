// SPDX-License-Identifier: MIT
// Arbitrary bytes as a file offered to the module library. Whatever the
// library and its child make of them, the caller must come back with a
// result whose samples are consistent (PCM size = frames x bits x channels,
// loops inside the sample, slots in order) and whose decoded output stays
// within the bound for the file's size.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "extra_formats/module_library.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "module library fuzz: %s (%s)\n", what, detail.c_str());
    std::abort();
}

std::string directory;
std::string input;

void RemoveInput() {
    ::unlink(input.c_str());
    ::rmdir(directory.c_str());
}

// One file per fuzzing process, rewritten for every input.
const std::string& InputPath() {
    if (input.empty()) {
        directory = "/tmp/vorneck-library-fuzz-XXXXXX";
        if (!::mkdtemp(directory.data())) Fail("cannot create a directory", directory);
        input = directory + "/input";
        std::atexit(RemoveInput);
    }
    return input;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = InputPath();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot write the input", path);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) Fail("cannot write the input", path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);

    vorneck::LibraryLimits limits;
    limits.timeLimit = std::chrono::milliseconds(2000);
    limits.wallLimit = std::chrono::milliseconds(4000);
    limits.memoryLimit = std::uint64_t{256} << 20;
    const vorneck::LibraryResult result = vorneck::LoadWithModuleLibrary(path, limits);
    const std::uint64_t bound = vorneck::OutputBound(size, limits);

    switch (result.status) {
        case vorneck::LibraryStatus::Loaded:
            break;
        case vorneck::LibraryStatus::TooLarge:
            if (size <= limits.maxFileSize) Fail("a file within the limit was refused", result.reason);
            return 0;
        default:
            if (result.reason.empty()) Fail("no reason given", std::to_string(static_cast<int>(result.status)));
            if (!result.module.samples.empty()) Fail("samples with a failed load", result.reason);
            return 0;
    }

    std::uint64_t total = 0;
    std::int32_t lastSlot = 0;
    for (const auto& sample : result.module.samples) {
        const auto& info = sample.info;
        const auto& enc = info.encoding;
        const std::string which = "slot " + std::to_string(info.slot);
        if ((enc.bits != 8 && enc.bits != 16) || (enc.channels != 1 && enc.channels != 2) || !enc.isSigned ||
            enc.bigEndian || !enc.interleaved || !info.decoded)
            Fail("not decoded PCM", which);
        if (sample.pcm.empty() || sample.pcm.size() % enc.BytesPerFrame() != 0) Fail("PCM of partial frames", which);
        if (info.slot <= lastSlot) Fail("slots out of order", which);
        lastSlot = info.slot;
        const std::uint64_t frames = sample.Frames();
        if (info.loopMode == vorneck::LoopMode::None ? (info.loopStart || info.loopEnd)
                                                     : !(info.loopStart < info.loopEnd && info.loopEnd <= frames))
            Fail("loop outside the sample", which);
        if (info.rate == 0 || info.volume < 0 || info.volume > 64) Fail("rate or volume out of range", which);
        total += sample.pcm.size();
    }
    if (total > bound) Fail("output beyond the bound", std::to_string(total) + " > " + std::to_string(bound));
    return 0;
}
