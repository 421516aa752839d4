// SPDX-License-Identifier: MIT
#include "extra_formats/tuning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace vorneck::library {
namespace {

// Rates trackers and converters commonly store: the PC's and the Amiga's
// usual rates, and Scream Tracker 3's finetune table.
constexpr std::array<std::uint32_t, 33> kCommonRates = {
    4000,  5512,  6000,  7895,  7941,  7985,  8000,  8046,  8107,  8169,  8232,
    8280,  8363,  8413,  8463,  8529,  8581,  8651,  8723,  8757,  11025, 12000,
    16000, 16726, 22050, 24000, 32000, 33452, 44100, 48000, 66904, 88200, 96000};

constexpr std::array<std::pair<std::string_view, std::string_view>, 24> kShortNames = {{
    {"Fast Tracker II", "xm"},
    {"Amiga Protracker/Compatible", "mod"},
    {"Startrekker", "mod"},
    {"Soundtracker", "mod"},
    {"Impulse Tracker", "it"},
    {"Scream Tracker 3", "s3m"},
    {"Scream Tracker 2", "stm"},
    {"STMIK 0.2", "stx"},
    {"Multitracker", "mtm"},
    {"Imago Orpheus v1.0", "imf"},
    {"Poly Tracker", "ptm"},
    {"Digitrakker", "mdl"},
    {"Ultra Tracker", "ult"},
    {"Epic MegaGames MASI", "psm"},
    {"DSMI Advanced Module Format", "amf"},
    {"General Digital Music", "gdm"},
    {"MED 2.10/OctaMED", "med"},
    {"OctaMED", "med"},
    {"DIGI Booster", "digi"},
    {"DigiBooster Pro", "dbm"},
    {"Oktalyzer", "okt"},
    {"Farandole Composer", "far"},
    {"Composer 669", "669"},
    {"Epic Games UMX", "umx"},
}};

// Loaders that store a rate in Hz and convert it to transpose and finetune.
constexpr std::array<std::string_view, 18> kRateLoaders = {
    "Scream Tracker 3",        "Impulse Tracker",          "Scream Tracker 2",
    "STMIK 0.2",               "Poly Tracker",             "Liquid Tracker",
    "Liquid Tracker NO",       "Imago Orpheus v1.0",       "DSMI Advanced Module Format",
    "DigiBooster Pro",         "Digital Tracker",          "Galaxy Music System 4.0",
    "Galaxy Music System 5.0 (J2B)", "General Digital Music", "Megatracker",
    "Protracker Studio",       "Ultra Tracker",            "Real Tracker"};

// The MMD loaders' names: MMD0 and MMD1, then MMD2 and MMD3.
constexpr std::array<std::string_view, 2> kMmdLoaders = {"MED 2.10/OctaMED", "OctaMED"};

double RateAt(double cents1536) { return 8363.0 * std::exp2(cents1536 / 1536.0); }

std::uint32_t Clamp(double rate) {
    if (!(rate >= 1.0)) return 1;  // also NaN
    if (rate >= kMaxRate) return kMaxRate;
    return static_cast<std::uint32_t>(std::lround(rate));
}

}  // namespace

std::uint32_t RateFromTuning(int transpose, int finetune128, bool fromRate) {
    // Far outside any real tuning: keep the arithmetic finite.
    const long long steps = std::clamp<long long>(128LL * transpose + finetune128, -40000, 40000);
    const auto c = static_cast<double>(steps);
    if (!fromRate) return Clamp(RateAt(c));

    // The rates whose truncated logarithm gives `steps` (truncation goes
    // towards zero), widened a little for the rounding of the library's
    // floating-point logarithm.
    const double lo = steps > 0 ? c : c - 1;
    const double hi = steps < 0 ? c : c + 1;
    constexpr double kSlack = 1e-6;
    const double low = RateAt(lo - kSlack);
    const double high = RateAt(hi + kSlack);
    const double middle = RateAt((lo + hi) / 2);
    double best = middle;
    double bestDistance = -1;
    for (const auto rate : kCommonRates) {
        const double r = rate;
        if (r < low || r > high) continue;
        const double distance = std::abs(r - middle);
        if (bestDistance < 0 || distance < bestDistance) {
            best = r;
            bestDistance = distance;
        }
    }
    return Clamp(best);
}

bool IsMmdLoader(std::string_view loaderName) {
    return std::find(kMmdLoaders.begin(), kMmdLoaders.end(), loaderName) != kMmdLoaders.end();
}

MedTuning MedTuningFromLibrary(MedInstrument kind, int transpose, int finetune128) {
    // The library plays a sampled instrument's reference note (C-2, the
    // note the Amiga plays at 8363 Hz) three octaves above its own
    // reference, the octaves of a multi-octave one two, a synthetic one's
    // waveforms one; a hybrid instrument's sample is tuned like a sampled one.
    switch (kind) {
        case MedInstrument::Sampled:
            return {transpose - 36, finetune128 / 16};
        case MedInstrument::MultiOctave:
            return {transpose - 24, finetune128 / 16};
        case MedInstrument::Hybrid:
            return {transpose - 36, finetune128};
        case MedInstrument::Synthetic:
            return {transpose - 12, finetune128};
    }
    return {transpose, finetune128};
}

bool TunedFromRate(std::string_view loaderName) {
    return std::find(kRateLoaders.begin(), kRateLoaders.end(), loaderName) != kRateLoaders.end();
}

std::string FormatName(std::string_view loaderName) {
    for (const auto& [loader, name] : kShortNames)
        if (loader == loaderName) return std::string(name);
    return std::string(loaderName);
}

}  // namespace vorneck::library
