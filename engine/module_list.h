// SPDX-License-Identifier: MIT
// The list a run works through: entries in display order, each selected or
// not. The window's file list (one directory, bare names) and the command
// line's list of paths both present themselves this way.
#pragma once

#include <cstdint>
#include <string>

namespace vorneck {

class ModuleList {
public:
    virtual ~ModuleList() = default;
    virtual std::uint64_t EntryCount() const = 0;
    virtual std::uint64_t SelectedCount() const = 0;
    virtual bool IsSelected(std::uint64_t position) const = 0;
    // The entry's text as the list shows it.
    virtual std::string EntryText(std::uint64_t position) const = 0;
    // The path the entry's file is opened by.
    virtual std::string EntryPath(std::uint64_t position) const = 0;
    // Where below the destination the entry's outputs go: "" for the
    // destination itself, else a relative path of directories ("a/b").
    virtual std::string EntryOutputDirectory(std::uint64_t /*position*/) const { return {}; }
};

}  // namespace vorneck
