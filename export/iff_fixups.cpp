// SPDX-License-Identifier: MIT
#include "export/iff_fixups.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace vorneck {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kChunkHeader = 8;

std::uint32_t GetBe32(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 | static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 | static_cast<std::uint32_t>(bytes[at + 3]);
}

void PutBe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void AppendBe16(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value));
}

void AppendBe32(Bytes& bytes, std::uint32_t value) {
    AppendBe16(bytes, static_cast<std::uint16_t>(value >> 16));
    AppendBe16(bytes, static_cast<std::uint16_t>(value));
}

void AppendId(Bytes& bytes, const char (&id)[5]) { bytes.insert(bytes.end(), id, id + 4); }

// A chunk of a FORM: where its header starts and the size its header gives.
struct Chunk {
    std::string id;
    std::size_t at = 0;
    std::uint32_t size = 0;
    std::size_t data() const { return at + kChunkHeader; }
    // Where the next chunk starts: behind the data and its pad byte.
    std::size_t end() const { return data() + size + (size & 1); }
};

// The chunks of the FORM `file` holds, which must be of `formType` (one of
// `formType` and `altType` when that is given). The last chunk's pad byte
// may be missing.
std::optional<std::vector<Chunk>> ReadForm(const Bytes& file, std::string_view formType, std::string_view altType,
                                           std::string& error) {
    if (file.size() < 12 || std::memcmp(file.data(), "FORM", 4) != 0) {
        error = "no IFF FORM in the encoder's output";
        return std::nullopt;
    }
    const std::string_view type(reinterpret_cast<const char*>(file.data() + 8), 4);
    if (type != formType && type != altType) {
        error = "unexpected FORM type " + std::string(type) + " in the encoder's output";
        return std::nullopt;
    }
    std::vector<Chunk> chunks;
    for (std::size_t at = 12; at + kChunkHeader <= file.size();) {
        Chunk chunk{std::string(reinterpret_cast<const char*>(file.data() + at), 4), at, GetBe32(file, at + 4)};
        if (chunk.data() + chunk.size > file.size()) {
            error = "chunk " + chunk.id + " runs past the end of the encoder's output";
            return std::nullopt;
        }
        chunks.push_back(chunk);
        at = chunk.end();
    }
    return chunks;
}

const Chunk* Find(const std::vector<Chunk>& chunks, std::string_view id) {
    for (const auto& chunk : chunks)
        if (chunk.id == id) return &chunk;
    return nullptr;
}

// Rebuilds the FORM from `chunks` of `file` without the chunks whose id
// `drop` accepts, and with `insert` put before chunk number `before`.
// Every chunk keeps its pad byte; a last chunk without one gets it.
template <typename Drop>
Bytes Rebuild(const Bytes& file, const std::vector<Chunk>& chunks, Drop drop, const Bytes& insert,
              std::size_t before) {
    Bytes out(file.begin(), file.begin() + 12);
    out.reserve(file.size() + insert.size() + 1);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const Chunk& chunk = chunks[i];
        if (i == before) out.insert(out.end(), insert.begin(), insert.end());
        if (drop(chunk.id)) continue;
        const std::size_t stop = std::min(chunk.end(), file.size());
        out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(chunk.at),
                   file.begin() + static_cast<std::ptrdiff_t>(stop));
        if (stop < chunk.end()) out.push_back(0);
    }
    if (before >= chunks.size()) out.insert(out.end(), insert.begin(), insert.end());
    PutBe32(out, 4, static_cast<std::uint32_t>(out.size() - kChunkHeader));
    return out;
}

bool FitsChunk(std::uint64_t value) { return value <= 0xFFFFFFFFu - 64; }

