// SPDX-License-Identifier: MIT
#include "demo/tracker_builder.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace vorneck::demo {
namespace {

void PutLe16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    PutLe16(bytes, at, static_cast<std::uint16_t>(value));
    PutLe16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void PutText(Bytes& bytes, std::size_t at, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width && i < text.size(); ++i) bytes[at + i] = static_cast<std::uint8_t>(text[i]);
}

void PadTo(Bytes& bytes, std::size_t multiple) {
    while (bytes.size() % multiple) bytes.push_back(0);
}

void Append(Bytes& bytes, const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

void Check(bool condition, const char* what) {
    if (!condition) throw std::invalid_argument(what);
}

void CheckSample(const TrackerSample& s) {
    Check(s.bits == 8 || s.bits == 16, "sample bits must be 8 or 16");
    Check(s.channels == 1 || s.channels == 2, "sample channels must be 1 or 2");
    Check(s.values.size() % s.channels == 0, "sample values must hold whole frames");
    Check(s.loop == Loop::None || (s.loopStart < s.loopEnd && s.loopEnd <= s.Frames()),
          "sample loop must lie inside the sample");
}

// One channel of a sample's values, in stored order.
std::vector<std::int32_t> Channel(const TrackerSample& s, std::uint8_t channel) {
    std::vector<std::int32_t> out;
    out.reserve(s.Frames());
    for (std::size_t i = channel; i < s.values.size(); i += s.channels) out.push_back(s.values[i]);
    return out;
}

// Stored bytes of values, little-endian, optionally offset to unsigned.
Bytes StoredLe(const std::vector<std::int32_t>& values, std::uint8_t bits, bool unsignedData) {
    Bytes out;
    out.reserve(values.size() * (bits / 8));
    for (const auto v : values) {
        if (bits == 8) {
            out.push_back(static_cast<std::uint8_t>(unsignedData ? v + 128 : v));
        } else {
            const auto w = static_cast<std::uint16_t>(unsignedData ? v + 32768 : v);
            out.push_back(static_cast<std::uint8_t>(w));
            out.push_back(static_cast<std::uint8_t>(w >> 8));
        }
    }
    return out;
}

// Left block, then right block (the layout S3M and IT use for stereo).
Bytes StoredBlocks(const TrackerSample& s, bool unsignedData) {
    Bytes out;
    for (std::uint8_t c = 0; c < s.channels; ++c) Append(out, StoredLe(Channel(s, c), s.bits, unsignedData));
    return out;
}

// Each channel as differences from its previous value, left block first
// (the delta coding of XM and of IT's delta samples).
Bytes StoredDeltas(const TrackerSample& s) {
    Bytes out;
    for (std::uint8_t c = 0; c < s.channels; ++c) {
        std::int32_t previous = 0;
        std::vector<std::int32_t> deltas;
        for (const auto v : Channel(s, c)) {
            deltas.push_back(s.bits == 8 ? static_cast<std::int8_t>(v - previous)
                                         : static_cast<std::int16_t>(v - previous));
            previous = v;
        }
        Append(out, StoredLe(deltas, s.bits, false));
    }
    return out;
}

// Writes values LSB first, as the IT sample decompressor reads them.
class BitWriter {
public:
    void Put(std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i) {
            if (used_ == 0) bytes_.push_back(0);
            bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (((value >> i) & 1u) << used_));
            used_ = (used_ + 1) % 8;
        }
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
    int used_ = 0;
};

std::uint8_t AmigaChannels(const std::string& signature) {
    if (signature == "CD61") return 6;
    if (signature.size() == 4 && (signature.substr(0, 3) == "FA0" || signature.substr(0, 3) == "TDZ"))
        return static_cast<std::uint8_t>(signature[3] - '0');
    if (signature == "EXO8") return 8;
    if (signature.size() == 4 && std::isdigit(static_cast<unsigned char>(signature[0])) && signature.substr(1) == "CHN")
        return static_cast<std::uint8_t>(signature[0] - '0');
    if (signature.size() == 4 && signature.substr(2) == "CH")
        return static_cast<std::uint8_t>(std::stoi(signature.substr(0, 2)));
    if (signature == "FLT8" || signature == "OCTA" || signature == "CD81") return 8;
    return 4;
}

}  // namespace

