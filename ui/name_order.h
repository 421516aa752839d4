// SPDX-License-Identifier: MIT
// The order in which the windows' lists show names: without regard to ASCII
// letter case, comparing letters as lower case, so that "_" and the other
// characters between "Z" and "a" come before every letter ("a_b.mod" before
// "AARD.MOD"); names equal but for case are ordered by their bytes.
#pragma once

#include <string>
#include <vector>

namespace vorneck {

bool ListNameLess(const std::string& a, const std::string& b);

// Sorts names into the lists' order.
void SortListNames(std::vector<std::string>& names);

}  // namespace vorneck
