// SPDX-License-Identifier: MIT
// How vorneck-cli turns a sample into a file: its name (the window's
// "N_module", or a template), its bytes (raw, or an audio file), and
// whether it is written at all (a copy of a sample written before is not,
// when asked).
#pragma once

#include <map>
#include <optional>
#include <string>

#include "cli/name_template.h"
#include "engine/services.h"
#include "export/audio_export.h"

namespace vorneck {

// Whether a sample's raw form differs from what the module stores: a sample
// handed over for decoding (16-bit big-endian, one channel after the
// other) is written as decoded PCM.
bool NeedsDecoding(const SampleInfo& sample);

// The bytes a sample is written as in raw form.
std::vector<std::uint8_t> RawForm(const SampleInfo& sample, std::span<const std::uint8_t> stored);

class CliSampleOutput : public SampleOutput {
public:
    CliSampleOutput(AudioFormat format, std::optional<NameTemplate> names, bool dedupe)
        : format_(format), names_(std::move(names)), dedupe_(dedupe) {}

    std::string FileName(const SampleContext& sample, std::uint64_t maxBytes) override;
    PreparedSample Prepare(const SampleContext& sample, std::span<const std::uint8_t> stored) override;
    void Written(const SampleContext& sample, std::string_view path, const PreparedSample& prepared) override;
    bool WritesStoredBytes() const override { return format_ == AudioFormat::Raw; }

    std::uint64_t duplicates() const { return duplicates_; }

private:
    AudioFormat format_;
    std::optional<NameTemplate> names_;
    bool dedupe_;
    // content hash (and, for audio files, what else they carry) -> output path
    std::map<std::string, std::string> firstCopies_;
    std::string pendingHash_;
    std::uint64_t duplicates_ = 0;
};

}  // namespace vorneck
