// SPDX-License-Identifier: MIT
// Names from the file system and from modules can hold any byte. Before one
// goes to a terminal or into a line-based record, backslashes and control
// characters are escaped, the way ls and GNU tar quote names, so that a name
// can neither split a record nor steer the terminal.
#pragma once

#include <string>
#include <string_view>

namespace vorneck {

// "\\" for a backslash; "\t", "\n", "\r"; "\xHH" (lower-case hex) for every
// other control character, DEL, the C1 controls (written as the two bytes
// of their UTF-8 form), the line and paragraph separators U+2028 and
// U+2029 and the bidirectional controls (U+061C, U+200E, U+200F, U+202A to
// U+202E, U+2066 to U+2069; each as the bytes of its UTF-8 form), and every
// byte that is not part of valid UTF-8.
// Valid UTF-8 text otherwise passes unchanged.
std::string Escaped(std::string_view text);

}  // namespace vorneck