// A marker's name is a Pascal string padded to an even byte count.
void AppendPString(Bytes& bytes, std::string_view text) {
    bytes.push_back(static_cast<std::uint8_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    if ((text.size() + 1) % 2) bytes.push_back(0);
}

// MARK (only with a loop) and INST. Markers sit between frames: position 0
// is before the first frame, so a loop over frames [start, end) runs from
// the marker at start to the marker at end.
Bytes AiffLoopChunks(const SampleLoop& loop) {
    constexpr std::uint16_t kBeginMarker = 1, kEndMarker = 2;
    Bytes out;
    const bool looped = loop.mode != LoopMode::None;
    if (looped) {
        Bytes mark;
        AppendBe16(mark, 2);
        AppendBe16(mark, kBeginMarker);
        AppendBe32(mark, static_cast<std::uint32_t>(loop.start));
        AppendPString(mark, "beg loop");
        AppendBe16(mark, kEndMarker);
        AppendBe32(mark, static_cast<std::uint32_t>(loop.end));
        AppendPString(mark, "end loop");
        AppendId(out, "MARK");
        AppendBe32(out, static_cast<std::uint32_t>(mark.size()));
        out.insert(out.end(), mark.begin(), mark.end());
    }
    AppendId(out, "INST");
    AppendBe32(out, 20);
    out.push_back(60);   // base note: middle C plays at the file's rate
    out.push_back(0);    // detune
    out.push_back(0);    // lowest note
    out.push_back(127);  // highest note
    out.push_back(1);    // lowest velocity
    out.push_back(127);  // highest velocity
    AppendBe16(out, 0);  // gain, dB
    // Sustain loop: play mode 0 none, 1 forward, 2 forward/backward.
    const std::uint16_t playMode = !looped ? 0 : loop.mode == LoopMode::PingPong ? 2 : 1;
    AppendBe16(out, playMode);
    AppendBe16(out, looped ? kBeginMarker : 0);
    AppendBe16(out, looped ? kEndMarker : 0);
    // Release loop: none.
    AppendBe16(out, 0);
    AppendBe16(out, 0);
    AppendBe16(out, 0);
    return out;
}

}  // namespace

bool FixAiff(Bytes& file, std::uint64_t frames, std::uint32_t bytesPerFrame, const SampleLoop& loop,
             std::string& error) {
    const auto chunks = ReadForm(file, "AIFF", "AIFC", error);
    if (!chunks) return false;
    const Chunk* comm = Find(*chunks, "COMM");
    const Chunk* ssnd = Find(*chunks, "SSND");
    // More than one SSND would leave the sound data ambiguous.
    if (std::count_if(chunks->begin(), chunks->end(), [](const Chunk& c) { return c.id == "SSND"; }) != 1)
        ssnd = nullptr;
    if (!comm || comm->size < 18 || !ssnd || ssnd->size < 8) {
        error = "no COMM or SSND chunk in the encoder's output";
        return false;
    }
    const std::uint64_t soundBytes = frames * bytesPerFrame;
    if (!FitsChunk(soundBytes)) {
        error = "sample too long for AIFF";
        return false;
    }

    // COMM: channels (2), frames (4), bits (2), rate (10).
    if (GetBe32(file, comm->data() + 2) != frames) PutBe32(file, comm->data() + 2, static_cast<std::uint32_t>(frames));
    // SSND: offset (4), block size (4), then the sound data from that offset.
    const std::uint32_t ssndSize = static_cast<std::uint32_t>(8 + GetBe32(file, ssnd->data()) + soundBytes);
    if (ssnd->size != ssndSize) {
        if (ssndSize > ssnd->size) {
            error = "SSND chunk shorter than the sample in the encoder's output";
            return false;
        }
        PutBe32(file, ssnd->at + 4, ssndSize);
    }

    // The size change above can only shrink SSND by its pad byte, so the
    // chunk list is read again from the corrected file.
    const auto fixed = ReadForm(file, "AIFF", "AIFC", error);
    if (!fixed) return false;
    const auto ssndIndex = static_cast<std::size_t>(
        std::find_if(fixed->begin(), fixed->end(), [](const Chunk& c) { return c.id == "SSND"; }) - fixed->begin());
    file = Rebuild(
        file, *fixed, [](std::string_view id) { return id == "MARK" || id == "INST"; }, AiffLoopChunks(loop),
        ssndIndex);
    return true;
}

