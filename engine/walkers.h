// SPDX-License-Identifier: MIT
// One walker per module format: each finds the sample ranges of the current
// module and hands them to SaveSample.
#pragma once

#include "engine/extraction_run.h"

namespace vorneck {

// Four-channel, 31-instrument modules ("M.K.", "M!K!", "FLT4" at 1080).
void ExtractModSamples(ExtractionState& state, Services& services);

// The description of a 31- or 15-instrument module's sample from its
// 30-byte header at `header`; `length` in bytes. Fifteen-sample modules
// count the repeat start in bytes.
class ByteReader;
SampleInfo DescribeModSample(const ByteReader& reader, std::int64_t header, int slot, std::int64_t length,
                             bool repeatInBytes = false);

// MMD0 to MMD3 modules.
inline constexpr const char* kUnknownInstrumentMessage = "Unknown instrument type found.";
void ExtractMmdSamples(ExtractionState& state, Services& services);

}  // namespace vorneck
