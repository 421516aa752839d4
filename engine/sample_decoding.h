// SPDX-License-Identifier: MIT
// Turns the stored forms of tracker samples into decoded PCM (signed,
// little-endian, channels interleaved): plain and delta-coded PCM of either
// signedness, 4-bit ADPCM with a delta table, and the IT 2.14 / 2.15 sample
// compression. The decoders read only the bytes they are given (a range the
// byte reader handed out) and never make more frames than asked for.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vorneck {

struct StoredPcm {
    std::uint8_t bits = 8;      // 8 or 16; 16-bit values little-endian
    std::uint8_t channels = 1;  // stored one after the other: all of channel 0, then channel 1
    bool isSigned = true;
    bool delta = false;         // each value the difference from the channel's previous one
};

// Decodes `frames` frames per channel of `stored`. When the bytes end
// early, only the frames every channel has are decoded; `complete` says
// whether all were there.
std::vector<std::uint8_t> DecodeStoredPcm(const StoredPcm& layout, std::span<const std::uint8_t> stored,
                                          std::uint64_t frames, bool& complete);

// 4-bit ADPCM: 16 signed 8-bit deltas, then two frames a byte, low nibble
// first, each adding its nibble's delta to the previous value. `data` starts
// at the table. Decodes up to `frames` frames.
std::vector<std::uint8_t> DecodeAdpcm4(std::span<const std::uint8_t> data, std::uint64_t frames, bool& complete);

// The stored size of an ADPCM sample of `frames` frames, table included.
inline std::uint64_t Adpcm4Size(std::uint64_t frames) { return 16 + (frames + 1) / 2; }

// One channel of an IT 2.14 (or, with `it215`, 2.15) compressed sample:
// blocks of 0x8000 (8-bit) or 0x4000 (16-bit) frames, each led by its byte
// count. Appends up to `frames` values to `out` as 8- or 16-bit
// little-endian; `consumed` gets the bytes of `data` the blocks took.
// False when the data ended before all frames were decoded.
bool DecompressIt(std::span<const std::uint8_t> data, std::uint64_t frames, std::uint8_t bits, bool it215,
                  std::vector<std::uint8_t>& out, std::uint64_t& consumed);

// `channels` channels, each a run of `frames` frames of `bits` bits one
// after the other in `split`, interleaved.
std::vector<std::uint8_t> Interleave(std::span<const std::uint8_t> split, std::uint64_t frames, std::uint8_t bits,
                                     std::uint8_t channels);

}  // namespace vorneck
