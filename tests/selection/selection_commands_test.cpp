// SPDX-License-Identifier: MIT
// The selection commands over the source file list.
#include <gtest/gtest.h>

#include "selection/selection_commands.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using testing::Recorder;

std::vector<std::string> Selected(const SourceFileList& list) {
    std::vector<std::string> names;
    for (std::uint64_t i = 0; i < list.EntryCount(); ++i)
        if (list.IsSelected(i)) names.push_back(list.EntryText(i));
    return names;
}

TEST(SelectionCommands, PatternsAddUpAndDeselectLeavesOthersAlone) {
    SourceFileList list("/m", {"A.MOD", "B.MOD", "C.TXT", "d.mod"});
    Recorder r;
    EXPECT_TRUE(SelectByPattern(list, "*.MOD", true, r, r));
    EXPECT_EQ(Selected(list), (std::vector<std::string>{"A.MOD", "B.MOD"}));
    EXPECT_EQ(r.panels[3], "Selected: 2");
    EXPECT_TRUE(SelectByPattern(list, "C*", true, r, r));
    EXPECT_EQ(r.panels[3], "Selected: 3");
    EXPECT_TRUE(DeselectByPattern(list, "B*", true, r, r));
    EXPECT_EQ(Selected(list), (std::vector<std::string>{"A.MOD", "C.TXT"}));
    EXPECT_EQ(r.panels[3], "Selected: 2");
    // Case matching is read at each command.
    EXPECT_TRUE(SelectByPattern(list, "*.mod", false, r, r));
    EXPECT_EQ(r.panels[3], "Selected: 4");
    EXPECT_TRUE(DeselectByPattern(list, "*.mod", true, r, r));
    EXPECT_EQ(Selected(list), (std::vector<std::string>{"A.MOD", "B.MOD", "C.TXT"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(SelectionCommands, EmptyPatternIsRefusedAndChangesNothing) {
    SourceFileList list("/m", {"a", "b"});
    list.SetSelected(1, true);
    Recorder r;
    r.panels[3] = "Selected: 1";
    EXPECT_FALSE(SelectByPattern(list, "", false, r, r));
    EXPECT_FALSE(DeselectByPattern(list, "", false, r, r));
    const std::vector<std::string> expected = {
        "You must enter a pattern before attempting to select using this pattern",
        "You must enter a pattern before attempting to deselect using this pattern",
    };
    EXPECT_EQ(r.errors, expected);
    EXPECT_TRUE(r.statusLog.empty());
    EXPECT_EQ(Selected(list), std::vector<std::string>{"b"});
}

TEST(SelectionCommands, AllAndNone) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) names.push_back("f" + std::to_string(i));
    SourceFileList list("/m", names);
    Recorder r;
    SelectAll(list, r);
    EXPECT_EQ(r.panels[3], "Selected: 40");
    DeselectAll(list, r);
    EXPECT_EQ(r.panels[3], "Selected: 0");
    EXPECT_TRUE(Selected(list).empty());

    SourceFileList empty;
    SelectAll(empty, r);
    EXPECT_EQ(r.panels[3], "Selected: 0");
    EXPECT_TRUE(SelectByPattern(empty, "*", false, r, r));
    EXPECT_EQ(empty.SelectedCount(), 0u);
    EXPECT_FALSE(SelectByPattern(empty, "", false, r, r));  // refused first, even when empty
}

}  // namespace
}  // namespace vorneck
