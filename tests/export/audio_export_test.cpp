// SPDX-License-Identifier: MIT
// Every audio file written is read back: with libsndfile for frames, rate,
// channels, sound and what it reads of loops and names, and chunk by chunk
// for the loop and name fields as each format's documentation defines them.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "export/audio_export.h"
#include "tests/export/audio_readback.h"
#include "tests/export/stored_pcm.h"

namespace vorneck {
namespace {

using testing::Be16;
using testing::Be32;
using testing::Bytes;
using testing::FindChunk;
using testing::Le32;
using testing::ReadWithSndfile;

enum class Layout { Mono, Interleaved, Planar };

// A sample with recognisable values over the whole range: frame i of
// channel c.
int Value(std::size_t i, std::size_t c, std::uint8_t bits) {
    const std::uint32_t mixed = static_cast<std::uint32_t>(i * 2654435761u + c * 40503u) >> 7;
    return bits == 8 ? static_cast<int>(mixed % 256) - 128 : static_cast<int>(mixed % 65536) - 32768;
}

// Stored as `encoding` says.
Bytes StoredSample(const SampleEncoding& encoding, std::uint64_t frames) {
    return testing::StoredPcm(encoding, frames,
                              [&](std::size_t i, std::size_t c) { return Value(i, c, encoding.bits); });
}

using Case = std::tuple<AudioFormat, std::uint8_t, Layout, std::uint64_t, LoopMode>;

class RoundTrip : public ::testing::TestWithParam<Case> {
protected:
    AudioFormat format() const { return std::get<0>(GetParam()); }
    std::uint8_t bits() const { return std::get<1>(GetParam()); }
    Layout layout() const { return std::get<2>(GetParam()); }
    std::uint64_t frames() const { return std::get<3>(GetParam()); }
    LoopMode loopMode() const { return std::get<4>(GetParam()); }
    bool looped() const { return loopMode() != LoopMode::None; }

