// SPDX-License-Identifier: MIT
#include "demo/module_builder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>

namespace vorneck::demo {
namespace {

void PutText(Bytes& bytes, std::size_t at, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width && i < text.size(); ++i)
        bytes[at + i] = static_cast<std::uint8_t>(text[i]);
}

void Append(Bytes& bytes, const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

}  // namespace

void PutBe16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value);
}

void PutBe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    PutBe16(bytes, at, static_cast<std::uint16_t>(value >> 16));
    PutBe16(bytes, at + 2, static_cast<std::uint16_t>(value));
}

Bytes Waveform(Wave wave, std::size_t length, std::size_t period, std::uint32_t seed) {
    Bytes out(length);
    if (period == 0) period = 1;
    std::uint32_t noise = seed ? seed : 1;
    for (std::size_t i = 0; i < length; ++i) {
        const double phase = static_cast<double>(i % period) / static_cast<double>(period);
        double v = 0;
        switch (wave) {
            case Wave::Sine:
                v = std::sin(2 * std::numbers::pi * phase);
                break;
            case Wave::Square:
                v = phase < 0.5 ? 0.8 : -0.8;
                break;
            case Wave::Saw:
                v = 2 * phase - 1;
                break;
            case Wave::Triangle:
                v = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
                break;
            case Wave::Noise:
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                v = static_cast<double>(noise % 256) / 128.0 - 1;
                break;
        }
        // A gentle fade-out so the samples do not click when they end.
        const double fade = 1.0 - 0.7 * static_cast<double>(i) / static_cast<double>(length);
        const auto s = static_cast<int>(std::lround(v * fade * 127));
        out[i] = static_cast<std::uint8_t>(static_cast<std::int8_t>(std::clamp(s, -128, 127)));
    }
    return out;
}

Bytes BuildMod(const ModRecipe& recipe, std::vector<SampleRange>* ranges) {
    constexpr std::size_t kInstruments = 31;
    constexpr std::size_t kPatternSize = 1024;
    Bytes out(1084, 0);
    PutText(out, 0, recipe.title, 20);

    std::vector<Bytes> data(kInstruments);
    for (std::size_t i = 0; i < kInstruments && i < recipe.samples.size(); ++i) {
        data[i] = recipe.samples[i].data;
        if (data[i].size() % 2) data[i].push_back(0);
        data[i].resize(std::min<std::size_t>(data[i].size(), 131070));
    }
    for (std::size_t i = 0; i < kInstruments; ++i) {
        const std::size_t h = 20 + 30 * i;
        const ModSample* sample = i < recipe.samples.size() ? &recipe.samples[i] : nullptr;
        if (sample) PutText(out, h, sample->name, 22);
        PutBe16(out, h + 22, static_cast<std::uint16_t>(data[i].size() / 2));
        out[h + 24] = sample ? static_cast<std::uint8_t>(sample->finetune & 0x0F) : 0;
        out[h + 25] = data[i].empty() ? 0 : sample->volume;
        PutBe16(out, h + 26, sample ? sample->repeatStart : 0);
        PutBe16(out, h + 28, sample ? sample->repeatLength : 1);
    }
    for (const auto& [slot, words] : recipe.lengthWordOverrides) PutBe16(out, 20 + 30 * slot + 22, words);

    const std::size_t songLength = std::clamp<std::size_t>(recipe.orders.size(), 1, 128);
    out[950] = static_cast<std::uint8_t>(songLength);
    out[951] = 127;
    std::uint8_t highest = 0;
    for (std::size_t i = 0; i < 128 && i < recipe.orders.size(); ++i) {
        out[952 + i] = recipe.orders[i];
        highest = std::max(highest, recipe.orders[i]);
    }
    PutText(out, 1080, recipe.signature, 4);

    // Patterns: every eighth row plays one of the samples on one channel.
    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < kInstruments; ++i)
        if (!data[i].empty()) used.push_back(i + 1);
    for (std::size_t p = 0; p <= highest; ++p) {
        Bytes pattern(kPatternSize, 0);
        for (std::size_t row = 0; row < 64 && !used.empty(); row += 8) {
            const std::size_t sample = used[(row / 8 + p) % used.size()];
            const std::size_t channel = (row / 8) % 4;
            const std::uint16_t period = (row / 8) % 2 ? 428 : 214;
            const std::size_t cell = row * 16 + channel * 4;
            pattern[cell] = static_cast<std::uint8_t>((sample & 0xF0) | (period >> 8));
            pattern[cell + 1] = static_cast<std::uint8_t>(period);
            pattern[cell + 2] = static_cast<std::uint8_t>((sample & 0x0F) << 4);
        }
        Append(out, pattern);
    }
    for (std::size_t i = 0; i < kInstruments; ++i) {
        if (ranges && !data[i].empty()) ranges->push_back({out.size(), data[i].size()});
        Append(out, data[i]);
    }
    return out;
}