Bytes DecodedPcm(const TrackerSample& sample) { return StoredLe(sample.values, sample.bits, false); }

std::vector<std::int32_t> WaveValues(Wave wave, std::size_t frames, std::uint8_t bits, std::uint8_t channels,
                                     std::size_t period, std::uint32_t seed) {
    const Bytes first = Waveform(wave, frames, period, seed);
    const Bytes second = Waveform(Wave::Triangle, frames, period + 7, seed + 1);
    std::vector<std::int32_t> out;
    out.reserve(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        for (std::uint8_t c = 0; c < channels; ++c) {
            const auto v8 = static_cast<std::int8_t>(c == 0 ? first[i] : second[i]);
            if (bits == 8) {
                out.push_back(v8);
            } else {
                // A low byte that varies too, so that byte order mistakes show.
                const std::int32_t low = static_cast<std::int32_t>((i * 37 + c * 101) % 256) - 128;
                out.push_back(std::clamp(v8 * 256 + low, -32768, 32767));
            }
        }
    }
    return out;
}

Bytes BuildXm(const XmRecipe& recipe) {
    Check(recipe.channels >= 1 && recipe.channels <= 32, "XM channels must be 1 to 32");
    Check(recipe.instruments.size() <= 128, "XM has at most 128 instruments");
    Bytes out(336, 0);
    PutText(out, 0, "Extended Module: ", 17);
    PutText(out, 17, recipe.title, 20);
    out[37] = 0x1A;
    PutText(out, 38, "FastTracker v2.00   ", 20);
    PutLe16(out, 58, recipe.version);
    PutLe32(out, 60, 276);
    PutLe16(out, 64, 1);  // song length
    PutLe16(out, 66, 0);  // restart
    PutLe16(out, 68, recipe.channels);
    PutLe16(out, 70, 1);  // patterns
    PutLe16(out, 72, static_cast<std::uint16_t>(recipe.instruments.size()));
    PutLe16(out, 74, 1);  // linear frequencies
    PutLe16(out, 76, 6);
    PutLe16(out, 78, 125);
    out[80] = 0;  // the order table plays pattern 0

    // One pattern: every eighth row plays an instrument that has samples.
    std::vector<std::size_t> playable;
    for (std::size_t i = 0; i < recipe.instruments.size(); ++i)
        if (!recipe.instruments[i].samples.empty()) playable.push_back(i + 1);
    Bytes cells;
    for (std::size_t row = 0; row < 64; ++row) {
        for (std::size_t channel = 0; channel < recipe.channels; ++channel) {
            if (row % 8 == 0 && channel == (row / 8) % recipe.channels && !playable.empty()) {
                cells.push_back(0x83);  // note and instrument follow
                cells.push_back(49);    // C-4
                cells.push_back(static_cast<std::uint8_t>(playable[(row / 8) % playable.size()]));
            } else {
                cells.push_back(0x80);  // empty cell
            }
        }
    }
    // Version 1.02 keeps the row count in one byte (less one).
    const bool v102 = recipe.version == 0x0102;
    Bytes pattern(v102 ? 8 : 9, 0);
    PutLe32(pattern, 0, static_cast<std::uint32_t>(pattern.size()));
    if (v102)
        pattern[5] = 63;
    else
        PutLe16(pattern, 5, 64);
    PutLe16(pattern, v102 ? 6 : 7, static_cast<std::uint16_t>(cells.size()));
    Append(pattern, cells);
    // Before version 1.04 the instruments come first, then the patterns,
    // then every sample's data.
    const bool old = recipe.version < 0x0104;
    Bytes allData;
    if (!old) Append(out, pattern);

    for (const auto& instrument : recipe.instruments) {
        Check(instrument.samples.size() <= 16, "an XM instrument has at most 16 samples");
        const bool hasSamples = !instrument.samples.empty();
        Bytes header(hasSamples ? 263 : 29, 0);
        PutLe32(header, 0, static_cast<std::uint32_t>(header.size()));
        PutText(header, 4, instrument.name, 22);
        PutLe16(header, 27, static_cast<std::uint16_t>(instrument.samples.size()));
        if (hasSamples) {
            PutLe32(header, 29, 40);
            // Keys spread evenly over the samples.
            for (std::size_t key = 0; key < 96; ++key)
                header[33 + key] = static_cast<std::uint8_t>(key * instrument.samples.size() / 96);
        }
        Append(out, header);
        Bytes data;
        for (const auto& s : instrument.samples) {
            CheckSample(s);
            Check(!s.adpcm || (s.bits == 8 && s.channels == 1), "XM ADPCM samples are 8-bit mono");
            const std::uint32_t bytesPerFrame = s.bits / 8u * s.channels;
            Bytes sh(40, 0);
            PutLe32(sh, 0, static_cast<std::uint32_t>(s.Frames() * bytesPerFrame));
            if (s.loop != Loop::None) {
                PutLe32(sh, 4, s.loopStart * bytesPerFrame);
                PutLe32(sh, 8, (s.loopEnd - s.loopStart) * bytesPerFrame);
            }
            sh[12] = s.volume;
            sh[13] = static_cast<std::uint8_t>(s.finetune);
            sh[14] = static_cast<std::uint8_t>((s.loop == Loop::Forward ? 1 : s.loop == Loop::PingPong ? 2 : 0) |
                                               (s.bits == 16 ? 0x10 : 0) | (s.channels == 2 ? 0x20 : 0));
            sh[15] = 128;  // panning
            sh[16] = static_cast<std::uint8_t>(s.relativeNote);
            if (s.adpcm) sh[17] = 0xAD;
            PutText(sh, 18, s.name, 22);
            Append(out, sh);
            if (s.adpcm) {
                Append(data, EncodeAdpcm4(s.values));
                continue;
            }
            Append(data, StoredDeltas(s));
        }
        Append(old ? allData : out, data);
    }
    if (old) {
        Append(out, pattern);
        Append(out, allData);
    }
    return out;
}

