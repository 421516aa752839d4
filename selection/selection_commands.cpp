// SPDX-License-Identifier: MIT
#include "selection/selection_commands.h"

#include <string>

#include "selection/matcher.h"

namespace vorneck {
namespace {

bool MarkByPattern(SourceFileList& list, std::string_view pattern, bool matchCase, bool selected,
                   const char* refusal, ErrorReporter& errors, StatusLine& status) {
    if (pattern.empty()) {
        errors.ErrorReport(refusal);
        return false;
    }
    const auto& names = list.Names();
    for (std::uint64_t i = 0; i < names.size(); ++i)
        if (MatchFileName(names[i], pattern, matchCase)) list.SetSelected(i, selected);
    ShowSelectedCount(list, status);
    return true;
}

}  // namespace

void ShowSelectedCount(const SourceFileList& list, StatusLine& status) {
    status.SetPanel(3, "Selected: " + std::to_string(list.SelectedCount()));
}

bool SelectByPattern(SourceFileList& list, std::string_view pattern, bool matchCase,
                     ErrorReporter& errors, StatusLine& status) {
    return MarkByPattern(list, pattern, matchCase, true, kNoSelectPatternMessage, errors, status);
}

bool DeselectByPattern(SourceFileList& list, std::string_view pattern, bool matchCase,
                       ErrorReporter& errors, StatusLine& status) {
    return MarkByPattern(list, pattern, matchCase, false, kNoDeselectPatternMessage, errors, status);
}

void SelectAll(SourceFileList& list, StatusLine& status) {
    list.SetAllSelected(true);
    ShowSelectedCount(list, status);
}

void DeselectAll(SourceFileList& list, StatusLine& status) {
    list.SetAllSelected(false);
    ShowSelectedCount(list, status);
}

}  // namespace vorneck
