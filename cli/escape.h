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
// of their UTF-8 form) and every byte that is not part of valid UTF-8.
// Valid UTF-8 text otherwise passes unchanged.
std::string Escaped(std::string_view text);

}  // namespace vorneck
