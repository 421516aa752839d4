// SPDX-License-Identifier: MIT
// Samples for the tracker modules the tests build.
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

}  // namespace vorneck::testing