Bytes BuildS3m(const S3mRecipe& recipe) {
    const auto count = static_cast<std::uint16_t>(recipe.samples.size());
    Check(count <= 99, "S3M has at most 99 instruments");
    Bytes out(0x60, 0);
    PutText(out, 0, recipe.title, 28);
    out[28] = 0x1A;
    out[29] = 16;         // module type
    PutLe16(out, 32, 2);  // orders
    PutLe16(out, 34, count);
    PutLe16(out, 36, 1);  // patterns
    PutLe16(out, 40, 0x1320);
    PutLe16(out, 42, recipe.signedSamples ? 1 : 2);
    PutText(out, 44, "SCRM", 4);
    out[48] = 64;    // global volume
    out[49] = 6;     // speed
    out[50] = 125;   // tempo
    out[51] = 0xB0;  // stereo, master volume 48
    for (std::size_t c = 0; c < 32; ++c) out[64 + c] = 255;
    out[64] = 0;  // L1
    out[65] = 8;  // R1
    out[66] = 9;  // R2
    out[67] = 1;  // L2
    out.push_back(0);
    out.push_back(255);
    const std::size_t instrumentPointers = out.size();
    out.resize(out.size() + 2 * count + 2, 0);
    const std::size_t patternPointer = instrumentPointers + 2 * count;
    PadTo(out, 16);

    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < count; ++i) {
        headers.push_back(out.size());
        PutLe16(out, instrumentPointers + 2 * i, static_cast<std::uint16_t>(out.size() / 16));
        out.resize(out.size() + 0x50, 0);
    }

    // One pattern: every eighth row plays a sample on one of four channels.
    std::vector<std::size_t> playable;
    for (std::size_t i = 0; i < count; ++i)
        if (!recipe.samples[i].values.empty()) playable.push_back(i + 1);
    Bytes rows;
    for (std::size_t row = 0; row < 64; ++row) {
        if (row % 8 == 0 && !playable.empty()) {
            rows.push_back(static_cast<std::uint8_t>(0x20 | ((row / 8) % 4)));
            rows.push_back(0x40);  // C-4
            rows.push_back(static_cast<std::uint8_t>(playable[(row / 8) % playable.size()]));
        }
        rows.push_back(0);
    }
    PutLe16(out, patternPointer, static_cast<std::uint16_t>(out.size() / 16));
    const std::size_t pattern = out.size();
    out.resize(pattern + 2, 0);
    PutLe16(out, pattern, static_cast<std::uint16_t>(rows.size() + 2));
    Append(out, rows);
    PadTo(out, 16);

    for (std::size_t i = 0; i < count; ++i) {
        const auto& s = recipe.samples[i];
        CheckSample(s);
        Check(s.loop != Loop::PingPong, "S3M has no ping-pong loops");
        const std::size_t h = headers[i];
        out[h] = s.values.empty() ? 0 : 1;
        PutText(out, h + 1, s.fileName, 12);
        PutLe32(out, h + 16, static_cast<std::uint32_t>(s.Frames()));
        if (s.loop != Loop::None) {
            PutLe32(out, h + 20, s.loopStart);
            PutLe32(out, h + 24, s.loopEnd);
        }
        out[h + 28] = s.volume;
        out[h + 31] = static_cast<std::uint8_t>((s.loop != Loop::None ? 1 : 0) | (s.channels == 2 ? 2 : 0) |
                                                (s.bits == 16 ? 4 : 0));
        PutLe32(out, h + 32, s.c5speed);
        PutText(out, h + 48, s.name, 28);
        PutText(out, h + 76, "SCRS", 4);
        if (s.values.empty()) continue;
        const std::size_t segment = out.size() / 16;
        out[h + 13] = static_cast<std::uint8_t>(segment >> 16);
        PutLe16(out, h + 14, static_cast<std::uint16_t>(segment));
        Append(out, StoredBlocks(s, !recipe.signedSamples));
        PadTo(out, 16);
    }
    return out;
}

