// SPDX-License-Identifier: MIT
#include "export/manifest.h"

#include <openssl/evp.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "export/text_fields.h"

namespace vorneck {

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    static constexpr std::uint8_t kNothing = 0;
    const void* data = bytes.empty() ? &kNothing : static_cast<const void*>(bytes.data());
    if (EVP_Digest(data, bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * size);
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    return hex;
}

ManifestRecord DescribeSample(const SampleInfo& sample, const ModuleInfo& module,
                              std::span<const std::uint8_t> stored) {
    ManifestRecord record;
    record.slot = sample.slot;
    record.name = sample.name;
    record.frames = FrameCount(sample.encoding, stored.size());
    record.bits = sample.encoding.bits;
    record.channels = sample.encoding.channels;
    record.rate = sample.rate;
    record.loop = EffectiveLoop(sample, record.frames);
    record.sha256 = Sha256Hex(stored);
    record.format = module.format;
    SampleInfo sustain = sample;
    sustain.loopMode = sample.sustainMode;
    sustain.loopStart = sample.sustainStart;
    sustain.loopEnd = sample.sustainEnd;
    record.sustain = EffectiveLoop(sustain, record.frames);
    const std::uint64_t alteredEnd = std::min(sample.alteredEnd, record.frames);
    if (sample.alteredStart < alteredEnd) record.altered = {sample.alteredStart, alteredEnd};
    record.rawDecoded = sample.decoded;
    return record;
}

std::string ManifestLine(const ManifestRecord& record) {
    using Json = nlohmann::ordered_json;
    const auto path = [](const std::optional<std::string>& text) {
        return text ? Json(BytesToUtf8(*text)) : Json(nullptr);
    };
    const auto number = [](const std::optional<std::uint64_t>& value) { return value ? Json(*value) : Json(nullptr); };
    const bool looped = record.loop.mode != LoopMode::None;

    Json line;
    line["module"] = BytesToUtf8(record.module);
    line["slot"] = record.slot;
    line["n"] = record.n;
    line["name"] = Latin1ToUtf8(CleanName(record.name));
    line["output"] = path(record.output);
    line["offset"] = number(record.offset);
    line["length"] = number(record.length);
    line["frames"] = record.frames;
    line["bits"] = record.bits;
    line["channels"] = record.channels;
    line["rate"] = record.rate;
    line["loop_start"] = looped ? Json(record.loop.start) : Json(nullptr);
    line["loop_end"] = looped ? Json(record.loop.end) : Json(nullptr);
    line["loop_mode"] = !looped ? Json(nullptr) : record.loop.mode == LoopMode::PingPong ? Json("pingpong") : Json("forward");
    line["sha256"] = record.sha256;
    line["duplicate_of"] = path(record.duplicateOf);
    line["format"] = BytesToUtf8(record.format);
    line["raw_form"] = record.rawDecoded ? "decoded" : "stored";
    if (record.sustain.mode != LoopMode::None) {
        line["sustain_start"] = record.sustain.start;
        line["sustain_end"] = record.sustain.end;
        line["sustain_mode"] = record.sustain.mode == LoopMode::PingPong ? "pingpong" : "forward";
    }
    if (record.altered.first < record.altered.second)
        line["altered"] = Json::array({record.altered.first, record.altered.second});
    return line.dump();
}

}  // namespace vorneck
