// SPDX-License-Identifier: MIT
// The file list's order, listing rules and selection flags.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "engine/source_file_list.h"
#include "tests/support/engine_fixtures.h"

namespace vorneck {
namespace {

using testing::TempDir;

TEST(SourceFileList, OrderIgnoresAsciiCaseThenUsesBytes) {
    std::vector<std::string> names = {"c.Mod", "b.mod", "A.MOD", "a.mod", "ab", "a", "B.mod", "é.mod", "Z"};
    std::sort(names.begin(), names.end(), FileNameLess);
    const std::vector<std::string> expected = {"a", "A.MOD", "a.mod", "ab", "B.mod", "b.mod", "c.Mod", "Z", "é.mod"};
    EXPECT_EQ(names, expected);
    // A strict weak order: equal names are not less than each other.
    EXPECT_FALSE(FileNameLess("x", "x"));
    // "_" lies between upper and lower case letters in ASCII; folding to
    // upper case puts it after every letter.
    EXPECT_TRUE(FileNameLess("_", "b"));
    EXPECT_TRUE(FileNameLess("a_b.mod", "AARD.MOD"));
}

TEST(SourceFileList, ComposePathAddsOneSlash) {
    EXPECT_EQ(ComposePath("/mods", "a.mod"), "/mods/a.mod");
    EXPECT_EQ(ComposePath("/", "a.mod"), "/a.mod");
    EXPECT_EQ(ComposePath("/mods/", "a.mod"), "/mods/a.mod");
}

TEST(SourceFileList, ListsRegularFilesOnly) {
    TempDir dir;
    dir.Write("b.mod", {1});
    dir.Write("A.MOD", {1});
    dir.Write("c.Mod", {1});
    dir.Write(".hidden.mod", {1});
    dir.Write("back\\slash", {1});
    dir.Mkdir("subdir");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("b.mod", (dir / "link-to-file").c_str()), 0);
    ASSERT_EQ(::symlink("subdir", (dir / "link-to-dir").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = dir / "sock";
    if (sockPath.size() < sizeof addr.sun_path) {
        std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
        ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    const auto listing = ListDirectoryFiles(dir.path());
    ::close(sock);
    EXPECT_EQ(listing.error, 0);
    EXPECT_EQ(listing.names,
              (std::vector<std::string>{"A.MOD", "b.mod", "back\\slash", "c.Mod", "link-to-file"}));

    const auto missing = ListDirectoryFiles(dir / "missing");
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_TRUE(missing.names.empty());
    EXPECT_EQ(ListDirectoryFiles(dir / "b.mod").error, ENOTDIR);
    EXPECT_EQ(ListDirectoryFiles(dir.path() + std::string("\0/x", 3)).error, EINVAL);
}

TEST(SourceFileList, SelectionFlagsAndCount) {
    SourceFileList list("/d", {"a", "b", "c"});
    EXPECT_EQ(list.SelectedCount(), 0u);
    list.SetSelected(1, true);
    list.SetSelected(1, true);  // no double count
    list.SetSelected(7, true);  // out of range: ignored
    EXPECT_EQ(list.SelectedCount(), 1u);
    EXPECT_TRUE(list.IsSelected(1));
    EXPECT_FALSE(list.IsSelected(7));
    list.SetAllSelected(true);
    EXPECT_EQ(list.SelectedCount(), 3u);
    list.SetSelected(0, false);
    EXPECT_EQ(list.SelectedCount(), 2u);
    list.Reset("/e", {"x"});
    EXPECT_EQ(list.SelectedCount(), 0u);
    EXPECT_EQ(list.EntryPath(0), "/e/x");
}

}  // namespace
}  // namespace vorneck