Bytes CompressIt214(const std::vector<std::int32_t>& values, std::uint8_t bits, bool doubleDelta) {
    Check(bits == 8 || bits == 16, "IT compression takes 8- or 16-bit samples");
    const int full = bits + 1;  // the widest code: a whole value plus the escape bit
    const int escapes = bits == 8 ? 8 : 16;
    const std::size_t blockFrames = bits == 8 ? 0x8000 : 0x4000;
    const std::uint32_t mask = (1u << bits) - 1;
    const auto wrap = [&](std::int64_t v) {  // to a signed value of `bits` bits
        const auto u = static_cast<std::uint32_t>(v) & mask;
        return static_cast<std::int32_t>(u >= (mask >> 1) + 1 ? static_cast<std::int64_t>(u) - (mask + 1) : u);
    };
    // The values a code of `width` bits holds as data, the escape codes aside.
    const auto fits = [&](std::int32_t d, int width) {
        if (width >= full) return true;
        const std::int32_t half = 1 << (width - 1);
        if (width < 7) return d > -half && d < half;
        return d >= -(half - escapes / 2) && d <= half - 1 - escapes / 2;
    };

    Bytes out;
    for (std::size_t start = 0; start < values.size(); start += blockFrames) {
        const std::size_t end = std::min(values.size(), start + blockFrames);
        BitWriter writer;
        int width = full;
        std::int32_t previous = 0;
        std::int32_t previousDelta = 0;
        for (std::size_t i = start; i < end; ++i) {
            const std::int32_t delta = wrap(static_cast<std::int64_t>(values[i]) - previous);
            const std::int32_t code = doubleDelta ? wrap(static_cast<std::int64_t>(delta) - previousDelta) : delta;
            previous = values[i];
            previousDelta = delta;
            int wanted = 1;
            while (!fits(code, wanted)) ++wanted;
            if (wanted != width) {
                if (width < 7) {
                    writer.Put(1u << (width - 1), width);
                    writer.Put(static_cast<std::uint32_t>(wanted < width ? wanted - 1 : wanted - 2),
                               bits == 8 ? 3 : 4);
                } else if (width < full) {
                    const std::uint32_t border = (mask >> (full - width)) - static_cast<std::uint32_t>(escapes / 2);
                    writer.Put(border + static_cast<std::uint32_t>(wanted < width ? wanted : wanted - 1), width);
                } else {
                    writer.Put((1u << bits) | static_cast<std::uint32_t>(wanted - 1), full);
                }
                width = wanted;
            }
            // At the widest code the escape bit stays clear: the value is its low `bits` bits.
            writer.Put(static_cast<std::uint32_t>(code) & ((1u << std::min(width, int{bits})) - 1), width);
        }
        Check(writer.bytes().size() <= 0xFFFF, "compressed block too long");
        Bytes length(2, 0);
        PutLe16(length, 0, static_cast<std::uint16_t>(writer.bytes().size()));
        Append(out, length);
        Append(out, writer.bytes());
    }
    return out;
}

