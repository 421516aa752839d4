// SPDX-License-Identifier: MIT
// Writes one sample, a range of the current module, to a file of its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/extraction_run.h"

namespace vorneck {

inline constexpr const char* kCreateDirectoryFailedPrefix = "Unable to create directory: ";
inline constexpr const char* kCreateFailedPrefix = "Failed to create: ";
inline constexpr const char* kWriteFailedPrefix = "Failed to write (disk full?): ";
// Why the run refuses an output, for front ends that say why.
inline constexpr const char* kWrittenThisRun = "written earlier in this run";
inline constexpr const char* kWouldReplaceInput = "it would replace a module of this run";
// Where a link sits at a folder the run would write into.
inline constexpr const char* kFolderIsLink = "a link is there, and links are not followed";
inline constexpr const char* kInFolderThatIsLink = "its folder is a link, and links are not followed";
// The rules of ProtectingInputs, as WriteResult::rule gives them back.
inline constexpr int kRuleInput = 1;
inline constexpr int kRuleWrittenThisRun = 2;
// The text of a refusal by one of these rules.
const char* RefusalText(int rule);

// The file-name prefix of a sample: its number and "_", at most four
// characters (0_, 12_, 999_, 1000).
std::string SamplePrefix(std::int64_t number);

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8
// character (bytes that are not valid UTF-8 count as characters of one byte).
std::string CutAtCharacter(const std::string& text, std::uint64_t maxBytes);

// The seed's output name, "N_module", with the module-name part shortened
// when the whole would be longer than `maxBytes`.
std::string DefaultSampleName(std::int64_t number, const std::string& moduleName, std::uint64_t maxBytes);

// The rule every output of a run is written under: never over a module of
// the run (or the link it was listed by), never over a file the run wrote,
// and only over a file or a link.
ReplaceCheck ProtectingInputs(const ExtractionState& state);

// Writes `length` bytes of the current module from `offset` as sample
// `number`. Lengths of 0 or less write nothing. The range is cut to the
// bytes of the current file; a range cut short, or lying wholly outside,
// marks the module as damaged.
void SaveSample(ExtractionState& state, Services& services, std::int64_t offset,
                std::int64_t length, std::int64_t number, const SampleInfo& info = {});

// Writes bytes that are not a range of the module (a decoded sample) as
// sample `number`, under the same rules.
void SaveSampleBytes(ExtractionState& state, Services& services, std::span<const std::uint8_t> bytes,
                     std::int64_t number, const SampleInfo& info);

// Writes a sample decoded from the module's stored bytes (decoded PCM, see
// DecodedPcm) as sample `number`; `offset` and `length` say where the stored
// data lies in the module.
void SaveDecodedSample(ExtractionState& state, Services& services, std::span<const std::uint8_t> pcm,
                       std::uint64_t offset, std::uint64_t length, std::int64_t number, const SampleInfo& info);

// Walks the current module with `walk` once without writing, to find the
// bytes of its samples, so that the ones after its first written sample can
// be written ahead (where the file operations and the output allow it).
// The module's state is as before; the walk's messages are not shown.
void PlanWriteAhead(ExtractionState& state, Services& services, void (*walk)(ExtractionState&, Services&));

// Closes the current module's output directory; the run calls it after each
// module.
void FinishModuleOutput(ExtractionState& state, Services& services);

}  // namespace vorneck