bool FixSvx(Bytes& file, std::uint64_t frames, const SampleLoop& loop, std::string_view name, std::string_view song,
            std::int32_t volume, std::string& error, std::uint8_t octaves) {
    const auto chunks = ReadForm(file, "8SVX", "16SV", error);
    if (!chunks) return false;
    const Chunk* vhdr = Find(*chunks, "VHDR");
    if (!vhdr || vhdr->size < 20 || !Find(*chunks, "BODY")) {
        error = "no VHDR or BODY chunk in the encoder's output";
        return false;
    }
    if (!FitsChunk(frames)) {
        error = "sample too long for 8SVX";
        return false;
    }

    // VHDR: one-shot part (4), repeat part (4), samples per cycle (4),
    // rate (2), octaves (1), compression (1), volume (4, fixed point with
    // unity 0x10000). The one-shot part plays once, the repeat part loops.
    // Several octaves: the one-shot and repeat parts are the shortest
    // octave's, and the header counts the octaves.
    const std::uint64_t parts = octaves > 1 && octaves < 32 ? (std::uint64_t{1} << octaves) - 1 : 1;
    const bool octaved = parts > 1 && frames % parts == 0 && frames > 0;
    const std::uint64_t highest = octaved ? frames / parts : frames;
    const bool looped = loop.mode != LoopMode::None;
    const auto oneShot = static_cast<std::uint32_t>(looped ? loop.start : highest);
    const auto repeat = static_cast<std::uint32_t>(looped ? loop.end - loop.start : 0);
    // A default volume of 0 is a tracker's way of starting notes silent and
    // raising them by effects; written as 0 here it would silence the file
    // in every player that honours it, so it is written as unity.
    const std::int32_t level = std::clamp(volume, 0, 64);
    const std::uint32_t unity = 0x10000;
    const std::uint32_t fixedVolume = level == 0 ? unity : static_cast<std::uint32_t>(level) * unity / 64;
    PutBe32(file, vhdr->data(), oneShot);
    PutBe32(file, vhdr->data() + 4, repeat);
    PutBe32(file, vhdr->data() + 16, fixedVolume);
    file[vhdr->data() + 14] = static_cast<std::uint8_t>(octaved ? octaves : 1);

    // NAME and ANNO: the sample's name and the song's as C strings, with a
    // second NUL where that makes the size even. A pad byte behind an
    // odd-sized chunk is what IFF asks for too, but libsndfile's reader
    // does not skip it and then finds no BODY; NULs inside the chunk are
    // read as the string's end by all. Placed where libsndfile put its own
    // NAME, else right after VHDR.
    Bytes texts;
    const auto appendText = [&texts](const char(&id)[5], std::string_view text) {
        if (text.empty()) return;
        const std::size_t size = (text.size() + 2) & ~std::size_t{1};
        AppendId(texts, id);
        AppendBe32(texts, static_cast<std::uint32_t>(size));
        texts.insert(texts.end(), text.begin(), text.end());
        texts.resize(texts.size() + size - text.size(), 0);
    };
    appendText("NAME", name);
    appendText("ANNO", song);
    const std::string_view anchor = Find(*chunks, "NAME") ? "NAME" : "VHDR";
    const auto before = static_cast<std::size_t>(
        std::find_if(chunks->begin(), chunks->end(), [&](const Chunk& c) { return c.id == anchor; }) -
        chunks->begin() + 1);
    file = Rebuild(
        file, *chunks, [](std::string_view id) { return id == "NAME" || id == "ANNO"; }, texts, before);
    return true;
}

}  // namespace vorneck
