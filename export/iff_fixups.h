// SPDX-License-Identifier: MIT
// Corrections to the AIFF and 8SVX files libsndfile writes, made on the
// finished file in memory. Debian 12's libsndfile (1.2.0):
//   AIFF: writes no MARK or INST chunk, so a loop and the base note are
//     lost; and for 8-bit samples of an odd frame count it counts the pad
//     byte behind the sound data as one more frame, in COMM's frame count
//     and in SSND's size.
//   8SVX: puts the file's name (nothing, for a file written in memory) in
//     NAME instead of the sample's, its own name and version in ANNO, never writes a loop in VHDR, writes a
//     volume of 0xFF (0xFFFF for 16SV) where unity is 0x10000, and leaves
//     out the pad byte behind an odd-length BODY that IFF requires.
// Each correction checks what is there and writes the value the format's
// documentation asks for, so a libsndfile that gets it right is left alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/audio_export.h"

namespace vorneck {

// `frames` and `bytesPerFrame` describe the sound data libsndfile was given.
// Replaces any MARK and INST chunks with ones for base note 60 and `loop`
// (sustain loop, forward or forward/backward), inserted before SSND.
bool FixAiff(std::vector<std::uint8_t>& file, std::uint64_t frames, std::uint32_t bytesPerFrame,
             const SampleLoop& loop, std::string& error);

// `name` goes into NAME and `song` into ANNO, in place of libsndfile's own
// annotation, as they are (no chunk for an empty one); `volume` is 0 to 64.
// A ping-pong loop is written as the repeat part: 8SVX players loop forward
// only.
// With `octaves` above 1 the frames hold that many octaves, shortest first
// (2^octaves - 1 times the shortest), and `loop` is the shortest one's.
bool FixSvx(std::vector<std::uint8_t>& file, std::uint64_t frames, const SampleLoop& loop, std::string_view name,
            std::string_view song, std::int32_t volume, std::string& error, std::uint8_t octaves = 1);

}  // namespace vorneck
