// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to format detection and to both walkers, as the
// current module of a run. The sink checks that every sample range handed to
// the writer lies inside the file, and AddressSanitizer that no read leaves it.
#include <cstdint>

#include "engine/extraction_run.h"
#include "engine/sample_writer.h"
#include "engine/walkers.h"
#include "fuzz/fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorneck::ExtractionState state;
    vorneck::fuzz::Sink sink;
    vorneck::fuzz::PutModule(state, sink, data, size);
    state.PerModuleDirs = size % 2;
    sink.bound = size;  // everything one module makes together stays within its size
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
