// SPDX-License-Identifier: MIT
// The wildcard matcher of the file list's pattern commands.
//
// "*" matches any run of characters, the empty one included; "?" exactly one
// character (one UTF-8 code point; a byte that is not valid UTF-8 counts as
// one character); every other character stands for itself, with or without
// regard to ASCII case. A pattern of exactly "*" matches everything; a
// trailing "**" needs at least one character to match.
#pragma once

#include <string_view>

namespace vorneck {

bool MatchFileName(std::string_view name, std::string_view pattern, bool matchCase);

}  // namespace vorneck