Bytes BuildMmd(const MmdRecipe& recipe, std::vector<SampleRange>* ranges, MmdLayout* layout) {
    const bool mmd0 = recipe.signature.size() >= 4 && recipe.signature[3] == '0';
    constexpr std::size_t kHeaderSize = 52;
    constexpr std::size_t kSongSize = 788;
    constexpr std::size_t kTracks = 4;
    constexpr std::size_t kLines = 64;

    Bytes out(kHeaderSize, 0);
    PutText(out, 0, recipe.signature, 4);

    // Song structure: 63 sample entries of 8 bytes, then the song itself.
    const std::size_t song = out.size();
    out.resize(song + kSongSize, 0);
    for (std::size_t i = 0; i < 63; ++i) {
        const std::size_t e = song + 8 * i;
        const MmdInstrument* ins = i < recipe.instruments.size() ? &recipe.instruments[i] : nullptr;
        PutBe16(out, e, ins ? ins->repeat : 0);
        PutBe16(out, e + 2, ins ? ins->repeatLength : 1);  // 1: no loop
        out[e + 6] = ins ? ins->volume : 64;
        out[e + 7] = ins ? static_cast<std::uint8_t>(ins->transpose) : 0;
    }
    PutBe16(out, song + 504, 1);  // one block
    PutBe16(out, song + 506, 1);  // song length one
    PutBe16(out, song + 764, 125);
    out[song + 769] = 6;
    for (std::size_t t = 0; t < 16; ++t) out[song + 770 + t] = 64;
    out[song + 786] = 64;
    out[song + 787] = static_cast<std::uint8_t>(std::min<std::size_t>(recipe.instruments.size(), 255));

    // One block with a few notes, behind a one-entry block array.
    const std::size_t blockArray = out.size();
    out.resize(blockArray + 4, 0);
    const std::size_t block = out.size();
    PutBe32(out, blockArray, static_cast<std::uint32_t>(block));
    const std::size_t noteSize = mmd0 ? 3 : 4;
    if (mmd0) {
        out.push_back(kTracks);
        out.push_back(kLines - 1);
    } else {
        out.resize(out.size() + 8, 0);
        PutBe16(out, block, kTracks);
        PutBe16(out, block + 2, kLines - 1);
    }
    const std::size_t notes = out.size();
    out.resize(notes + kTracks * kLines * noteSize, 0);
    std::size_t playable = 0;
    for (const auto& ins : recipe.instruments)
        if (!ins.empty && ins.type >= 0 && ins.type <= 7) ++playable;
    for (std::size_t line = 0; line < kLines && playable > 0; line += 8) {
        const std::size_t instrument = (line / 8) % std::min<std::size_t>(playable, 31) + 1;
        const std::size_t cell = notes + (line * kTracks + (line / 8) % kTracks) * noteSize;
        const std::uint8_t note = (line / 8) % 2 ? 13 : 25;
        if (mmd0) {
            out[cell] = static_cast<std::uint8_t>(((instrument & 0x10) << 3) | note);
            out[cell + 1] = static_cast<std::uint8_t>((instrument & 0x0F) << 4);
        } else {
            out[cell] = note;
            out[cell + 1] = static_cast<std::uint8_t>(instrument);
        }
    }
    if (out.size() % 2) out.push_back(0);

    // The instrument table, then the instruments.
    const std::size_t table = out.size();
    const std::size_t slots = std::min<std::size_t>(recipe.instruments.size(), 255);
    out.resize(table + 4 * slots, 0);
    if (layout) {
        layout->song = song;
        layout->table = table;
        layout->instruments.assign(slots, 0);
    }
    for (std::size_t i = 0; i < slots; ++i) {
        const auto& ins = recipe.instruments[i];
        if (ins.empty) continue;
        const std::size_t start = out.size();
        PutBe32(out, table + 4 * i, static_cast<std::uint32_t>(start));
        if (layout) layout->instruments[i] = start;
        if (ins.hybrid) {
            // The synthetic header: length, type -2, tables, then 64
            // waveform pointers of which the first leads to the sample.
            constexpr std::size_t kSynthHeader = 278 + 4 * 64;
            out.resize(start + kSynthHeader, 0);
            PutBe32(out, start, static_cast<std::uint32_t>(kSynthHeader));
            PutBe16(out, start + 4, static_cast<std::uint16_t>(-2));
            PutBe32(out, start + 278, static_cast<std::uint32_t>(kSynthHeader));
        }
        const std::size_t at = out.size();
        out.resize(at + 6, 0);
        PutBe32(out, at, static_cast<std::uint32_t>(ins.lengthOverride.value_or(
                             static_cast<std::int32_t>(ins.data.size()))));
        PutBe16(out, at + 4, static_cast<std::uint16_t>(ins.type));
        if (ranges && ins.type >= 0 && ins.type <= 7 && !ins.data.empty())
            ranges->push_back({at + 6, ins.data.size()});
        Append(out, ins.data);
        if (out.size() % 2) out.push_back(0);
    }

    // Expansion data: instrument extensions (finetune, loop mode), names and
    // the song name, when the recipe has any of them.
    bool described = !recipe.songName.empty();
    for (const auto& ins : recipe.instruments)
        described = described || !ins.name.empty() || ins.finetune != 0 || ins.pingPong || ins.loopFlagOff ||
                    ins.longRepeatLength != 0;
    if (described) {
        constexpr std::size_t kExtSize = 18;
        constexpr std::size_t kInfoSize = 40;
        const std::size_t ext = out.size();
        out.resize(ext + kExtSize * slots, 0);
        for (std::size_t i = 0; i < slots; ++i) {
            out[ext + kExtSize * i + 3] = static_cast<std::uint8_t>(recipe.instruments[i].finetune);
            const auto& ins = recipe.instruments[i];
            const bool loopFlag = ins.repeatLength > 1 && !ins.loopFlagOff;
            out[ext + kExtSize * i + 5] = static_cast<std::uint8_t>((loopFlag ? 0x01 : 0) | (ins.pingPong ? 0x08 : 0));
            PutBe32(out, ext + kExtSize * i + 10, ins.longRepeat);
            PutBe32(out, ext + kExtSize * i + 14, ins.longRepeatLength);
        }
        const std::size_t info = out.size();
        out.resize(info + kInfoSize * slots, 0);
        for (std::size_t i = 0; i < slots; ++i) PutText(out, info + kInfoSize * i, recipe.instruments[i].name, kInfoSize);
        const std::size_t name = out.size();
        out.insert(out.end(), recipe.songName.begin(), recipe.songName.end());
        out.push_back(0);
        if (out.size() % 2) out.push_back(0);
        const std::size_t exp = out.size();
        out.resize(exp + 80, 0);
        PutBe32(out, exp + 4, static_cast<std::uint32_t>(ext));
        PutBe16(out, exp + 8, static_cast<std::uint16_t>(slots));
        PutBe16(out, exp + 10, kExtSize);
        PutBe32(out, exp + 20, static_cast<std::uint32_t>(info));
        PutBe16(out, exp + 24, static_cast<std::uint16_t>(slots));
        PutBe16(out, exp + 26, kInfoSize);
        PutBe32(out, exp + 44, static_cast<std::uint32_t>(name));
        PutBe32(out, exp + 48, static_cast<std::uint32_t>(recipe.songName.size() + 1));
        PutBe32(out, 32, static_cast<std::uint32_t>(exp));
    }

    if (!mmd0 && recipe.signature.size() >= 4 && recipe.signature[3] >= '2') {
        // MMD2 and MMD3 keep the song's order in play sequences: where MMD0
        // and MMD1 have the order list, a pointer to a table of pointers to
        // them (one here: block 0 once), and the track count.
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(song + 508),
                  out.begin() + static_cast<std::ptrdiff_t>(song + 764), 0);
        const std::size_t seqTable = out.size();
        out.resize(seqTable + 4 + 32 + 8 + 2 + 2, 0);
        PutBe32(out, seqTable, static_cast<std::uint32_t>(seqTable + 4));
        PutBe16(out, seqTable + 4 + 40, 1);  // one entry: block 0
        PutBe32(out, song + 508, static_cast<std::uint32_t>(seqTable));
        PutBe16(out, song + 520, kTracks);
        PutBe16(out, song + 522, 1);
    }

    PutBe32(out, 4, static_cast<std::uint32_t>(out.size()));  // module length
    PutBe32(out, 8, static_cast<std::uint32_t>(song));
    PutBe32(out, 16, static_cast<std::uint32_t>(blockArray));
    PutBe32(out, 24, static_cast<std::uint32_t>(table));
    return out;
}