Bytes BuildIt(const ItRecipe& recipe) {
    const auto samples = static_cast<std::uint16_t>(recipe.samples.size());
    const auto instruments = static_cast<std::uint16_t>(recipe.instruments.size());
    Check(samples <= 99 && instruments <= 99, "IT takes at most 99 samples and instruments");
    Bytes out(0xC0, 0);
    PutText(out, 0, "IMPM", 4);
    PutText(out, 4, recipe.title, 26);
    PutLe16(out, 30, 0x1004);
    PutLe16(out, 32, 2);  // orders
    PutLe16(out, 34, instruments);
    PutLe16(out, 36, samples);
    PutLe16(out, 38, 1);  // patterns
    PutLe16(out, 40, 0x0214);
    PutLe16(out, 42, 0x0214);
    PutLe16(out, 44, static_cast<std::uint16_t>(0x09 | (instruments ? 0x04 : 0)));  // stereo, linear slides
    out[48] = 128;  // global volume
    out[49] = 48;   // mix volume
    out[50] = 6;
    out[51] = 125;
    out[52] = 128;  // separation
    for (std::size_t c = 0; c < 64; ++c) {
        out[64 + c] = c < 4 ? 32 : 32 | 128;  // four channels on, the rest disabled
        out[128 + c] = 64;
    }
    out.push_back(0);
    out.push_back(255);
    const std::size_t instrumentOffsets = out.size();
    out.resize(out.size() + 4 * (instruments + samples + 1), 0);
    const std::size_t sampleOffsets = instrumentOffsets + 4 * instruments;
    const std::size_t patternOffset = sampleOffsets + 4 * samples;

    for (std::size_t i = 0; i < instruments; ++i) {
        const auto& [name, sample] = recipe.instruments[i];
        Check(sample >= 0 && sample < samples, "IT instrument refers to a missing sample");
        const std::size_t at = out.size();
        PutLe32(out, instrumentOffsets + 4 * i, static_cast<std::uint32_t>(at));
        out.resize(at + 554, 0);
        PutText(out, at, "IMPI", 4);
        out[at + 24] = 128;        // global volume
        out[at + 25] = 32 | 128;   // default pan, not used
        PutLe16(out, at + 28, 0x0214);
        out[at + 30] = 1;          // samples used
        PutText(out, at + 32, name, 26);
        for (std::size_t note = 0; note < 120; ++note) {
            out[at + 64 + 2 * note] = static_cast<std::uint8_t>(note);
            out[at + 65 + 2 * note] = static_cast<std::uint8_t>(sample + 1);
        }
    }

    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < samples; ++i) {
        headers.push_back(out.size());
        PutLe32(out, sampleOffsets + 4 * i, static_cast<std::uint32_t>(out.size()));
        out.resize(out.size() + 0x50, 0);
    }

    // One pattern: C-5 on channel 1, first row, with the first sample or instrument.
    PutLe32(out, patternOffset, static_cast<std::uint32_t>(out.size()));
    Bytes rows = {0x81, 0x03, 60, 1, 0};
    rows.resize(rows.size() + 63, 0);
    Bytes pattern(8, 0);
    PutLe16(pattern, 0, static_cast<std::uint16_t>(rows.size()));
    PutLe16(pattern, 2, 64);
    Append(out, pattern);
    Append(out, rows);

    for (std::size_t i = 0; i < samples; ++i) {
        const auto& s = recipe.samples[i];
        CheckSample(s);
        const bool compressed = recipe.compression != ItCompression::None;
        const std::size_t h = headers[i];
        PutText(out, h, "IMPS", 4);
        PutText(out, h + 4, s.fileName, 12);
        out[h + 17] = 64;  // global volume
        out[h + 18] = static_cast<std::uint8_t>((s.values.empty() ? 0 : 0x01) | (s.bits == 16 ? 0x02 : 0) |
                                                (s.channels == 2 ? 0x04 : 0) | (compressed ? 0x08 : 0) |
                                                (s.loop != Loop::None ? 0x10 : 0) |
                                                (s.loop == Loop::PingPong ? 0x40 : 0) |
                                                (s.sustain != Loop::None ? 0x20 : 0) |
                                                (s.sustain == Loop::PingPong ? 0x80 : 0));
        out[h + 19] = s.volume;
        PutText(out, h + 20, s.name, 26);
        Check(!compressed || (!s.delta && !s.unsignedData), "compressed IT samples are signed, not delta");
        out[h + 46] = static_cast<std::uint8_t>((s.unsignedData ? 0 : 0x01) |
                                                (recipe.compression == ItCompression::It215 || s.delta ? 0x04 : 0));
        out[h + 47] = 32;
        PutLe32(out, h + 48, static_cast<std::uint32_t>(s.Frames()));
        if (s.loop != Loop::None) {
            PutLe32(out, h + 52, s.loopStart);
            PutLe32(out, h + 56, s.loopEnd);
        }
        PutLe32(out, h + 60, s.c5speed);
        if (s.sustain != Loop::None) {
            PutLe32(out, h + 64, s.sustainStart);
            PutLe32(out, h + 68, s.sustainEnd);
        }
        if (s.values.empty()) continue;
        PutLe32(out, h + 72, static_cast<std::uint32_t>(out.size()));
        if (compressed) {
            for (std::uint8_t c = 0; c < s.channels; ++c)
                Append(out, CompressIt214(Channel(s, c), s.bits, recipe.compression == ItCompression::It215));
        } else if (s.delta) {
            Append(out, StoredDeltas(s));
        } else {
            Append(out, StoredBlocks(s, s.unsignedData));
        }
    }
    return out;
}

