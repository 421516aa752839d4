// SPDX-License-Identifier: MIT
// Recognising the tracker formats, and the output bound of their modules.
#include "engine/tracker_formats.h"

#include <algorithm>

#include "engine/byte_reader.h"

namespace vorneck {

bool IsTrackerKind(ModuleKind kind) {
    return kind == ModuleKind::ModFamily || kind == ModuleKind::Xm || kind == ModuleKind::S3m ||
           kind == ModuleKind::It;
}

std::uint64_t TrackerOutputBound(std::uint64_t fileSize) {
    constexpr std::uint64_t kFactor = 32;
    constexpr std::uint64_t kMost = std::uint64_t{256} << 20;
    return fileSize > kMost / kFactor ? kMost : fileSize * kFactor;
}

ModuleKind DetectTrackerKind(std::span<const std::uint8_t> head, std::uint64_t fileSize, ModuleKind own) {
    if (own == ModuleKind::Mmd) return own;
    if (own == ModuleKind::FourChannel)
        return ModFamilyLayout(head, fileSize).channels == 8 ? ModuleKind::ModFamily : own;
    const ByteReader reader(head);
    if (reader.matches(0, "Extended Module: ")) return ModuleKind::Xm;
    if (reader.matches(0, "IMPM")) return ModuleKind::It;
    if (reader.matches(44, "SCRM")) return ModuleKind::S3m;
    if (ModFamilyLayout(head, fileSize).channels > 0) return ModuleKind::ModFamily;
    return own;
}

}  // namespace vorneck
