// SPDX-License-Identifier: MIT
#include "cli/sample_output.h"

#include "engine/sample_writer.h"
#include "export/manifest.h"

namespace vorneck {

bool NeedsDecoding(const SampleInfo& sample) {
    return sample.decoded && sample.encoding != DecodedPcm(sample.encoding.bits, sample.encoding.channels);
}

std::vector<std::uint8_t> RawForm(const SampleInfo& sample, std::span<const std::uint8_t> stored) {
    if (!NeedsDecoding(sample)) return {stored.begin(), stored.end()};
    return ToDecodedPcm(sample.encoding, stored);
}

std::string CliSampleOutput::FileName(const SampleContext& sample, std::uint64_t maxBytes) {
    const std::string_view extension = AudioExtension(format_);
    const std::uint64_t room = maxBytes > extension.size() ? maxBytes - extension.size() : 1;
    std::string name;
    if (names_) {
        NameFields fields;
        fields.n = sample.number;
        fields.slot = sample.sample ? sample.sample->slot : 0;
        fields.module = std::string(sample.moduleName);
        fields.name = sample.sample ? sample.sample->name : std::string();
        name = names_->Expand(fields, room);
    } else {
        name = DefaultSampleName(sample.number, std::string(sample.moduleName), room);
    }
    return name + std::string(extension);
}

PreparedSample CliSampleOutput::Prepare(const SampleContext& sample, std::span<const std::uint8_t> stored) {
    PreparedSample prepared;
    const SampleInfo info = sample.sample ? *sample.sample : SampleInfo{};
    const bool converted = NeedsDecoding(info);
    std::vector<std::uint8_t> raw;
    if (converted) raw = ToDecodedPcm(info.encoding, stored);
    const std::span<const std::uint8_t> rawBytes = converted ? std::span<const std::uint8_t>(raw) : stored;

    pendingHash_.clear();
    // Without a hash (libcrypto could not be loaded, which was said) no
    // sample is known to be a copy: each is written.
    if (dedupe_) pendingHash_ = Sha256Hex(rawBytes);
    if (!pendingHash_.empty()) {
        if (format_ != AudioFormat::Raw) {
            // An audio file carries more than the bytes: samples that share
            // them but not their rate, loop or layout (one wave under
            // several loops, as modules use it) are different files.
            const SampleLoop loop = EffectiveLoop(info, FrameCount(info.encoding, stored.size()));
            pendingHash_ += ' ' + std::to_string(info.encoding.bits) + ' ' + std::to_string(info.encoding.channels) +
                            ' ' + std::to_string(info.rate) + ' ' + std::to_string(static_cast<int>(loop.mode)) +
                            ' ' + std::to_string(loop.start) + ' ' + std::to_string(loop.end);
        }
        const auto first = firstCopies_.find(pendingHash_);
        if (first != firstCopies_.end()) {
            ++duplicates_;
            prepared.action = PreparedSample::Action::Duplicate;
            prepared.duplicateOf = first->second;
            return prepared;
        }
    }
    if (format_ == AudioFormat::Raw) {
        if (converted) {
            prepared.useStored = false;
            prepared.bytes = std::move(raw);
        }
        return prepared;
    }
    std::string error;
    prepared.useStored = false;
    if (!EncodeAudio(format_, info, sample.module ? *sample.module : ModuleInfo{}, stored, prepared.bytes, error)) {
        prepared.action = PreparedSample::Action::Fail;
        prepared.failure = std::string(kCreateFailedPrefix) + std::string(sample.outputPath) + " (" + error + ")";
    }
    return prepared;
}

void CliSampleOutput::Written(const SampleContext&, std::string_view path, const PreparedSample&) {
    if (dedupe_ && !pendingHash_.empty()) firstCopies_.emplace(pendingHash_, std::string(path));
}

}  // namespace vorneck
