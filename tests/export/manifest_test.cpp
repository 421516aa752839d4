// SPDX-License-Identifier: MIT
// Content hashes and manifest lines: exact keys in order, nulls, and valid
// JSON whatever bytes the paths and names hold.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "export/manifest.h"

namespace vorneck {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Json = nlohmann::ordered_json;

const std::vector<std::string> kKeys = {"module", "slot",   "n",          "name",     "output",    "offset",
                                        "length", "frames", "bits",       "channels", "rate",      "loop_start",
                                        "loop_end", "loop_mode", "sha256", "duplicate_of", "format", "raw_form"};

std::vector<std::string> Keys(const Json& line) {
    std::vector<std::string> keys;
    for (const auto& item : line.items()) keys.push_back(item.key());
    return keys;
}

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const Bytes abc = {'a', 'b', 'c'};
    EXPECT_EQ(Sha256Hex(abc), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(ManifestLine, DescribedSampleWithEveryFieldSet) {
    SampleInfo sample;
    sample.slot = 12;
    sample.name = "bass";
    sample.encoding = SampleEncoding{16, true, true, 2, false};
    sample.rate = 8363;
    sample.loopMode = LoopMode::PingPong;
    sample.loopStart = 2;
    sample.loopEnd = 900;  // beyond the frames: cut, as in the audio files
    const Bytes stored(4 * 100 + 3, 0);
    ManifestRecord record = DescribeSample(sample, ModuleInfo{"mmd1", "song"}, stored);
    record.module = "in/song.med";
    record.n = 4;
    record.output = "out/4_song.med.wav";
    record.offset = 1234;
    record.length = 403;
    record.duplicateOf = "out/1_song.med.wav";

    const std::string text = ManifestLine(record);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    const Json line = Json::parse(text);
    EXPECT_EQ(Keys(line), kKeys);
    EXPECT_EQ(line, Json::parse(R"({"module":"in/song.med","slot":12,"n":4,"name":"bass",
        "output":"out/4_song.med.wav","offset":1234,"length":403,"frames":100,"bits":16,"channels":2,
        "rate":8363,"loop_start":2,"loop_end":100,"loop_mode":"pingpong","sha256":")" +
                                 Sha256Hex(stored) + R"(","duplicate_of":"out/1_song.med.wav","format":"mmd1",
        "raw_form":"stored"})"));
}

TEST(ManifestLine, SustainLoopAndAlteredFramesOnlyWhereTheyApply) {
    SampleInfo sample;
    sample.encoding = DecodedPcm(16, 1);
    sample.sustainMode = LoopMode::Forward;
    sample.sustainStart = 10;
    sample.sustainEnd = 500;  // beyond the frames: cut
    sample.alteredStart = 40;
    sample.alteredEnd = 44;
    const Bytes stored(2 * 100, 0);
    const Json line = Json::parse(ManifestLine(DescribeSample(sample, {"it", ""}, stored)));
    std::vector<std::string> keys = kKeys;
    for (const char* key : {"sustain_start", "sustain_end", "sustain_mode", "altered"}) keys.push_back(key);
    EXPECT_EQ(Keys(line), keys);
    EXPECT_EQ(line["sustain_start"], 10);
    EXPECT_EQ(line["sustain_end"], 100);
    EXPECT_EQ(line["sustain_mode"], "forward");
    EXPECT_EQ(line["altered"], Json::array({40, 44}));
    EXPECT_TRUE(line["loop_mode"].is_null());

    // Altered frames past the sample's end, and a sustain loop with nothing
    // left of it, leave their keys out.
    sample.sustainStart = 100;
    sample.alteredStart = 100;
    sample.alteredEnd = 104;
    EXPECT_EQ(Keys(Json::parse(ManifestLine(DescribeSample(sample, {"it", ""}, stored)))), kKeys);
}

TEST(ManifestLine, NullsForWhatIsUnknownOrAbsent) {
    ManifestRecord record;  // no output, offset, length, loop or duplicate
    record.loop = {LoopMode::None, 5, 9};
    const Json line = Json::parse(ManifestLine(record));
    EXPECT_EQ(Keys(line), kKeys);
    for (const char* key : {"output", "offset", "length", "loop_start", "loop_end", "loop_mode", "duplicate_of"})
        EXPECT_TRUE(line[key].is_null()) << key;
    record.loop = {LoopMode::Forward, 0, 9};
    const Json looped = Json::parse(ManifestLine(record));
    EXPECT_EQ(looped["loop_start"], 0);
    EXPECT_EQ(looped["loop_end"], 9);
    EXPECT_EQ(looped["loop_mode"], "forward");
}

TEST(ManifestLine, OddBytesInPathsAndNamesStillGiveValidJson) {
    ManifestRecord record;
    record.module = "mods/caf\xe9 \"q\"\\\n\x01.mod";  // Latin-1 byte: not UTF-8
    record.output = "out/\xc3\xa9t\xc3\xa9/0_x.mod";    // valid UTF-8 stays as it is
    record.duplicateOf = std::string("out/\xff\xfe\0z", 8);
    record.name = "d\xe9j\xe0\x01\x9b vu";
    record.format = "mod";
    const std::string text = ManifestLine(record);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    const Json line = Json::parse(text);  // throws on invalid UTF-8 or syntax
    EXPECT_EQ(line["module"], "mods/caf\xc3\xa9 \"q\"\\\n\x01.mod");
    EXPECT_EQ(line["output"], "out/\xc3\xa9t\xc3\xa9/0_x.mod");
    EXPECT_EQ(line["duplicate_of"], std::string("out/\xc3\xbf\xc3\xbe\0z", 10));
    EXPECT_EQ(line["name"], "d\xc3\xa9j\xc3\xa0 vu");
}

}  // namespace
}  // namespace vorneck
