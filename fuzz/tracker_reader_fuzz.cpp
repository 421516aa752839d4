// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to one of the command line's tracker readers (the
// build chooses which: VORNECK_FUZZ_READER), as the current module of a
// run. The sink checks that a module writes no more than the bound of
// decoded formats, that a sample handed over as the module's own bytes lies
// inside the file, and AddressSanitizer that no read leaves it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/extraction_run.h"
#include "engine/sample_writer.h"
#include "engine/tracker_formats.h"

namespace {

class Sink : public vorneck::FileOps, public vorneck::ErrorReporter, public vorneck::StatusLine {
public:
    const std::uint8_t* begin = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint64_t total = 0;
    std::uint64_t bound = 0;

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
        const bool inside = bytes.data() >= begin && bytes.data() < end;
        if (bytes.empty() || (inside && bytes.data() + bytes.size() > end)) {
            std::fprintf(stderr, "sample range leaves the file: %zu bytes\n", bytes.size());
            std::abort();
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorneck::ExtractionState state;
    state.ModuleImage.reset(new std::uint8_t[size ? size : 1]);
    if (size) std::memcpy(state.ModuleImage.get(), data, size);
    state.ModuleSize = size;
    state.ModuleImageCapacity = size;
    state.DestDirectory = "/out";
    state.ModuleName = "fuzz.mod";
    state.DestHandle = 3;
    state.ModuleOutputLimit = vorneck::TrackerOutputBound(size);

    Sink sink;
    sink.begin = state.ModuleImage.get();
    sink.end = sink.begin + size;
    sink.bound = state.ModuleOutputLimit;
    vorneck::Services services{sink, sink, sink, nullptr};

    // Detection sees the first bytes as the run does.
    const auto head = state.ModuleBytes().first(std::min<std::size_t>(size, vorneck::kDetectionBytes));
    (void)vorneck::DetectTrackerKind(head, size, vorneck::DetectModuleKind(head));
    (void)vorneck::ConfirmTrackerKind(state.ModuleBytes(), vorneck::ModuleKind::ModFamily, vorneck::ModuleKind::None);
    vorneck::VORNECK_FUZZ_READER(state, services);
    vorneck::FinishModuleOutput(state, services);
    return 0;
}
