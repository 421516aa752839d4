#include "engine/sample_writer.h"

#include "engine/byte_reader.h"

namespace vorneck {

std::string SamplePrefix(std::int64_t number) {
    std::string prefix = std::to_string(number) + "_";
    if (prefix.size() > 4) prefix.resize(4);
    return prefix;
}

void SaveSample(ExtractionState& state, Services& services, std::int64_t offset,
                std::int64_t length, std::int64_t number) {
    if (length <= 0) return;
    const ByteReader reader(state.ModuleBytes());
    const ClampedRange range = reader.clamp(offset, length);
    if (range.clipped) state.ModuleDamaged = true;
    if (range.outside) return;

    if (number == 0 && state.PerModuleDirs) {
        state.ModuleDirectory = state.DestDirectory;
        if (state.ModuleDirectory.empty() || state.ModuleDirectory.back() != '/')
            state.ModuleDirectory += '/';
        state.ModuleDirectory += state.ModuleName;
        if (!services.files.CreateDirectory(state.ModuleDirectory))
            services.errors.ErrorReport(kCreateDirectoryFailedPrefix + state.ModuleDirectory);
        state.ModuleDirectory += '/';
    }

    std::string path;
    if (state.PerModuleDirs) {
        path = state.ModuleDirectory;
    } else {
        path = state.DestDirectory;
        if (path.empty() || path.back() != '/') path += '/';
    }
    path += SamplePrefix(number);
    path += state.ModuleName;

    switch (services.files.WriteNewFile(path, reader.bytes(range))) {
        case WriteStatus::CreateFailed:
            services.errors.ErrorReport(kCreateFailedPrefix + path);
            return;
        case WriteStatus::WriteFailed:
            services.errors.ErrorReport(kWriteFailedPrefix + path);
            return;
        case WriteStatus::Ok:
            break;
    }
    ++state.ModuleSampleNumber;
    ++state.SamplesSaved;
    if (services.observer) services.observer->SampleWritten(path, range.offset, range.length);
}

}  // namespace vorneck
