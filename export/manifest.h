// SPDX-License-Identifier: MIT
// Content hashes and the lines of a sample manifest (JSON Lines: one object
// per sample found).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "engine/sample_info.h"
#include "export/audio_export.h"

namespace vorneck {

// SHA-256 of `bytes` as 64 lower-case hex digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

// One sample of a manifest. Texts are bytes as the program has them: paths
// as the file system gives them, the name as the module stores it.
struct ManifestRecord {
    std::string module;                 // the module's path as given
    std::int32_t slot = 0;              // 1-based, as the tracker shows it
    std::int64_t n = 0;                 // the running number of the output name
    std::string name;                   // as stored (Latin-1 bytes)
    std::optional<std::string> output;  // the path written or planned; null when not written
    std::optional<std::uint64_t> offset;  // stored bytes in the module; null where the
    std::optional<std::uint64_t> length;  // format's loader does not expose them
    std::uint64_t frames = 0;
    std::uint32_t bits = 8;
    std::uint32_t channels = 1;
    std::uint32_t rate = 0;
    SampleLoop loop;                    // loop_start, loop_end and loop_mode are null when mode is None
    std::string sha256;                 // of the bytes as written in raw form
    std::optional<std::string> duplicateOf;  // output path of the first copy
    std::string format;                 // the module's format: "mod", "mmd0" ...
    SampleLoop sustain;                 // the loop played while a note is held (IT); mode None without one
    // Frames [first, second) the module library may have changed; none when empty.
    std::pair<std::uint64_t, std::uint64_t> altered{0, 0};
    // What a raw output holds: the module's own stored bytes, or decoded
    // PCM (signed, little-endian, channels interleaved).
    bool rawDecoded = false;
};

// Fills what the sample itself says: slot, name, frames, bits, channels,
// rate, loop (cut to the frames, as the audio files carry it), sha256 of
// `stored`, the module's format and whether the raw form is decoded. module, n, output, offset, length and
// duplicateOf are left to the caller.
ManifestRecord DescribeSample(const SampleInfo& sample, const ModuleInfo& module,
                              std::span<const std::uint8_t> stored);

// The record as one JSON object on one line, without the newline, with the
// keys module, slot, n, name, output, offset, length, frames, bits,
// channels, rate, loop_start, loop_end, loop_mode, sha256, duplicate_of,
// format and raw_form in that order. loop_mode is "forward", "pingpong" or
// null; raw_form is "stored" or "decoded". Only where they apply follow
// sustain_start, sustain_end and sustain_mode (a sustain loop, as the loop)
// and altered ([start, end) frames the module library may have changed).
//
// JSON text is UTF-8, while paths are bytes and names Latin-1:
//   name: cleaned as for the audio files' title (cut at its first NUL,
//     control characters dropped, blanks trimmed), then every byte read as
//     Latin-1;
//   module, output, duplicate_of: kept as they are when they are valid
//     UTF-8 (as paths on a UTF-8 system are); any byte that is not part of
//     a well-formed UTF-8 sequence is read as Latin-1. Such a path still
//     shows what it meant, though a script cannot open the file by it.
std::string ManifestLine(const ManifestRecord& record);

}  // namespace vorneck
