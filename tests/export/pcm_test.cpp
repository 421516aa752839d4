// SPDX-License-Identifier: MIT
// Decoding stored sample bytes, the loop the files carry, format names, and
// the text conversions for names and paths.
#include <gtest/gtest.h>

#include "export/audio_export.h"
#include "export/text_fields.h"
#include "tests/export/stored_pcm.h"

namespace vorneck {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Stores `frames` (signed values, interleaved) the way `encoding` says.
Bytes Store(const SampleEncoding& encoding, const std::vector<std::vector<int>>& frames) {
    return testing::StoredPcm(encoding, frames.size(), [&](std::size_t i, std::size_t c) { return frames[i][c]; });
}

TEST(DecodedPcm, EveryEncodingToEveryTarget) {
    // Enough values for whole eight-byte words and a rest in every layout.
    std::vector<int> wide = {-32768, -1, 0, 1, 32767, 0x1234, -0x1235};
    std::vector<int> narrow = {-128, -1, 0, 1, 127, 0x12, -0x13};
    for (int i = 0; i < 12; ++i) {
        wide.push_back(i * 5003 - 30000);
        narrow.push_back(i * 19 - 110);
    }
    for (const std::uint8_t bits : {8, 16}) {
        for (const bool isSigned : {true, false}) {
            for (const bool bigEndian : {true, false}) {
                for (const std::uint8_t channels : {1, 2}) {
                    for (const bool interleaved : {true, false}) {
                        const SampleEncoding encoding{bits, isSigned, bigEndian, channels, interleaved};
                        SCOPED_TRACE(::testing::Message() << int(bits) << " bits, signed " << isSigned << ", big "
                                                          << bigEndian << ", " << int(channels) << " ch, interleaved "
                                                          << interleaved);
                        const auto& values = bits == 8 ? narrow : wide;
                        std::vector<std::vector<int>> frames;
                        for (std::size_t i = 0; i < values.size(); ++i)
                            frames.push_back({values[i], values[values.size() - 1 - i]});
                        Bytes stored = Store(encoding, frames);
                        // A partial frame at the end is dropped.
                        stored.insert(stored.end(), encoding.BytesPerFrame() - 1, 0x5A);

                        const Bytes expected = Store(DecodedPcm(bits, channels), frames);
                        EXPECT_EQ(ToDecodedPcm(encoding, stored), expected);
                        for (const bool toSigned : {true, false})
                            for (const bool toBig : {true, false})
                                EXPECT_EQ(ConvertSamples(encoding, stored, toSigned, toBig),
                                          Store(SampleEncoding{bits, toSigned, toBig, channels, true}, frames))
                                    << "to signed " << toSigned << ", big " << toBig;
                        EXPECT_EQ(FrameCount(encoding, stored.size()), frames.size());
                    }
                }
            }
        }
    }
}

TEST(DecodedPcm, NothingFromTooFewBytesOrAnUnknownWidth) {
    EXPECT_TRUE(ToDecodedPcm(SampleEncoding{16, true, true, 2, true}, Bytes(3, 1)).empty());
    EXPECT_TRUE(ToDecodedPcm(SampleEncoding{12, true, true, 1, true}, Bytes(30, 1)).empty());
    EXPECT_TRUE(ToDecodedPcm(SampleEncoding{8, true, true, 0, true}, Bytes(30, 1)).empty());
}

TEST(EffectiveLoop, IsCutToTheFramesAndDroppedWhenNothingIsLeft) {
    SampleInfo sample;
    sample.loopMode = LoopMode::Forward;
    sample.loopStart = 10;
    sample.loopEnd = 50;
    EXPECT_EQ(EffectiveLoop(sample, 100).end, 50u);
    EXPECT_EQ(EffectiveLoop(sample, 40).end, 40u);
    EXPECT_EQ(EffectiveLoop(sample, 40).mode, LoopMode::Forward);
    EXPECT_EQ(EffectiveLoop(sample, 10).mode, LoopMode::None);  // starts at the end
    sample.loopEnd = 10;
    EXPECT_EQ(EffectiveLoop(sample, 100).mode, LoopMode::None);  // empty
    sample.loopEnd = 50;
    sample.loopMode = LoopMode::None;
    EXPECT_EQ(EffectiveLoop(sample, 100).mode, LoopMode::None);
}

TEST(AudioFormatNames, ParseAndExtensions) {
    const std::pair<const char*, const char*> table[] = {
        {"raw", ""}, {"wav", ".wav"}, {"aiff", ".aiff"}, {"8svx", ".8svx"}, {"flac", ".flac"}};
    for (const auto& [name, extension] : table) {
        const auto format = ParseAudioFormat(name);
        ASSERT_TRUE(format) << name;
        EXPECT_EQ(AudioExtension(*format), extension);
        EXPECT_EQ(AudioFormatName(*format), name);
    }
    for (const char* bad : {"", "WAV", "mp3", "wave", "aif", " wav"}) EXPECT_FALSE(ParseAudioFormat(bad)) << bad;
}

TEST(TextFields, NamesAreCleanedAndConverted) {
    EXPECT_EQ(CleanName("  kick\tdrum \x01"), "kickdrum");
    EXPECT_EQ(CleanName(std::string("snare\0junk", 10)), "snare");  // ends at its first NUL
    EXPECT_EQ(CleanName("caf\xe9\x85\x7f!"), "caf\xe9!");           // C1 controls and DEL dropped
    EXPECT_EQ(CleanName("   "), "");
    EXPECT_EQ(Latin1ToUtf8("caf\xe9 \xff"), "caf\xc3\xa9 \xc3\xbf");
    EXPECT_EQ(Latin1ToAscii("caf\xe9 \xff"), "caf? ?");
}

TEST(TextFields, PathsKeepValidUtf8AndReadOtherBytesAsLatin1) {
    const std::string valid = "dir/caf\xc3\xa9/\xe2\x82\xac/\xf0\x9f\x8e\xb5.mod";
    EXPECT_EQ(BytesToUtf8(valid), valid);
    EXPECT_EQ(BytesToUtf8("caf\xe9.mod"), "caf\xc3\xa9.mod");
    // A cut sequence, an overlong slash, a surrogate and a code point beyond
    // U+10FFFF are not UTF-8: each byte stands for itself.
    EXPECT_EQ(BytesToUtf8("\xe2\x82"), "\xc3\xa2\xc2\x82");
    EXPECT_EQ(BytesToUtf8("\xc0\xaf"), "\xc3\x80\xc2\xaf");
    EXPECT_EQ(BytesToUtf8("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80");
    EXPECT_EQ(BytesToUtf8("\xf4\x90\x80\x80"), "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80");
}

}  // namespace
}  // namespace vorneck