Bytes BuildAmigaModule(const AmigaRecipe& recipe) {
    const bool soundtracker = recipe.signature.empty();
    const std::size_t slots = soundtracker ? 15 : 31;
    const std::uint8_t channels = soundtracker ? 4 : AmigaChannels(recipe.signature);
    Check(recipe.samples.size() <= slots, "too many samples for the module");
    const std::size_t headerSize = soundtracker ? 600 : 1084;
    Bytes out(headerSize, 0);
    PutText(out, 0, recipe.title, 20);

    std::vector<Bytes> data(slots);
    for (std::size_t i = 0; i < recipe.samples.size(); ++i) {
        const auto& s = recipe.samples[i];
        CheckSample(s);
        Check(s.bits == 8 && s.channels == 1, "Amiga samples are 8-bit mono");
        Check(s.values.size() % 2 == 0, "Amiga sample lengths are whole words");
        Check(s.loop != Loop::PingPong, "Amiga modules have no ping-pong loops");
        Check(s.loop == Loop::None || (s.loopStart % 2 == 0 && s.loopEnd % 2 == 0), "Amiga loops are whole words");
        if (s.adpcm) {
            data[i] = {'A', 'D', 'P', 'C', 'M'};
            Append(data[i], EncodeAdpcm4(s.values));
        } else {
            data[i] = StoredLe(s.values, 8, false);
        }
        const std::size_t h = 20 + 30 * i;
        PutText(out, h, s.name, 22);
        PutBe16(out, h + 22, static_cast<std::uint16_t>(s.values.size() / 2));
        out[h + 24] = static_cast<std::uint8_t>(s.finetune & 0x0F);
        out[h + 25] = s.volume;
        if (s.loop == Loop::Forward) {
            // Soundtracker counts the repeat start in bytes, later trackers in words.
            PutBe16(out, h + 26, static_cast<std::uint16_t>(soundtracker ? s.loopStart : s.loopStart / 2));
            PutBe16(out, h + 28, static_cast<std::uint16_t>((s.loopEnd - s.loopStart) / 2));
        } else {
            PutBe16(out, h + 28, 1);
        }
    }
    for (std::size_t i = recipe.samples.size(); i < slots; ++i) PutBe16(out, 20 + 30 * i + 28, 1);

    const std::size_t song = 20 + 30 * slots;
    out[song] = static_cast<std::uint8_t>(std::clamp<std::size_t>(recipe.orders.size(), 1, 128));
    out[song + 1] = soundtracker ? 0x78 : 0x7F;
    std::uint8_t highest = 0;
    for (std::size_t i = 0; i < recipe.orders.size() && i < 128; ++i) {
        out[song + 2 + i] = recipe.orders[i];
        highest = std::max(highest, recipe.orders[i]);
    }
    if (!soundtracker) PutText(out, 1080, recipe.signature, 4);
    if (recipe.signature.substr(0, 3) == "FA0") out.resize(out.size() + 4, 0);

    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < slots; ++i)
        if (!data[i].empty()) used.push_back(i + 1);
    const std::size_t rowBytes = 4u * channels;
    // FLT8 and EXO8 store a pair of four-channel patterns per order entry pair.
    const bool paired = recipe.signature == "FLT8" || recipe.signature == "EXO8";
    const std::size_t patterns = paired ? (highest >> 1) + 1u : highest + 1u;
    for (std::size_t p = 0; p < patterns; ++p) {
        Bytes pattern(64 * rowBytes, 0);
        for (std::size_t row = 0; row < 64 && !used.empty(); row += 8) {
            const std::size_t sample = used[(row / 8 + p) % used.size()];
            const std::size_t channel = (row / 8) % channels;
            const std::uint16_t period = (row / 8) % 2 ? 428 : 214;
            const std::size_t cell = row * rowBytes + channel * 4;
            pattern[cell] = static_cast<std::uint8_t>((sample & 0xF0) | (period >> 8));
            pattern[cell + 1] = static_cast<std::uint8_t>(period);
            pattern[cell + 2] = static_cast<std::uint8_t>((sample & 0x0F) << 4);
        }
        Append(out, pattern);
    }
    for (const auto& d : data) Append(out, d);
    return out;
}

