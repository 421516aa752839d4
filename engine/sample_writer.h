// Writes one sample, a range of the current module, to a file of its own.
#pragma once

#include <cstdint>

#include "engine/extraction_run.h"

namespace vorneck {

inline constexpr const char* kCreateDirectoryFailedPrefix = "Unable to create directory: ";
inline constexpr const char* kCreateFailedPrefix = "Failed to create: ";
inline constexpr const char* kWriteFailedPrefix = "Failed to write (disk full?): ";

// The file-name prefix of a sample: its number and "_", at most four
// characters (0_, 12_, 999_, 1000).
std::string SamplePrefix(std::int64_t number);

// Writes `length` bytes of the current module from `offset` as sample
// `number`. Lengths of 0 or less write nothing. The range is cut to the
// bytes of the current file; a range cut short, or lying wholly outside,
// marks the module as damaged.
void SaveSample(ExtractionState& state, Services& services, std::int64_t offset,
                std::int64_t length, std::int64_t number);

}  // namespace vorneck
