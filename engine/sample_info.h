// SPDX-License-Identifier: MIT
// What a walker knows about a sample beside its byte range: where it sits in
// the module's instrument list, its name, how its bytes encode sound, the rate
// of its reference note and its loop. The raw writer ignores all of it; the
// audio writers and the manifest of the command line use it.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace vorneck {

enum class LoopMode : std::uint8_t { None, Forward, PingPong };

// How the stored bytes of a sample encode its frames.
struct SampleEncoding {
    std::uint8_t bits = 8;     // 8 or 16
    bool isSigned = true;
    bool bigEndian = true;     // byte order of 16-bit values
    std::uint8_t channels = 1;
    // Multi-channel samples: true when frames are interleaved (L R L R ...),
    // false when each channel's frames follow the previous channel's
    // (all of L, then all of R).
    bool interleaved = true;

    std::uint32_t BytesPerFrame() const { return (bits / 8u) * channels; }
    bool operator==(const SampleEncoding&) const = default;
};

// The canonical form decoded samples are written in: signed, little-endian,
// channels interleaved.
inline SampleEncoding DecodedPcm(std::uint8_t bits, std::uint8_t channels) {
    return SampleEncoding{bits, true, false, channels, true};
}

struct SampleInfo {
    std::int32_t slot = 0;    // 1-based, as the tracker shows it
    std::string name;         // as stored in the module, trailing NULs and blanks dropped
    SampleEncoding encoding;
    std::uint32_t rate = 8363;  // Hz at which the tracker plays the reference note
    LoopMode loopMode = LoopMode::None;
    std::uint64_t loopStart = 0;  // frames
    std::uint64_t loopEnd = 0;    // frames, exclusive; 0 without a loop
    std::int32_t volume = 64;     // 0 to 64
    std::int32_t finetune = 0;    // eighths of a semitone
    std::int32_t transpose = 0;   // semitones
    // A second loop that plays while the note is held (IT): frames, end
    // exclusive; None without one.
    LoopMode sustainMode = LoopMode::None;
    std::uint64_t sustainStart = 0;
    std::uint64_t sustainEnd = 0;
    // Frames [alteredStart, alteredEnd) may differ from the module's own
    // (the module library prepares them for playing); empty when none may.
    std::uint64_t alteredStart = 0;
    std::uint64_t alteredEnd = 0;
    // Instruments of several octaves (MMD): the octaves lie one after another,
    // the shortest (highest) first, each twice as long as the one before;
    // the loop is that of the shortest.
    std::uint8_t octaves = 1;
    // True when the bytes handed over are not the module's own stored bytes
    // but a decoding of them (16-bit and stereo MMD instruments, and every
    // sample of the module library).
    bool decoded = false;
};

// The module a sample comes from: what the audio writers put in their album
// string and the manifest in its format key.
struct ModuleInfo {
    std::string format;    // "mod", "mmd0" to "mmd3", or the module library's format name
    std::string songName;  // as stored, trailing NULs and blanks dropped
};

// Rate of the reference note of a sample tuned by `transpose` semitones and
// `finetune` eighths of a semitone from the Amiga's 8363 Hz.
inline std::uint32_t TunedRate(std::int32_t transpose, std::int32_t finetune) {
    const double semitones = transpose + finetune / 8.0;
    return static_cast<std::uint32_t>(std::lround(8363.0 * std::exp2(semitones / 12.0)));
}

}  // namespace vorneck
