// SPDX-License-Identifier: MIT
// The commands that change which entries of the source file list are
// selected, and the display of the selected count.
#pragma once

#include <string_view>

#include "engine/services.h"
#include "engine/source_file_list.h"

namespace vorneck {

inline constexpr const char* kNoSelectPatternMessage =
    "You must enter a pattern before attempting to select using this pattern";
inline constexpr const char* kNoDeselectPatternMessage =
    "You must enter a pattern before attempting to deselect using this pattern";

// Writes "Selected: " and the list's selected count into status panel 3.
void ShowSelectedCount(const SourceFileList& list, StatusLine& status);

// Marks every entry matching the pattern selected (or not selected); other
// entries keep their state. An empty pattern is refused with a message and
// changes nothing. Returns false when refused.
bool SelectByPattern(SourceFileList& list, std::string_view pattern, bool matchCase,
                     ErrorReporter& errors, StatusLine& status);
bool DeselectByPattern(SourceFileList& list, std::string_view pattern, bool matchCase,
                       ErrorReporter& errors, StatusLine& status);

void SelectAll(SourceFileList& list, StatusLine& status);
void DeselectAll(SourceFileList& list, StatusLine& status);

}  // namespace vorneck
