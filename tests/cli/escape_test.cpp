// SPDX-License-Identifier: MIT
// Escaping names for terminals and line-based records.
#include <gtest/gtest.h>

#include "cli/escape.h"

namespace vorneck {
namespace {

TEST(Escaped, ControlCharactersAndBackslashes) {
    EXPECT_EQ(Escaped("plain name.mod"), "plain name.mod");
    EXPECT_EQ(Escaped("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    EXPECT_EQ(Escaped("\x1b[2K\x07"), "\\x1b[2K\\x07");
    EXPECT_EQ(Escaped(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(Escaped("del\x7f"), "del\\x7f");
    // Valid UTF-8 passes; C1 controls (CSI is U+009B) and stray bytes do not.
    EXPECT_EQ(Escaped("caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xB5"), "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xB5");
    EXPECT_EQ(Escaped("\xC2\x9B" "2J"), "\\xc2\\x9b2J");
    EXPECT_EQ(Escaped("\x9B" "2J"), "\\x9b2J");
    EXPECT_EQ(Escaped("latin1 \xE9t\xE9"), "latin1 \\xe9t\\xe9");
    // Overlong forms, surrogates and cut sequences are bytes, not characters.
    EXPECT_EQ(Escaped("\xC0\xAF"), "\\xc0\\xaf");
    EXPECT_EQ(Escaped("\xED\xA0\x80"), "\\xed\\xa0\\x80");
    EXPECT_EQ(Escaped("\xE6\x97"), "\\xe6\\x97");
}

}  // namespace
}  // namespace vorneck
