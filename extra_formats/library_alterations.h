// SPDX-License-Identifier: MIT
// Which frames of a sample the module library may have changed. To play a
// looped sample in place, libxmp 4.5 writes over the frames right after
// the loop's end: the loop's first four frames after a forward loop, the
// loop played backwards and four frames more after a ping-pong loop. Every
// other frame it hands over is the module's own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#include "engine/sample_info.h"

namespace vorneck {

// [start, end) in frames, cut to the sample's `frames`; empty (start ==
// end) when the library changed none.
inline std::pair<std::uint64_t, std::uint64_t> LibraryAlteredFrames(const SampleInfo& info, std::uint64_t frames) {
    constexpr std::uint64_t kGuardFrames = 4;
    if (info.loopMode == LoopMode::None || info.loopEnd >= frames || info.loopStart >= info.loopEnd) return {0, 0};
    const std::uint64_t span =
        info.loopMode == LoopMode::PingPong ? (info.loopEnd - info.loopStart) + kGuardFrames : kGuardFrames;
    return {info.loopEnd, std::min(frames, info.loopEnd + span)};
}

}  // namespace vorneck
