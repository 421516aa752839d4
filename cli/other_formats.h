// SPDX-License-Identifier: MIT
// The command line's other module formats: every file the engine's own
// detection does not recognise is offered to the module library, which
// loads it in a child process; the samples it hands back are written like
// any others.
#pragma once

#include "engine/extraction_run.h"
#include "extra_formats/module_library.h"

namespace vorneck {

inline constexpr const char* kLibraryFailedPrefix = "Module library failed on: ";

class OtherFormats : public ModuleFallback {
public:
    explicit OtherFormats(LibraryLimits limits = {}) : limits_(limits) {}
    FallbackResult ExtractOther(ExtractionState& state, Services& services, const std::string& path,
                                std::uint64_t size) override;
    const LibraryLimits& limits() const { return limits_; }

private:
    LibraryLimits limits_;
};

}  // namespace vorneck
