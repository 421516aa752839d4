// SPDX-License-Identifier: MIT
#include <sndfile.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>

#include "export/audio_export.h"
#include "export/iff_fixups.h"
#include "export/late_binding.h"
#include "export/text_fields.h"

namespace vorneck {

namespace {

using Bytes = std::vector<std::uint8_t>;

// A file in memory for libsndfile's virtual I/O. libsndfile seeks back to
// finish its headers on close, and may seek past the end before writing.
struct MemoryFile {
    Bytes& bytes;
    sf_count_t position = 0;
};

sf_count_t MemoryLength(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); }

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = file->position;
    else if (whence == SEEK_END) base = static_cast<sf_count_t>(file->bytes.size());
    else if (whence != SEEK_SET) return -1;
    if (offset < -base) return -1;
    file->position = base + offset;
    return file->position;
}

sf_count_t MemoryRead(void* to, sf_count_t count, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(file->bytes.size());
    if (count <= 0 || file->position >= size) return 0;
    const sf_count_t n = std::min(count, size - file->position);
    std::memcpy(to, file->bytes.data() + file->position, static_cast<std::size_t>(n));
    file->position += n;
    return n;
}

sf_count_t MemoryWrite(const void* from, sf_count_t count, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    if (count <= 0) return 0;
    const auto end = static_cast<std::size_t>(file->position + count);
    if (end > file->bytes.size()) file->bytes.resize(end);
    std::memcpy(file->bytes.data() + file->position, from, static_cast<std::size_t>(count));
    file->position += count;
    return count;
}

sf_count_t MemoryTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

SF_VIRTUAL_IO MemoryIo() { return {MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell}; }

// libsndfile's container and sample format for `format`. 8-bit samples are
// stored as each format stores them: unsigned in WAV, signed elsewhere.
int SndfileFormat(AudioFormat format, std::uint8_t bits) {
    const bool wide = bits == 16;
    switch (format) {
        case AudioFormat::Wav:
            return SF_FORMAT_WAV | (wide ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_U8);
        case AudioFormat::Aiff:
            return SF_FORMAT_AIFF | (wide ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_S8);
        case AudioFormat::Svx8:
            return SF_FORMAT_SVX | (wide ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_S8);
        case AudioFormat::Flac:
            return SF_FORMAT_FLAC | (wide ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_S8);
        case AudioFormat::Raw:
            break;
    }
    return 0;
}

// Closes the handle on every way out.
struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// How each format stores its samples, so that libsndfile can take the
// bytes as they are (sf_write_raw): 8-bit unsigned in WAV and signed
// elsewhere; 16-bit little-endian in WAV and big-endian in AIFF and 8SVX.
bool FileIsSigned(AudioFormat format, std::uint8_t bits) { return !(format == AudioFormat::Wav && bits == 8); }
bool FileIsBigEndian(AudioFormat format) { return format == AudioFormat::Aiff || format == AudioFormat::Svx8; }

bool WriteRaw(SNDFILE* file, std::span<const std::uint8_t> bytes, std::string& error) {
    if (sf_write_raw(file, bytes.data(), static_cast<sf_count_t>(bytes.size())) !=
        static_cast<sf_count_t>(bytes.size())) {
        error = std::string("libsndfile: ") + sf_strerror(file);
        return false;
    }
    return true;
}

// For FLAC, which libsndfile compresses from values: the frames as 16-bit
// values that libsndfile scales to the file's width (8-bit values go in as
// value × 256 and come out exact). `values` is signed, in host byte order,
// interleaved.
bool WriteValues(SNDFILE* file, const Bytes& values, std::uint8_t bits, std::uint8_t channels, std::uint64_t frames,
                 std::string& error) {
    constexpr std::size_t kBlockFrames = 8192;
    std::vector<short> block(kBlockFrames * channels);
    const std::size_t width = bits / 8u;
    for (std::uint64_t done = 0; done < frames;) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockFrames, frames - done));
        const std::size_t n = count * channels;
        const std::uint8_t* from = values.data() + done * channels * width;
        if (width == 1) {
            for (std::size_t k = 0; k < n; ++k) block[k] = static_cast<short>(static_cast<std::int8_t>(from[k]) * 256);
        } else {
            std::memcpy(block.data(), from, 2 * n);
        }
        if (sf_writef_short(file, block.data(), static_cast<sf_count_t>(count)) != static_cast<sf_count_t>(count)) {
            error = std::string("libsndfile: ") + sf_strerror(file);
            return false;
        }
        done += count;
    }
    return true;
}