std::vector<DemoFile> TrackerDemoSet() {
    const auto sample = [](std::string name, Wave wave, std::size_t frames, std::uint8_t bits, Loop loop) {
        TrackerSample s;
        s.name = std::move(name);
        s.bits = bits;
        s.values = WaveValues(wave, frames, bits, 1, 20 + frames % 50);
        s.loop = loop;
        if (loop != Loop::None) {
            s.loopStart = static_cast<std::uint32_t>(frames / 4 * 2);
            s.loopEnd = static_cast<std::uint32_t>(frames);
        }
        return s;
    };
    std::vector<DemoFile> set;
    XmRecipe xm;
    xm.title = "strings and keys";
    xm.instruments = {{"strings", {sample("violin", Wave::Saw, 6000, 16, Loop::PingPong)}},
                      {"keys", {sample("low", Wave::Sine, 3000, 8, Loop::None),
                                sample("high", Wave::Triangle, 2000, 8, Loop::Forward)}}};
    xm.instruments[1].samples[0].relativeNote = -12;
    set.push_back({"strings.xm", BuildXm(xm)});
    set.push_back({"strings.xm.gz", GzipStored(BuildXm(xm))});

    S3mRecipe s3m;
    s3m.title = "drum loop";
    s3m.samples = {sample("kick", Wave::Sine, 4000, 8, Loop::None), sample("snare", Wave::Noise, 3000, 16, Loop::None),
                   sample("hat", Wave::Noise, 800, 8, Loop::Forward)};
    s3m.samples[0].c5speed = 22050;
    s3m.samples[1].c5speed = 44100;
    set.push_back({"drums.s3m", BuildS3m(s3m)});

    ItRecipe it;
    it.title = "compressed pads";
    it.compression = ItCompression::It214;
    it.samples = {sample("pad", Wave::Triangle, 20000, 16, Loop::Forward), sample("air", Wave::Noise, 5000, 8, Loop::None)};
    it.samples[0].c5speed = 32000;
    set.push_back({"pads.it", BuildIt(it)});

    AmigaRecipe six;
    six.title = "six voices";
    six.samples = {sample("lead", Wave::Square, 2000, 8, Loop::Forward), sample("bass", Wave::Saw, 3000, 8, Loop::None)};
    six.samples[0].finetune = -2;
    set.push_back({"six.mod", BuildAmigaModule(six)});

    AmigaRecipe st = six;
    st.title = "fifteen samples";
    st.signature = "";
    for (auto& s : st.samples) s.loop = Loop::None;
    set.push_back({"fifteen.mod", BuildAmigaModule(st)});
    return set;
}

