// SPDX-License-Identifier: MIT
// The tracker formats the command line reads with its own readers when
// asked for every format: the MOD family beyond the four-channel
// signatures, XM, S3M and IT (OpenMPT's MPTM too). One reader per family,
// each filling the same sample description as the walkers.
#pragma once

#include <cstdint>
#include <span>

#include "engine/extraction_run.h"

namespace vorneck {

// The family of a file from its first kDetectionBytes bytes and its size,
// or `own` (what DetectModuleKind said) when none of these readers takes
// it. A four-channel "M.K." module whose size only fits eight channels is
// taken as a MOD-family module.
ModuleKind DetectTrackerKind(std::span<const std::uint8_t> head, std::uint64_t fileSize, ModuleKind own);

// Checks, with the whole file at hand, what the first bytes could not (a
// fifteen-sample module's patterns); `fallback` when the check fails.
ModuleKind ConfirmTrackerKind(std::span<const std::uint8_t> bytes, ModuleKind kind, ModuleKind fallback);

bool IsTrackerKind(ModuleKind kind);

// Decoded samples may be larger than their stored form: the output of a
// module of these kinds is bounded by 32 times the file's size, and never
// more than 256 MiB.
std::uint64_t TrackerOutputBound(std::uint64_t fileSize);

// The readers, each on the current module of `state`.
void ExtractModFamilySamples(ExtractionState& state, Services& services);
void ExtractXmSamples(ExtractionState& state, Services& services);
void ExtractS3mSamples(ExtractionState& state, Services& services);
void ExtractItSamples(ExtractionState& state, Services& services);

// What the MOD-family reader needs from a head: the channels and layout its
// signature stands for (channels 0 when it is not one of them).
struct ModLayout {
    int channels = 0;
    int instruments = 31;
    std::int64_t patternData = 1084;  // where the patterns begin
    bool pairedPatterns = false;      // FLT8/EXO8: two four-channel patterns per pattern
    bool repeatInBytes = false;       // fifteen-sample modules count the repeat start in bytes
};
ModLayout ModFamilyLayout(std::span<const std::uint8_t> head, std::uint64_t fileSize);

}  // namespace vorneck
