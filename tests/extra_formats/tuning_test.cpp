// SPDX-License-Identifier: MIT
// From the library's transpose and finetune back to the format's rate.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/sample_info.h"
#include "extra_formats/tuning.h"

namespace vorneck::library {
namespace {

// The library's conversion of a rate in Hz (S3M and IT C5 speeds).
std::pair<int, int> LibraryTuning(std::uint32_t rate) {
    const int c = static_cast<int>(1536.0 * std::log(static_cast<double>(rate) / 8363) / std::log(2.0));
    return {c / 128, c % 128};
}

TEST(Tuning, CommonC5SpeedsComeBackExactly) {
    for (const std::uint32_t rate : {4000u, 8000u, 8363u, 11025u, 16000u, 16726u, 22050u, 32000u, 33452u, 44100u,
                                     48000u, 96000u, 7895u, 7941u, 8046u, 8280u, 8413u, 8757u}) {
        const auto [transpose, finetune] = LibraryTuning(rate);
        EXPECT_EQ(RateFromTuning(transpose, finetune, true), rate) << "C5 speed " << rate;
    }
}

TEST(Tuning, OtherC5SpeedsComeBackWithinTheLibrarysPrecision) {
    for (std::uint32_t rate = 1000; rate < 200000; rate = rate * 21 / 20 + 7) {
        const auto [transpose, finetune] = LibraryTuning(rate);
        const double got = RateFromTuning(transpose, finetune, true);
        // Within the 1/1536 octave the library keeps, and the rounding to whole Hz.
        EXPECT_LE(std::abs(got - rate), rate * 0.000452 + 1.0) << "C5 speed " << rate;
    }
}

TEST(Tuning, ExactTuningsGiveTheTrackersRate) {
    // Amiga finetune steps are sixteen library steps: the engine's own rates.
    for (int finetune = -8; finetune <= 7; ++finetune)
        EXPECT_EQ(RateFromTuning(0, finetune * 16, false), TunedRate(0, finetune)) << "finetune " << finetune;
    EXPECT_EQ(RateFromTuning(12, 0, false), 16726u);
    EXPECT_EQ(RateFromTuning(-12, 0, false), 4182u);
    // XM finetune is a 128th of a semitone: no snapping to common rates.
    EXPECT_EQ(RateFromTuning(0, 1, false), 8367u);
}

TEST(Tuning, AbsurdTuningsStayInRange) {
    EXPECT_EQ(RateFromTuning(100000, 0, false), kMaxRate);
    EXPECT_EQ(RateFromTuning(-100000, -127, true), 1u);
    EXPECT_EQ(RateFromTuning(INT32_MAX, INT32_MAX, true), kMaxRate);
    EXPECT_EQ(RateFromTuning(INT32_MIN, INT32_MIN, false), 1u);
}

TEST(Tuning, FormatNames) {
    EXPECT_EQ(FormatName("Fast Tracker II"), "xm");
    EXPECT_EQ(FormatName("Scream Tracker 3"), "s3m");
    EXPECT_EQ(FormatName("Impulse Tracker"), "it");
    EXPECT_EQ(FormatName("Amiga Protracker/Compatible"), "mod");
    EXPECT_EQ(FormatName("Soundtracker"), "mod");
    EXPECT_EQ(FormatName("The Player 6.1a"), "The Player 6.1a");
    EXPECT_TRUE(TunedFromRate("Impulse Tracker"));
    EXPECT_FALSE(TunedFromRate("Fast Tracker II"));
}

}  // namespace
}  // namespace vorneck::library
