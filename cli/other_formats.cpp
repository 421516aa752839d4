// SPDX-License-Identifier: MIT
#include "cli/other_formats.h"

#include <tuple>

#include "engine/sample_writer.h"
#include "extra_formats/library_alterations.h"
#include "extra_formats/late_binding.h"

namespace vorneck {

FallbackResult OtherFormats::ExtractOther(ExtractionState& state, Services& services, const std::string& path,
                                          std::uint64_t size) {
    // Opened here, once, so that each child process finds it loaded.
    PreloadModuleLibrary();
    const LibraryResult result = LoadWithModuleLibrary(path, limits_);
    switch (result.status) {
        case LibraryStatus::NotRecognised:
            return FallbackResult::NotRecognised;
        case LibraryStatus::TooLarge: {
            // Not offered to the library: as far as the run can tell, a file
            // of no known format.
            const std::string message = kUnrecognisedPrefix + path;
            services.errors.Report({message, path, true, 0, ReportKind::Unrecognised, result.reason});
            return FallbackResult::Reported;
        }
        case LibraryStatus::Unreadable: {
            const std::string message = kUnableToOpenPrefix + path;
            services.errors.Report({message, path, true, 0, ReportKind::Failure, result.reason});
            return FallbackResult::Reported;
        }
        case LibraryStatus::OutputTooLarge:
        case LibraryStatus::Failed: {
            const std::string message = kLibraryFailedPrefix + path;
            services.errors.Report({message, path, true, 0, ReportKind::Failure, result.reason});
            return FallbackResult::Reported;
        }
        case LibraryStatus::Loaded:
            break;
    }
    state.Module = result.module.module;
    // Packed formats and compressed samples decode to more than the file
    // holds: the bound is the library path's own.
    state.ModuleOutputLimit = OutputBound(size, limits_);
    state.ModuleSampleNumber = 0;
    for (const auto& sample : result.module.samples) {
        SampleInfo info = sample.info;
        std::tie(info.alteredStart, info.alteredEnd) = LibraryAlteredFrames(info, sample.Frames());
        SaveSampleBytes(state, services, sample.pcm, state.ModuleSampleNumber, info);
    }
    return FallbackResult::Extracted;
}

}  // namespace vorneck