bool SetString(SNDFILE* file, int which, const std::string& text, std::string& error) {
    if (text.empty()) return true;
    if (sf_set_string(file, which, text.c_str()) != 0) {
        error = std::string("libsndfile: ") + sf_strerror(file);
        return false;
    }
    return true;
}

// libsndfile's part: the whole file written into `out`. The handle is
// closed on every way out, which may still write to `out`.
bool WriteWithSndfile(AudioFormat format, SF_INFO& info, const SampleEncoding& encoding,
                      std::span<const std::uint8_t> stored, std::uint64_t frames, const std::string& name,
                      const std::string& song, const SampleLoop& loop, Bytes& out, std::string& error) {
    MemoryFile memory{out};
    SF_VIRTUAL_IO io = MemoryIo();
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_WRITE, &info, &memory));
    if (!file) {
        error = std::string("libsndfile: ") + sf_strerror(nullptr);
        return false;
    }

    // Names: see text_fields.h for what each format gets. AIFF has no album
    // field; the song name goes into its annotation (ANNO). 8SVX takes no
    // strings from libsndfile; its NAME is written afterwards.
    if (format == AudioFormat::Wav || format == AudioFormat::Flac) {
        if (!SetString(file.get(), SF_STR_TITLE, Latin1ToUtf8(name), error) ||
            !SetString(file.get(), SF_STR_ALBUM, Latin1ToUtf8(song), error))
            return false;
    } else if (format == AudioFormat::Aiff) {
        if (!SetString(file.get(), SF_STR_TITLE, Latin1ToAscii(name), error) ||
            !SetString(file.get(), SF_STR_COMMENT, Latin1ToAscii(song), error))
            return false;
    }

    // Base note and loop. The sample's rate is that of its reference note,
    // so middle C (MIDI 60) plays at the file's rate. FLAC has no standard
    // field for either and gets neither. libsndfile writes them to WAV's
    // smpl chunk only; AIFF and 8SVX get theirs afterwards.
    if (format != AudioFormat::Flac) {
        SF_INSTRUMENT instrument{};
        instrument.gain = 1;
        instrument.basenote = 60;
        instrument.key_lo = 0;
        instrument.key_hi = 127;
        instrument.velocity_lo = 1;
        instrument.velocity_hi = 127;
        if (loop.mode != LoopMode::None) {
            instrument.loop_count = 1;
            instrument.loops[0].mode = loop.mode == LoopMode::PingPong ? SF_LOOP_ALTERNATING : SF_LOOP_FORWARD;
            // libsndfile takes the end exclusive and writes the WAV smpl
            // chunk's inclusive dwEnd (the last frame played) from it.
            instrument.loops[0].start = static_cast<unsigned int>(loop.start);
            instrument.loops[0].end = static_cast<unsigned int>(loop.end);
            instrument.loops[0].count = 0;  // loop forever
        }
        if (sf_command(file.get(), SFC_SET_INSTRUMENT, &instrument, sizeof instrument) != SF_TRUE) {
            error = "libsndfile did not take the loop and base note";
            return false;
        }
    }

    // The sound data, converted only where the stored form differs from the
    // file's.
    bool written = false;
    if (format == AudioFormat::Flac) {
        const bool hostBig = std::endian::native == std::endian::big;
        written = WriteValues(file.get(), ConvertSamples(encoding, stored, true, hostBig), encoding.bits,
                              encoding.channels, frames, error);
    } else {
        const bool toSigned = FileIsSigned(format, encoding.bits);
        const bool toBig = FileIsBigEndian(format);
        const bool asStored = (encoding.channels == 1 || encoding.interleaved) && encoding.isSigned == toSigned &&
                              (encoding.bits == 8 || encoding.bigEndian == toBig);
        if (asStored)
            written = WriteRaw(file.get(), stored.first(frames * encoding.BytesPerFrame()), error);
        else
            written = WriteRaw(file.get(), ConvertSamples(encoding, stored, toSigned, toBig), error);
    }
    if (!written) return false;

    const int closed = sf_close(file.release());
    if (closed != 0) {
        error = std::string("libsndfile: ") + sf_error_number(closed);
        return false;
    }
    return true;
}

