// SPDX-License-Identifier: MIT
#include "ui/name_order.h"

#include "engine/source_file_list.h"

#include <algorithm>

namespace vorneck {

bool ListNameLess(const std::string& a, const std::string& b) { return FileNameLess(a, b); }

void SortListNames(std::vector<std::string>& names) { std::sort(names.begin(), names.end(), ListNameLess); }

}  // namespace vorneck