std::vector<DemoFile> DemoSet() {
    std::vector<DemoFile> set;
    {
        ModRecipe recipe;
        recipe.title = "chiptune";
        recipe.samples = {{"sine lead", Waveform(Wave::Sine, 4096, 32), 0, 64, 1024, 1024},
                        {"square bass", Waveform(Wave::Square, 2048, 64), -2, 48},
                        {"saw pad", Waveform(Wave::Saw, 6000, 48), 3, 40, 0, 3000},
                        {"triangle", Waveform(Wave::Triangle, 1500, 24)}};
        recipe.orders = {0, 1, 0, 1};
        set.push_back({"Chiptune.mod", BuildMod(recipe)});
    }
    {
        ModRecipe recipe;
        recipe.title = "noise kit";
        recipe.signature = "M!K!";
        recipe.samples = {{"hat", Waveform(Wave::Noise, 800, 1, 7)},
                        {"", {}},
                        {"snare", Waveform(Wave::Noise, 3000, 1, 99)},
                        {"kick", Waveform(Wave::Sine, 2400, 96)}};
        set.push_back({"noise-kit.mod", BuildMod(recipe)});
    }
    {
        ModRecipe recipe;
        recipe.title = "flt sketch";
        recipe.signature = "FLT4";
        recipe.samples = {{"organ", Waveform(Wave::Triangle, 5000, 40)}};
        recipe.orders = {0, 1, 2};
        set.push_back({"sketch.flt", BuildMod(recipe)});
    }
    {
        MmdRecipe recipe;
        recipe.signature = "MMD0";
        recipe.songName = "Bells";
        recipe.instruments = {{false, 0, Waveform(Wave::Sine, 3000, 20), {}, "bell", 2, false, 0, 64, 500, 500},
                            {true, 0, {}, {}},
                            {false, 0, Waveform(Wave::Square, 1200, 30), {}, "chime", 0, true, 12, 50, 0, 600},
                            {false, 0, Waveform(Wave::Saw, 2200, 50), {}, "gong", -3, false, -12}};
        set.push_back({"bells.med", BuildMmd(recipe)});
    }
    {
        MmdRecipe recipe;
        recipe.signature = "MMD1";
        recipe.songName = "Pads";
        recipe.instruments = {{false, 0, Waveform(Wave::Triangle, 4000, 64), {}, "soft pad", 0, false, 0, 64, 0, 2000},
                            {false, 0, Waveform(Wave::Noise, 1000, 1, 3), {}, "breath"}};
        set.push_back({"pads.mmd1", BuildMmd(recipe)});
    }
    {
        MmdRecipe recipe;
        recipe.signature = "MMD2";
        recipe.instruments = {{false, 0, Waveform(Wave::Saw, 2500, 25), {}},
                            {false, 0, Waveform(Wave::Sine, 1800, 90), {}, {}, 0, false, 0, 64, 0, 0, true},
                            {false, 0, Waveform(Wave::Square, 900, 16), {}}};
        set.push_back({"Strings.MED", BuildMmd(recipe)});
    }
    return set;
}

bool WriteDemoSet(const std::string& directory, std::string* error) {
    return WriteFiles(DemoSet(), directory, error);
}

bool WriteFiles(const std::vector<DemoFile>& files, const std::string& directory, std::string* error) {
    for (const auto& file : files) {
        const std::string path = directory + "/" + file.name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out) {
            if (error) *error = path + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace vorneck::demo
