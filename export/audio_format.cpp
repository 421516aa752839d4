// SPDX-License-Identifier: MIT
#include "export/audio_export.h"

namespace vorneck {

namespace {

struct FormatEntry {
    AudioFormat format;
    std::string_view name;
    std::string_view extension;
};

constexpr FormatEntry kFormats[] = {
    {AudioFormat::Raw, "raw", ""},
    {AudioFormat::Wav, "wav", ".wav"},
    {AudioFormat::Aiff, "aiff", ".aiff"},
    {AudioFormat::Svx8, "8svx", ".8svx"},
    {AudioFormat::Flac, "flac", ".flac"},
};

const FormatEntry& Entry(AudioFormat format) {
    for (const auto& entry : kFormats)
        if (entry.format == format) return entry;
    return kFormats[0];
}

}  // namespace

std::optional<AudioFormat> ParseAudioFormat(std::string_view text) {
    for (const auto& entry : kFormats)
        if (entry.name == text) return entry.format;
    return std::nullopt;
}

std::string_view AudioFormatName(AudioFormat format) { return Entry(format).name; }

std::string_view AudioExtension(AudioFormat format) { return Entry(format).extension; }

}  // namespace vorneck
