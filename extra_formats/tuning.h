// SPDX-License-Identifier: MIT
// What the module library's records say about a sample's pitch, turned back
// into the format's own terms, and the short names of its formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorneck::library {

// The library keeps every sample's tuning as a transpose in semitones and a
// finetune in 1/128 semitone, relative to 8363 Hz at its reference note
// (C-2 in Amiga modules, C-4 in XM, C-5 in S3M and IT). Formats that store a
// rate in Hz (the C5 speed of S3M and IT) have it converted by truncating
// 1536 * log2(rate / 8363) to a whole number, so the rate is known only to
// within 1/1536 octave (0.045 %): `fromRate` then picks a common rate (8000,
// 8363, 22050, 44100, Scream Tracker's finetune rates ...) where one lies in
// that interval and the interval's middle otherwise. Without it the tuning
// is exact and the rate is 8363 * 2^((128 * transpose + finetune) / 1536),
// rounded. The result lies between 1 and kMaxRate.
std::uint32_t RateFromTuning(int transpose, int finetune128, bool fromRate);

inline constexpr std::uint32_t kMaxRate = 1'000'000;

// Whether the library's loader of this name converts a rate in Hz to its
// tuning (S3M, IT and the like).
bool TunedFromRate(std::string_view loaderName);

// The library's loaders of MMD0 to MMD3 modules keep an offset of their own
// in each instrument's transpose, depending on the kind of instrument, and
// the finetune (eighths of a semitone in the module) as 1/128 semitone only
// for sampled instruments; hybrid and synthetic ones keep it unscaled.
enum class MedInstrument { Sampled, MultiOctave, Hybrid, Synthetic };
bool IsMmdLoader(std::string_view loaderName);
// The module's own transpose and finetune (eighths) from the library's.
struct MedTuning {
    int transpose = 0;
    int finetune = 0;
};
MedTuning MedTuningFromLibrary(MedInstrument kind, int transpose, int finetune128);

// "xm", "s3m", "it", "mod" ... for the library's loader names where a short
// name is known; the loader name itself otherwise.
std::string FormatName(std::string_view loaderName);

}  // namespace vorneck::library