    SampleInfo Sample() const {
        SampleInfo sample;
        sample.slot = 3;
        sample.name = "lead";
        // Signed and big-endian as the modules store them, except that the
        // 1000-frame cases are unsigned and little-endian, so that both the
        // bytes as they are and converted ones reach every format.
        const bool asModules = frames() != 1000;
        sample.encoding = SampleEncoding{bits(), asModules, asModules,
                                         static_cast<std::uint8_t>(layout() == Layout::Mono ? 1 : 2),
                                         layout() != Layout::Planar};
        sample.rate = 7895;  // finetune -1: not a rate any default would give
        sample.loopMode = loopMode();
        sample.loopStart = 5;
        sample.loopEnd = frames() - 7;
        sample.volume = 48;
        return sample;
    }
};

TEST_P(RoundTrip, FileHoldsTheSampleItsRateAndItsLoop) {
    const SampleInfo sample = Sample();
    const std::uint8_t channels = sample.encoding.channels;
    Bytes stored = StoredSample(sample.encoding, frames());
    // A partial frame at the end is left out of the file.
    if (sample.encoding.BytesPerFrame() > 1) stored.push_back(0x77);
    Bytes file;
    std::string error;
    ASSERT_TRUE(EncodeAudio(format(), sample, ModuleInfo{"mod", "song"}, stored, file, error)) << error;
    ASSERT_TRUE(error.empty());

    // Frames, rate, channels and sound through libsndfile.
    const auto back = ReadWithSndfile(file);
    ASSERT_TRUE(back.opened) << back.error;
    EXPECT_EQ(back.info.channels, channels);
    EXPECT_EQ(back.info.samplerate, 7895);
    std::uint64_t expectFrames = frames();
    // libsndfile 1.2.0 reads every byte from BODY to the end of an 8SVX file
    // as sound, so the pad byte IFF requires behind an odd BODY comes back
    // as one more (silent) frame; the BODY size below is exact.
    if (format() == AudioFormat::Svx8 && bits() == 8 && frames() % 2) expectFrames += 1;
    ASSERT_EQ(static_cast<std::uint64_t>(back.info.frames), expectFrames);
    for (std::size_t i = 0; i < expectFrames; ++i) {
        for (std::size_t c = 0; c < channels; ++c) {
            const int value = i < frames() ? Value(i, c, bits()) : 0;
            ASSERT_EQ(back.samples[i * channels + c], bits() == 8 ? value * 256 : value) << "frame " << i << " ch " << c;
        }
    }

    const std::uint64_t start = 5, end = frames() - 7;
    switch (format()) {
        case AudioFormat::Wav: {
            ASSERT_TRUE(back.instrument);
            EXPECT_EQ(back.instrument->basenote, 60);
            ASSERT_EQ(back.instrument->loop_count, looped() ? 1 : 0);
            if (looped()) {
                EXPECT_EQ(back.instrument->loops[0].mode,
                          loopMode() == LoopMode::PingPong ? SF_LOOP_ALTERNATING : SF_LOOP_FORWARD);
                EXPECT_EQ(back.instrument->loops[0].start, start);
                EXPECT_EQ(back.instrument->loops[0].end, end);
            }
            // smpl: dwMIDIUnityNote at 12, dwSamplePeriod (ns) at 8, loops
            // at 28; a loop's dwType at +4 (0 forward, 1 alternating),
            // dwStart at +8, dwEnd at +12 naming the last frame played.
            const auto smpl = FindChunk(file, "smpl");
            ASSERT_TRUE(smpl);
            EXPECT_EQ(Le32(smpl->data, 12), 60u);
            EXPECT_NEAR(Le32(smpl->data, 8), 1e9 / 7895, 1.0);
            ASSERT_EQ(Le32(smpl->data, 28), looped() ? 1u : 0u);
            if (looped()) {
                EXPECT_EQ(Le32(smpl->data, 36 + 4), loopMode() == LoopMode::PingPong ? 1u : 0u);
                EXPECT_EQ(Le32(smpl->data, 36 + 8), start);
                EXPECT_EQ(Le32(smpl->data, 36 + 12), end - 1);
            }
            break;
        }
        case AudioFormat::Aiff: {
            const auto comm = FindChunk(file, "COMM");
            const auto ssnd = FindChunk(file, "SSND");
            ASSERT_TRUE(comm && ssnd);
            EXPECT_EQ(Be32(comm->data, 2), frames());
            EXPECT_EQ(ssnd->size, 8 + frames() * sample.encoding.BytesPerFrame());
            // libsndfile reads the base note and the loop's markers back,
            // though it calls every looping play mode forward.
            ASSERT_TRUE(back.instrument);
            EXPECT_EQ(back.instrument->basenote, 60);
            ASSERT_EQ(back.instrument->loop_count, looped() ? 1 : 0);
            if (looped()) {
                EXPECT_EQ(back.instrument->loops[0].start, start);
                EXPECT_EQ(back.instrument->loops[0].end, end);
            }
            // INST: base note, detune, note and velocity ranges, gain, then
            // the sustain loop (play mode, begin and end marker ids).
            const auto inst = FindChunk(file, "INST");
            ASSERT_TRUE(inst);
            ASSERT_EQ(inst->size, 20u);
            EXPECT_EQ(inst->data[0], 60);
            const std::uint16_t mode = Be16(inst->data, 8);
            EXPECT_EQ(mode, !looped() ? 0 : loopMode() == LoopMode::PingPong ? 2 : 1);
            const auto mark = FindChunk(file, "MARK");
            ASSERT_EQ(mark.has_value(), looped());
            if (looped()) {
                // Markers sit between frames: the loop runs from the one at
                // `start` to the one at `end`.
                const std::uint16_t begin = Be16(inst->data, 10), stop = Be16(inst->data, 12);
                ASSERT_EQ(Be16(mark->data, 0), 2);
                std::size_t at = 2;
                for (int m = 0; m < 2; ++m) {
                    const std::uint16_t id = Be16(mark->data, at);
                    const std::uint32_t position = Be32(mark->data, at + 2);
                    if (id == begin) EXPECT_EQ(position, start);
                    else if (id == stop) EXPECT_EQ(position, end);
                    else ADD_FAILURE() << "marker " << id << " not used by INST";
                    const std::size_t text = mark->data[at + 6];
                    at += 7 + text + ((text + 1) % 2);
                }
            }
            break;
        }
        case AudioFormat::Svx8: {
            const auto vhdr = FindChunk(file, "VHDR");
            const auto body = FindChunk(file, "BODY");
            ASSERT_TRUE(vhdr && body);
            EXPECT_EQ(body->size, frames() * sample.encoding.BytesPerFrame());
            // oneShotHiSamples plays once, repeatHiSamples loops.
            EXPECT_EQ(Be32(vhdr->data, 0), looped() ? start : frames());
            EXPECT_EQ(Be32(vhdr->data, 4), looped() ? end - start : 0u);
            EXPECT_EQ(Be16(vhdr->data, 12), 7895);
            EXPECT_EQ(Be32(vhdr->data, 16), 0x10000u * 48 / 64);
            // Every chunk padded to even length; FORM's size covers the file.
            EXPECT_EQ(file.size() % 2, 0u);
            EXPECT_EQ(Be32(file, 4), file.size() - 8);
            break;
        }
        case AudioFormat::Flac:
            EXPECT_FALSE(back.instrument) << "FLAC has no standard loop field";
            break;
        case AudioFormat::Raw:
            FAIL();
    }
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const auto& [format, bits, layout, frames, loop] = info.param;
    std::string name(AudioFormatName(format));
    if (name == "8svx") name = "svx";
    name += "_" + std::to_string(bits) + "bit_";
    name += layout == Layout::Mono ? "mono" : layout == Layout::Interleaved ? "interleaved" : "planar";
    name += "_" + std::to_string(frames) + "_";
    name += loop == LoopMode::None ? "noloop" : loop == LoopMode::Forward ? "forward" : "pingpong";
    return name;
}

INSTANTIATE_TEST_SUITE_P(Stereo, RoundTrip,
                         ::testing::Combine(::testing::Values(AudioFormat::Wav, AudioFormat::Aiff, AudioFormat::Flac),
                                            ::testing::Values<std::uint8_t>(8, 16),
                                            ::testing::Values(Layout::Interleaved, Layout::Planar),
                                            ::testing::Values<std::uint64_t>(31, 1000),
                                            ::testing::Values(LoopMode::None, LoopMode::Forward, LoopMode::PingPong)),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Mono, RoundTrip,
                         ::testing::Combine(::testing::Values(AudioFormat::Wav, AudioFormat::Aiff, AudioFormat::Flac),
                                            ::testing::Values<std::uint8_t>(8, 16), ::testing::Values(Layout::Mono),
                                            ::testing::Values<std::uint64_t>(31, 1000, 20001),
                                            ::testing::Values(LoopMode::None, LoopMode::Forward, LoopMode::PingPong)),
                         CaseName);
// 8SVX holds 8-bit mono samples only.
INSTANTIATE_TEST_SUITE_P(Svx, RoundTrip,
                         ::testing::Combine(::testing::Values(AudioFormat::Svx8), ::testing::Values<std::uint8_t>(8),
                                            ::testing::Values(Layout::Mono),
                                            ::testing::Values<std::uint64_t>(31, 1000, 20001),
                                            ::testing::Values(LoopMode::None, LoopMode::Forward, LoopMode::PingPong)),
                         CaseName);

// Names: title and album where the format has them, in the character set
// the format defines; bytes above ASCII in a module are Latin-1.
struct Names {
    Bytes file;
    testing::ReadBack back;
};

Names Encode(AudioFormat format, const std::string& name, const std::string& song) {
    SampleInfo sample;
    sample.name = name;
    Names result;
    std::string error;
    EXPECT_TRUE(EncodeAudio(format, sample, ModuleInfo{"mod", song}, Bytes(101, 7), result.file, error)) << error;
    result.back = ReadWithSndfile(result.file);
    EXPECT_TRUE(result.back.opened) << result.back.error;
    return result;
}

const std::string kName = "  Caf\xe9\x01 d\xe9j\xe0\x7f";  // Latin-1 with control characters
const std::string kSong = "S\xfc\xdf\x9b song\t";

TEST(AudioNames, WavAndFlacCarryUtf8TitleAndAlbum) {
    for (const auto format : {AudioFormat::Wav, AudioFormat::Flac}) {
        const auto names = Encode(format, kName, kSong);
        EXPECT_EQ(names.back.title, "Caf\xc3\xa9 d\xc3\xa9j\xc3\xa0");
        EXPECT_EQ(names.back.album, "S\xc3\xbc\xc3\x9f song");
    }
}

TEST(AudioNames, AiffCarriesAsciiTitleAndTheSongAsAnnotation) {
    const auto names = Encode(AudioFormat::Aiff, kName, kSong);
    EXPECT_EQ(names.back.title, "Caf? d?j?");
    EXPECT_EQ(names.back.comment, "S?? song");
    const auto chunk = FindChunk(names.file, "NAME");
    ASSERT_TRUE(chunk);
    EXPECT_EQ(std::string(chunk->data.begin(), chunk->data.end()), "Caf? d?j?");
}

TEST(AudioNames, SvxCarriesTheSampleNameInLatin1) {
    const auto names = Encode(AudioFormat::Svx8, kName, kSong);
    const auto chunk = FindChunk(names.file, "NAME");
    ASSERT_TRUE(chunk);
    // A C string, with one more NUL to keep the chunk's size even.
    EXPECT_EQ(std::string(chunk->data.begin(), chunk->data.end()), std::string("Caf\xe9 d\xe9j\xe0\0", 10));
    EXPECT_EQ(names.back.info.frames, 101 + 1);  // see the 8SVX pad byte above
}

TEST(AudioNames, EmptyNamesLeaveTheFieldsOut) {
    for (const auto format : {AudioFormat::Wav, AudioFormat::Aiff, AudioFormat::Svx8, AudioFormat::Flac}) {
        const auto names = Encode(format, " \x01", "");
        EXPECT_FALSE(names.back.title) << AudioFormatName(format);
        EXPECT_FALSE(names.back.album) << AudioFormatName(format);
        EXPECT_FALSE(names.back.comment) << AudioFormatName(format);
        if (format == AudioFormat::Svx8 || format == AudioFormat::Aiff) {
            EXPECT_FALSE(FindChunk(names.file, "NAME"));
        }
    }
}

TEST(AudioFailures, RefusedWithAReasonAndNoOutput) {
    const Bytes stored(64, 1);
    const auto refuse = [&](AudioFormat format, const SampleInfo& sample) {
        Bytes out{1, 2, 3};
        std::string error;
        EXPECT_FALSE(EncodeAudio(format, sample, {}, stored, out, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(out.empty());
        return error;
    };
    SampleInfo sample;
    refuse(AudioFormat::Raw, sample);
    SampleInfo stereo;
    stereo.encoding.channels = 2;
    EXPECT_EQ(refuse(AudioFormat::Svx8, stereo), "8SVX holds mono samples only");
    SampleInfo fast;
    fast.rate = 70000;
    EXPECT_EQ(refuse(AudioFormat::Svx8, fast), "8SVX holds rates up to 65,535 Hz, not 70,000 Hz");
    SampleInfo wide;
    wide.encoding.bits = 16;
    EXPECT_EQ(refuse(AudioFormat::Svx8, wide).rfind("8SVX holds 8-bit samples only", 0), 0u);
    SampleInfo fastest;
    fastest.rate = 655351;
    EXPECT_EQ(refuse(AudioFormat::Flac, fastest), "FLAC holds rates up to 655,350 Hz, not 655,351 Hz");
    SampleInfo odd;
    odd.encoding.bits = 12;
    refuse(AudioFormat::Wav, odd);
    SampleInfo still;
    still.rate = 0;
    refuse(AudioFormat::Flac, still);
}

TEST(AudioEdges, EmptySampleAndLoopBeyondTheEnd) {
    // FLAC has no way to say "no samples" (0 means unknown): refused.
    Bytes flac;
    std::string flacError;
    EXPECT_FALSE(EncodeAudio(AudioFormat::Flac, SampleInfo{}, {}, Bytes{}, flac, flacError));
    EXPECT_FALSE(flacError.empty());
    for (const auto format : {AudioFormat::Wav, AudioFormat::Aiff, AudioFormat::Svx8}) {
        SampleInfo sample;
        Bytes file;
        std::string error;
        ASSERT_TRUE(EncodeAudio(format, sample, {}, {}, file, error)) << AudioFormatName(format) << ": " << error;
        const auto back = ReadWithSndfile(file);
        ASSERT_TRUE(back.opened) << AudioFormatName(format) << ": " << back.error;
        EXPECT_EQ(back.info.frames, 0);
    }
    // A loop reaching past the sample's end is cut to it.
    SampleInfo sample;
    sample.loopMode = LoopMode::Forward;
    sample.loopStart = 10;
    sample.loopEnd = 500;
    Bytes file;
    std::string error;
    ASSERT_TRUE(EncodeAudio(AudioFormat::Wav, sample, {}, Bytes(100, 0), file, error)) << error;
    const auto back = ReadWithSndfile(file);
    ASSERT_TRUE(back.instrument);
    EXPECT_EQ(back.instrument->loops[0].end, 100u);
    // A default volume of 0 still gives an audible 8SVX.
    sample.volume = 0;
    ASSERT_TRUE(EncodeAudio(AudioFormat::Svx8, sample, {}, Bytes(100, 0), file, error)) << error;
    EXPECT_EQ(Be32(FindChunk(file, "VHDR")->data, 16), 0x10000u);
}

TEST(AudioEdges, SvxTakesEveryRateItsHeaderHolds) {
    // The header's rate field has 16 bits: 65535 Hz is the last rate it holds.
    SampleInfo top;
    top.rate = 65535;
    Bytes file;
    std::string error;
    ASSERT_TRUE(EncodeAudio(AudioFormat::Svx8, top, {}, Bytes(100, 5), file, error)) << error;
    const auto vhdr = FindChunk(file, "VHDR");
    ASSERT_TRUE(vhdr);
    EXPECT_EQ(Be16(vhdr->data, 12), 65535u);
    const auto back = ReadWithSndfile(file);
    ASSERT_TRUE(back.opened) << back.error;
    EXPECT_EQ(back.info.samplerate, 65535);

    SampleInfo beyond;
    beyond.rate = 65536;
    EXPECT_FALSE(EncodeAudio(AudioFormat::Svx8, beyond, {}, Bytes(100, 5), file, error));
    EXPECT_TRUE(file.empty());
}

}  // namespace
}  // namespace vorneck