Bytes EncodeAdpcm4(const std::vector<std::int32_t>& values) {
    Bytes out(16, 0);
    for (int n = 0; n < 16; ++n) out[static_cast<std::size_t>(n)] = static_cast<std::uint8_t>(n < 8 ? n : n - 16);
    std::int32_t previous = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::int32_t step = values[i] - previous;
        Check(step >= -8 && step <= 7, "ADPCM steps lie in -8..7");
        previous = values[i];
        const auto nibble = static_cast<std::uint8_t>(step & 0x0F);
        if (i % 2 == 0)
            out.push_back(nibble);
        else
            out.back() = static_cast<std::uint8_t>(out.back() | (nibble << 4));
    }
    return out;
}

Bytes GzipStored(const Bytes& bytes) {
    std::uint32_t table[256];
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const auto b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    crc ^= 0xFFFFFFFFu;

    Bytes out = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    std::size_t at = 0;
    do {
        const std::size_t take = std::min<std::size_t>(bytes.size() - at, 0xFFFF);
        const bool last = at + take == bytes.size();
        Bytes block(5, 0);
        block[0] = last ? 1 : 0;  // final flag, stored block
        PutLe16(block, 1, static_cast<std::uint16_t>(take));
        PutLe16(block, 3, static_cast<std::uint16_t>(~take));
        Append(out, block);
        out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                   bytes.begin() + static_cast<std::ptrdiff_t>(at + take));
        at += take;
    } while (at < bytes.size());
    Bytes trailer(8, 0);
    PutLe32(trailer, 0, crc);
    PutLe32(trailer, 4, static_cast<std::uint32_t>(bytes.size()));
    Append(out, trailer);
    return out;
}

}  // namespace vorneck::demo
