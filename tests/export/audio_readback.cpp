// SPDX-License-Identifier: MIT
#include "tests/export/audio_readback.h"

#include <algorithm>
#include <cstring>

namespace vorneck::testing {

namespace {

struct Reader {
    const Bytes& bytes;
    sf_count_t position = 0;
};

SF_VIRTUAL_IO ReaderIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return static_cast<sf_count_t>(static_cast<Reader*>(user)->bytes.size()); };
    io.seek = [](sf_count_t offset, int whence, void* user) {
        auto* r = static_cast<Reader*>(user);
        const sf_count_t base = whence == SEEK_CUR ? r->position
                                : whence == SEEK_END ? static_cast<sf_count_t>(r->bytes.size())
                                                     : 0;
        r->position = std::max<sf_count_t>(0, base + offset);
        return r->position;
    };
    io.read = [](void* to, sf_count_t count, void* user) {
        auto* r = static_cast<Reader*>(user);
        const auto size = static_cast<sf_count_t>(r->bytes.size());
        const sf_count_t n = std::clamp<sf_count_t>(size - r->position, 0, count);
        if (n > 0) std::memcpy(to, r->bytes.data() + r->position, static_cast<std::size_t>(n));
        r->position += n;
        return n;
    };
    io.write = [](const void*, sf_count_t, void*) { return sf_count_t{0}; };
    io.tell = [](void* user) { return static_cast<Reader*>(user)->position; };
    return io;
}

std::optional<std::string> String(SNDFILE* file, int which) {
    const char* text = sf_get_string(file, which);
    if (!text) return std::nullopt;
    return std::string(text);
}

}  // namespace

ReadBack ReadWithSndfile(const Bytes& file) {
    ReadBack result;
    Reader reader{file};
    SF_VIRTUAL_IO io = ReaderIo();
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &result.info, &reader);
    if (!sf) {
        result.error = sf_strerror(nullptr);
        return result;
    }
    result.opened = true;
    result.samples.resize(static_cast<std::size_t>(result.info.frames * result.info.channels));
    const sf_count_t read = sf_readf_short(sf, result.samples.data(), result.info.frames);
    result.samples.resize(static_cast<std::size_t>(read * result.info.channels));
    result.title = String(sf, SF_STR_TITLE);
    result.album = String(sf, SF_STR_ALBUM);
    result.comment = String(sf, SF_STR_COMMENT);
    SF_INSTRUMENT instrument{};
    if (sf_command(sf, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) == SF_TRUE)
        result.instrument = instrument;
    sf_close(sf);
    return result;
}

std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b.at(at)} << 24 | std::uint32_t{b.at(at + 1)} << 16 | std::uint32_t{b.at(at + 2)} << 8 |
           b.at(at + 3);
}
std::uint16_t Be16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) << 8 | b.at(at + 1));
}
std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b.at(at + 3)} << 24 | std::uint32_t{b.at(at + 2)} << 16 | std::uint32_t{b.at(at + 1)} << 8 |
           b.at(at);
}

std::vector<ChunkBytes> ReadChunks(const Bytes& file) {
    std::vector<ChunkBytes> chunks;
    if (file.size() < 12) return chunks;
    const bool riff = std::memcmp(file.data(), "RIFF", 4) == 0;
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        ChunkBytes chunk;
        chunk.id.assign(reinterpret_cast<const char*>(file.data() + at), 4);
        chunk.size = riff ? Le32(file, at + 4) : Be32(file, at + 4);
        if (at + 8 + chunk.size > file.size()) break;
        chunk.data.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                          file.begin() + static_cast<std::ptrdiff_t>(at + 8 + chunk.size));
        const std::size_t next = at + 8 + chunk.size + (chunk.size & 1);
        // A RIFF LIST holds sub-chunks behind its four-byte type; they are
        // listed after it.
        std::vector<ChunkBytes> inner;
        if (riff && chunk.id == "LIST" && chunk.size >= 4) {
            Bytes nested(12, 0);
            std::memcpy(nested.data(), "RIFF", 4);
            nested.insert(nested.end(), chunk.data.begin() + 4, chunk.data.end());
            inner = ReadChunks(nested);
        }
        chunks.push_back(std::move(chunk));
        for (auto& sub : inner) chunks.push_back(std::move(sub));
        at = next;
    }
    return chunks;
}

std::optional<ChunkBytes> FindChunk(const Bytes& file, const std::string& id) {
    for (auto& chunk : ReadChunks(file))
        if (chunk.id == id) return chunk;
    return std::nullopt;
}

}  // namespace vorneck::testing
