// Feeds arbitrary bytes to format detection and to both walkers, as the
// current module of a run. The sink checks that every sample range handed to
// the writer lies inside the file, and AddressSanitizer that no read leaves it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/extraction_run.h"
#include "engine/walkers.h"

namespace {

class Sink : public vorneck::FileOps, public vorneck::ErrorReporter, public vorneck::StatusLine {
public:
    const std::uint8_t* begin = nullptr;
    const std::uint8_t* end = nullptr;

    std::optional<std::uint64_t> MeasureFile(const std::string&) override { return std::nullopt; }
    std::optional<std::uint64_t> ReadFile(const std::string&, std::span<std::uint8_t>) override {
        return std::nullopt;
    }
    bool CreateDirectory(const std::string&) override { return true; }
    vorneck::WriteStatus WriteNewFile(const std::string&, std::span<const std::uint8_t> bytes) override {
        if (bytes.empty() || bytes.data() < begin || bytes.data() + bytes.size() > end) {
            std::fprintf(stderr, "sample range outside the file: %zu bytes at %td of %td\n", bytes.size(),
                         bytes.data() - begin, end - begin);
            std::abort();
        }
        // Touch every byte so that the sanitizer sees the whole range.
        volatile std::uint8_t sum = 0;
        for (const auto b : bytes) sum = static_cast<std::uint8_t>(sum + b);
        (void)sum;
        return vorneck::WriteStatus::Ok;
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

    Sink sink;
    sink.begin = state.ModuleImage.get();
    sink.end = sink.begin + size;
    vorneck::Services services{sink, sink, sink, nullptr};

    (void)vorneck::DetectModuleKind(state.ModuleBytes());
    vorneck::ExtractModSamples(state, services);
    vorneck::ExtractMmdSamples(state, services);
    return 0;
}
