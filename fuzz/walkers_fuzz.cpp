// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to format detection and to both walkers, as the
// current module of a run. The sink checks that every sample range handed to
// the writer lies inside the file, and AddressSanitizer that no read leaves it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/extraction_run.h"
#include "engine/sample_writer.h"
#include "engine/walkers.h"

namespace {

class Sink : public vorneck::FileOps, public vorneck::ErrorReporter, public vorneck::StatusLine {
public:
    const std::uint8_t* begin = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint64_t total = 0;

    std::optional<vorneck::MeasuredFile> MeasureFile(const std::string&, int&) override { return std::nullopt; }
    std::unique_ptr<vorneck::InputFile> OpenInput(const std::string&, int&) override { return nullptr; }
    vorneck::DirHandle OpenDirectory(const std::string&, int&) override { return 3; }
    bool MakeDirectoryAt(vorneck::DirHandle, const std::string&, int&) override { return true; }
    vorneck::DirHandle OpenSubdirectory(vorneck::DirHandle, const std::string&, int&) override { return 4; }
    void CloseDirectory(vorneck::DirHandle) override {}
    bool RemoveEmptyDirectoryAt(vorneck::DirHandle, const std::string&) override { return true; }
    std::optional<vorneck::MeasuredFile> IdentifyEntry(const std::string&) override { return std::nullopt; }
    std::uint64_t NameMax(vorneck::DirHandle) override { return 255; }
    vorneck::DirectoryEntry EntryAt(vorneck::DirHandle, const std::string&) override { return {}; }
    vorneck::WriteResult WriteFileAt(vorneck::DirHandle, const std::string& name, std::span<const std::uint8_t> bytes,
                                     const vorneck::ReplaceCheck&) override {
        if (bytes.empty() || bytes.data() < begin || bytes.data() + bytes.size() > end) {
            std::fprintf(stderr, "sample range outside the file: %zu bytes at %td of %td\n", bytes.size(),
                         bytes.data() - begin, end - begin);
            std::abort();
        }
        // Everything one module makes together stays within its size.
        total += bytes.size();
        if (total > static_cast<std::uint64_t>(end - begin)) {
            std::fprintf(stderr, "a module of %td bytes wrote %llu\n", end - begin,
                         static_cast<unsigned long long>(total));
            std::abort();
        }
        if (name.empty() || name.size() > 255 || name.find('/') != std::string::npos) std::abort();
        // Touch every byte so that the sanitizer sees the whole range.
        volatile std::uint8_t sum = 0;
        for (const auto b : bytes) sum = static_cast<std::uint8_t>(sum + b);
        (void)sum;
        return {};
    }
    void ErrorReport(std::string_view) override {}
    void SetPanel(int, std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size heap copy, so that reading one byte past the file is caught.
    vorneck::ExtractionState state;
    state.ModuleImage.reset(new std::uint8_t[size ? size : 1]);
    if (size) std::memcpy(state.ModuleImage.get(), data, size);
    state.ModuleSize = size;
    state.ModuleImageCapacity = size;
    state.DestDirectory = "/out";
    state.ModuleName = "fuzz.mod";
    state.PerModuleDirs = size % 2;
    state.DestHandle = 3;

    Sink sink;
    sink.begin = state.ModuleImage.get();
    sink.end = sink.begin + size;
    vorneck::Services services{sink, sink, sink, nullptr};

    (void)vorneck::DetectModuleKind(state.ModuleBytes());
    // Each walker is a module of its own: its output is bounded by the size.
    for (auto walker : {vorneck::ExtractModSamples, vorneck::ExtractMmdSamples}) {
        state.ModuleOutputBytes = 0;
        state.ModuleOutputLimit = size;
        state.ModuleOutputStopped = false;
        state.WrittenOutputs.clear();
        sink.total = 0;
        walker(state, services);
        vorneck::FinishModuleOutput(state, services);
    }
    return 0;
}
