// SPDX-License-Identifier: MIT
// Samples and small modules of the tracker formats, for the tests.
#pragma once

#include <cstdint>

#include "demo/tracker_builder.h"

namespace vorneck::testing {

// `s` with a loop of the kind given from frame `start` to frame `end`.
inline demo::TrackerSample Looped(demo::TrackerSample s, demo::Loop loop, std::uint32_t start, std::uint32_t end) {
    s.loop = loop;
    s.loopStart = start;
    s.loopEnd = end;
    return s;
}

// A small XM module that loads: one instrument holding one sample, "ok",
// of 200 frames of an 8-bit sine.
inline demo::Bytes SmallXm() {
    demo::TrackerSample s;
    s.name = "ok";
    s.values = demo::WaveValues(demo::Wave::Sine, 200, 8);
    demo::XmRecipe recipe;
    recipe.instruments = {{"i", {s}}};
    return demo::BuildXm(recipe);
}

}  // namespace vorneck::testing
