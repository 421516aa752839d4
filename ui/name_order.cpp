// SPDX-License-Identifier: MIT
#include "ui/name_order.h"

#include <algorithm>

namespace vorneck {
namespace {

unsigned char FoldToLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ListNameLess(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldToLower(static_cast<unsigned char>(a[i]));
        const unsigned char y = FoldToLower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    // Equal but for case: order by the bytes themselves.
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

void SortListNames(std::vector<std::string>& names) { std::sort(names.begin(), names.end(), ListNameLess); }

}  // namespace vorneck
