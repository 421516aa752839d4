// SPDX-License-Identifier: MIT
// Turns the stored bytes of one sample into a playable audio file, all in
// memory: the caller reads the module and writes the result wherever it
// likes. libsndfile writes every file; the few chunks Debian 12's libsndfile
// gets wrong or leaves out are corrected afterwards (see iff_fixups.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sample_info.h"

namespace vorneck {

enum class AudioFormat { Raw, Wav, Aiff, Svx8, Flac };

// "raw", "wav", "aiff", "8svx" or "flac", exactly as written (lower case).
std::optional<AudioFormat> ParseAudioFormat(std::string_view text);
// The name ParseAudioFormat takes for it.
std::string_view AudioFormatName(AudioFormat format);
// What an output file's name gets appended: "" for raw, else ".wav",
// ".aiff", ".8svx" or ".flac".
std::string_view AudioExtension(AudioFormat format);

// Whole frames in `byteCount` stored bytes of `encoding`; a trailing
// partial frame does not count.
std::uint64_t FrameCount(const SampleEncoding& encoding, std::uint64_t byteCount);

// Stored bytes in any encoding (8 or 16 bit, signed or unsigned, either byte
// order, interleaved or one channel after the other) to the canonical form:
// signed, little-endian, channels interleaved, same bits and channels.
// A trailing partial frame is dropped. Channels stored one after the other
// are read as FrameCount() frames of channel 0, then as many of channel 1,
// and so on; bytes beyond them are the dropped partial frame.
std::vector<std::uint8_t> ToDecodedPcm(const SampleEncoding& encoding, std::span<const std::uint8_t> stored);

// The same for any target: interleaved, of the same bits and channels, with
// the given signedness and byte order of 16-bit values.
std::vector<std::uint8_t> ConvertSamples(const SampleEncoding& encoding, std::span<const std::uint8_t> stored,
                                         bool toSigned, bool toBigEndian);

// The loop as the audio files and the manifest carry it: the sample's loop
// cut to its frames; none when the mode is None or nothing is left of it.
struct SampleLoop {
    LoopMode mode = LoopMode::None;
    std::uint64_t start = 0;  // frames
    std::uint64_t end = 0;    // frames, exclusive
};
SampleLoop EffectiveLoop(const SampleInfo& sample, std::uint64_t frames);

// A whole audio file of `format` (not Raw) holding the sample's frames with
// its own bits and channels, its rate, its loop and base note (WAV smpl,
// AIFF MARK/INST, 8SVX VHDR; FLAC has no standard loop field and gets
// none), its name as title and the module's song name as album where the
// format has the field (text_fields.h says how names are written). FLAC
// takes rates above 65,535 Hz rounded to a multiple of 10 (what a
// streamable FLAC frame header can say). Refused: Raw, encodings other
// than 8 or 16 bits, a rate of 0, 16-bit or stereo samples and rates above
// 65,535 Hz in 8SVX (an 8-bit mono format whose VHDR holds the rate in 16
// bits), rates above 655,350 Hz in FLAC, and FLAC without frames (a FLAC
// stream of 0 samples means "length unknown"). On failure returns false,
// leaves `out` empty and says why in `error`.
bool EncodeAudio(AudioFormat format, const SampleInfo& sample, const ModuleInfo& module,
                 std::span<const std::uint8_t> stored, std::vector<std::uint8_t>& out, std::string& error);

}  // namespace vorneck
