// SPDX-License-Identifier: MIT
// The file operations, error reporter and status line of a fuzzed run, all
// in memory. Nothing is written; every write is checked instead: a range
// that leaves the module's bytes, a module writing more than its bound, or a
// name that could not be a file name ends the process. Every byte written
// is read, so that AddressSanitizer sees the whole range.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/extraction_run.h"
#include "engine/sample_writer.h"

namespace vorneck::fuzz {

class Sink : public FileOps, public ErrorReporter, public StatusLine {
public:
    // The module's bytes.
    const std::uint8_t* begin = nullptr;
    const std::uint8_t* end = nullptr;
    // What the module has written so far, and the most it may write.
    std::uint64_t total = 0;
    std::uint64_t bound = 0;
    // Whether every write must be a range of the module's bytes. Otherwise
    // a write may also come from elsewhere (decoded sample data), but one
    // that starts inside the module's bytes must end inside them.
    bool moduleBytesOnly = true;

    std::optional<MeasuredFile> MeasureFile(const std::string&, int&) override { return std::nullopt; }
    std::unique_ptr<InputFile> OpenInput(const std::string&, int&) override { return nullptr; }
    DirHandle OpenDirectory(const std::string&, int&) override { return 3; }
    bool MakeDirectoryAt(DirHandle, const std::string&, int&) override { return true; }
    DirHandle OpenSubdirectory(DirHandle, const std::string&, int&) override { return 4; }
    void CloseDirectory(DirHandle) override {}
    bool RemoveEmptyDirectoryAt(DirHandle, const std::string&) override { return true; }
    std::optional<MeasuredFile> IdentifyEntry(const std::string&) override { return std::nullopt; }
    std::uint64_t NameMax(DirHandle) override { return 255; }
    DirectoryEntry EntryAt(DirHandle, const std::string&) override { return {}; }
    WriteResult WriteFileAt(DirHandle, const std::string& name, std::span<const std::uint8_t> bytes,
                            const ReplaceCheck&) override {
        if (moduleBytesOnly) {
            if (bytes.empty() || bytes.data() < begin || bytes.data() + bytes.size() > end) {
                std::fprintf(stderr, "sample range outside the file: %zu bytes at %td of %td\n", bytes.size(),
                             bytes.data() - begin, end - begin);
                std::abort();
            }
        } else {
            const bool inside = bytes.data() >= begin && bytes.data() < end;
            if (bytes.empty() || (inside && bytes.data() + bytes.size() > end)) {
                std::fprintf(stderr, "sample range leaves the file: %zu bytes\n", bytes.size());
                std::abort();
            }
        }
        total += bytes.size();
        if (total > bound) {
            std::fprintf(stderr, "a module of %td bytes wrote %llu\n", end - begin,
                         static_cast<unsigned long long>(total));
            std::abort();
        }
        if (name.empty() || name.size() > 255 || name.find('/') != std::string::npos) std::abort();
        volatile std::uint8_t sum = 0;
        for (const auto b : bytes) sum = static_cast<std::uint8_t>(sum + b);
        (void)sum;
        return {};
    }
    void ErrorReport(std::string_view) override {}
    void SetPanel(int, std::string_view) override {}
};

// Makes the `size` bytes at `data` the current module of `state`, written
// to a destination that `sink` stands for, and shows `sink` those bytes. The
// module is an exact-size heap copy, so that reading one byte past the file
// is caught.
inline void PutModule(ExtractionState& state, Sink& sink, const std::uint8_t* data, std::size_t size) {
    state.ModuleImage.reset(new std::uint8_t[size ? size : 1]);
    if (size) std::memcpy(state.ModuleImage.get(), data, size);
    state.ModuleSize = size;
    state.ModuleImageCapacity = size;
    state.DestDirectory = "/out";
    state.ModuleName = "fuzz.mod";
    state.DestHandle = 3;
    sink.begin = state.ModuleImage.get();
    sink.end = sink.begin + size;
}

}  // namespace vorneck::fuzz
