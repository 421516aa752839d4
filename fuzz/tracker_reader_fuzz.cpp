// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to one of the command line's tracker readers (the
// build chooses which: VORNECK_FUZZ_READER), as the current module of a
// run. The sink checks that a module writes no more than the bound of
// decoded formats, that a sample handed over as the module's own bytes lies
// inside the file, and AddressSanitizer that no read leaves it.
#include <algorithm>
#include <cstdint>

#include "engine/extraction_run.h"
#include "engine/sample_writer.h"
#include "engine/tracker_formats.h"
#include "fuzz/fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorneck::ExtractionState state;
    vorneck::fuzz::Sink sink;
    vorneck::fuzz::PutModule(state, sink, data, size);
    state.ModuleOutputLimit = vorneck::TrackerOutputBound(size);
    sink.bound = state.ModuleOutputLimit;
    sink.moduleBytesOnly = false;
    vorneck::Services services{sink, sink, sink, nullptr};

    // Detection sees the first bytes as the run does.
    const auto head = state.ModuleBytes().first(std::min<std::size_t>(size, vorneck::kDetectionBytes));
    (void)vorneck::DetectTrackerKind(head, size, vorneck::DetectModuleKind(head));
    (void)vorneck::ConfirmTrackerKind(state.ModuleBytes(), vorneck::ModuleKind::ModFamily, vorneck::ModuleKind::None);
    vorneck::VORNECK_FUZZ_READER(state, services);
    vorneck::FinishModuleOutput(state, services);
    return 0;
}
