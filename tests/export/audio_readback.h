// SPDX-License-Identifier: MIT
// Reading written audio files back for the tests: through libsndfile, and
// chunk by chunk for what libsndfile does not read.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorneck::testing {

using Bytes = std::vector<std::uint8_t>;

struct ReadBack {
    bool opened = false;
    std::string error;
    SF_INFO info{};
    std::vector<short> samples;  // interleaved, as libsndfile scales them to 16 bits
    std::optional<std::string> title, album, comment;
    std::optional<SF_INSTRUMENT> instrument;
};

// Opens `file` from memory with libsndfile and reads everything.
ReadBack ReadWithSndfile(const Bytes& file);

struct ChunkBytes {
    std::string id;
    std::uint32_t size = 0;  // as the header gives it
    Bytes data;              // `size` bytes
};

// The chunks of a RIFF (little-endian) or FORM (big-endian) file, in file
// order; stops at the first chunk that runs past the end.
std::vector<ChunkBytes> ReadChunks(const Bytes& file);
std::optional<ChunkBytes> FindChunk(const Bytes& file, const std::string& id);

std::uint32_t Be32(const Bytes& bytes, std::size_t at);
std::uint16_t Be16(const Bytes& bytes, std::size_t at);
std::uint32_t Le32(const Bytes& bytes, std::size_t at);

}  // namespace vorneck::testing