constexpr std::uint32_t kFlacMaxRate = 655'350;

// 65535 as "65,535", for messages.
std::string Thousands(std::uint32_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

}  // namespace

bool EncodeAudio(AudioFormat format, const SampleInfo& sample, const ModuleInfo& module,
                 std::span<const std::uint8_t> stored, Bytes& out, std::string& error) {
    out.clear();
    error.clear();
    const SampleEncoding& encoding = sample.encoding;
    if (format == AudioFormat::Raw) {
        error = "raw output is the stored bytes, not an audio file";
        return false;
    }
    if ((encoding.bits != 8 && encoding.bits != 16) || encoding.channels == 0) {
        error = "unsupported sample encoding: " + std::to_string(encoding.bits) + " bits, " +
                std::to_string(encoding.channels) + " channels";
        return false;
    }
    if (sample.rate == 0 || sample.rate > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
        error = "unsupported sample rate " + std::to_string(sample.rate);
        return false;
    }
    if (format == AudioFormat::Svx8) {
        // 8SVX is an 8-bit format (16-bit samples would need libsndfile's
        // FORM 16SV, which few programs read); libsndfile writes mono 8SVX
        // only; and the format's header holds the rate in 16 bits.
        if (encoding.channels != 1) {
            error = "8SVX holds mono samples only";
            return false;
        }
        if (encoding.bits != 8) {
            error = "8SVX holds 8-bit samples only; write 16-bit ones as AIFF, WAV or FLAC";
            return false;
        }
        if (sample.rate > 0xFFFF) {
            error = "8SVX holds rates up to 65,535 Hz, not " + Thousands(sample.rate) + " Hz";
            return false;
        }
    }
    std::uint32_t rate = sample.rate;
    if (format == AudioFormat::Flac) {
        // A streamable FLAC file (the only kind libsndfile writes) gives the
        // rate in every frame header: any rate up to 65,535 Hz, above it
        // only multiples of 10 up to 655,350 Hz. Other rates go to the
        // nearest multiple of 10, at most 0.008 % off.
        if (rate > kFlacMaxRate) {
            error = "FLAC holds rates up to 655,350 Hz, not " + Thousands(rate) + " Hz";
            return false;
        }
        if (rate > 0xFFFF) rate = (rate + 5) / 10 * 10;
    }

    const std::uint64_t frames = FrameCount(encoding, stored.size());
    if (frames == 0 && format == AudioFormat::Flac) {
        // A FLAC stream of no samples reads back as one of unknown length.
        error = "FLAC cannot hold a sample without frames";
        return false;
    }
    const SampleLoop loop = EffectiveLoop(sample, frames);
    if (loop.end > std::numeric_limits<std::uint32_t>::max()) {
        error = "loop beyond what the format's loop fields hold";
        return false;
    }
    const std::string name = CleanName(sample.name);
    const std::string song = CleanName(module.songName);

    // A library that cannot be loaded is the reason, not the sample.
    if (const char* problem = AudioLibraryProblem()) {
        error = problem;
        return false;
    }
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = encoding.channels;
    info.format = SndfileFormat(format, encoding.bits);
    if (!sf_format_check(&info)) {
        error = "libsndfile cannot write this sample in " + std::string(AudioFormatName(format));
        return false;
    }

    out.reserve(static_cast<std::size_t>(frames * encoding.BytesPerFrame()) + 4096);
    if (!WriteWithSndfile(format, info, encoding, stored, frames, name, song, loop, out, error)) {
        out.clear();
        return false;
    }
    if (out.empty()) {
        error = "libsndfile wrote nothing";
        return false;
    }
    bool fixed = true;
    if (format == AudioFormat::Aiff)
        fixed = FixAiff(out, frames, encoding.BytesPerFrame(), loop, error);
    else if (format == AudioFormat::Svx8)
        fixed = FixSvx(out, frames, loop, name, song, sample.volume, error, sample.octaves);
    if (!fixed) out.clear();
    return fixed;
}

}  // namespace vorneck
