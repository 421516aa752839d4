// SPDX-License-Identifier: MIT
// Builds small XM, S3M and IT modules, multi-channel and fifteen-sample
// Amiga modules in memory, byte by byte, with samples whose every property
// (bits, channels, loop, name, tuning) the caller chooses. The tests of the
// module library path and its benchmark make their inputs with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "demo/module_builder.h"

namespace vorneck::demo {

enum class Loop : std::uint8_t { None, Forward, PingPong };

struct TrackerSample {
    std::string name;      // the sample's (or, where the format names them, the instrument's) name
    std::string fileName;  // S3M and IT: the 12-character DOS file name
    std::uint8_t bits = 8;      // 8 or 16
    std::uint8_t channels = 1;  // 1, or 2 where the format stores stereo
    // Signed frame values (-128..127 or -32768..32767), channels interleaved.
    std::vector<std::int32_t> values;
    Loop loop = Loop::None;
    std::uint32_t loopStart = 0;  // frames
    std::uint32_t loopEnd = 0;    // frames, exclusive
    std::uint8_t volume = 64;     // 0 to 64
    std::uint32_t c5speed = 8363; // S3M and IT
    std::int8_t relativeNote = 0; // XM
    std::int8_t finetune = 0;     // XM: -128..127 (1/128 semitone); Amiga: -8..7 (1/8 semitone)
    // XM and Amiga, 8-bit mono: stored as 4-bit ADPCM (every value must
    // differ from the previous one, the first from 0, by -8 to 7).
    bool adpcm = false;
    bool delta = false;          // IT, uncompressed: stored as differences
    bool unsignedData = false;   // IT, uncompressed: stored unsigned
    Loop sustain = Loop::None;   // IT: the sustain loop
    std::uint32_t sustainStart = 0;
    std::uint32_t sustainEnd = 0;

    std::uint64_t Frames() const { return channels ? values.size() / channels : 0; }
};

// The decoded form of a sample: signed, little-endian, channels interleaved.
Bytes DecodedPcm(const TrackerSample& sample);

// A waveform as sample values: `frames` frames of `channels` channels, the
// second channel a phase-shifted copy of the first.
std::vector<std::int32_t> WaveValues(Wave wave, std::size_t frames, std::uint8_t bits,
                                     std::uint8_t channels = 1, std::size_t period = 32,
                                     std::uint32_t seed = 1);

struct XmInstrument {
    std::string name;
    std::vector<TrackerSample> samples;  // up to 16; none makes an empty instrument
};

struct XmRecipe {
    std::string title = "vorneck xm";
    std::uint16_t channels = 4;
    std::uint16_t version = 0x0104;  // 0x0102, 0x0103 or 0x0104
    std::vector<XmInstrument> instruments;
};

// FastTracker 2 module (version 1.04, or the older layout of 1.02 and 1.03):
// delta-coded sample data. Stereo
// samples hold the left channel, then the right, each coded on its own.
Bytes BuildXm(const XmRecipe& recipe);

struct S3mRecipe {
    std::string title = "vorneck s3m";
    bool signedSamples = false;  // the header's sample format: ST3 itself writes unsigned
    std::vector<TrackerSample> samples;  // an empty `values` makes an empty slot
};

// Scream Tracker 3 module. Stereo samples are stored left block, right block.
Bytes BuildS3m(const S3mRecipe& recipe);

enum class ItCompression : std::uint8_t { None, It214, It215 };

struct ItRecipe {
    std::string title = "vorneck it";
    ItCompression compression = ItCompression::None;
    // Instrument mode: each instrument maps every note to one sample
    // (0-based index into `samples`); without instruments the module plays
    // samples directly.
    std::vector<std::pair<std::string, int>> instruments;
    std::vector<TrackerSample> samples;
};

// Impulse Tracker 2.14 module. Uncompressed stereo samples are stored left
// block, right block; compressed ones as one compressed stream per channel.
Bytes BuildIt(const ItRecipe& recipe);

// The IT 2.14 sample compression of one channel of `values` (8- or 16-bit),
// in blocks of 32768 (8-bit) or 16384 (16-bit) frames, each led by its
// byte count; `doubleDelta` gives the IT 2.15 variant.
Bytes CompressIt214(const std::vector<std::int32_t>& values, std::uint8_t bits, bool doubleDelta);

struct AmigaRecipe {
    std::string title = "vorneck amiga";
    // "M.K.", "6CHN", "8CHN", "FLT8", "FA06", "12CH", "TDZ3" ...; empty for
    // a fifteen-sample Soundtracker module (no signature, 600-byte header).
    // "FA0n" modules have four more bytes after the signature.
    std::string signature = "6CHN";
    std::vector<TrackerSample> samples;  // 8-bit mono; loops in whole words
    std::vector<std::uint8_t> orders = {0};
};

Bytes BuildAmigaModule(const AmigaRecipe& recipe);

// `values` (8-bit) as 4-bit ADPCM: the 16-byte delta table, then two values
// a byte, low nibble first.
Bytes EncodeAdpcm4(const std::vector<std::int32_t>& values);

// A few modules of each kind the module library path reads: XM, S3M, IT
// (compressed), six-channel and fifteen-sample Amiga modules, a packed XM.
std::vector<DemoFile> TrackerDemoSet();

// `bytes` in a gzip file of stored (uncompressed) deflate blocks: a packed
// module as the library's depackers see one.
Bytes GzipStored(const Bytes& bytes);

}  // namespace vorneck::demo
