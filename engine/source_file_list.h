// SPDX-License-Identifier: MIT
// The source file list: a directory, the names of its files in display order
// and a selection flag per entry. The window keeps its view in step with it;
// the run and the selection commands work on it directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/module_list.h"

namespace vorneck {

// Joins a directory and a file name with exactly one "/" between them.
std::string ComposePath(const std::string& directory, const std::string& name);

// Orders names as the file list shows them: without regard to ASCII case
// (letters compared as lower case, so "a_b.mod" comes before "AARD.MOD"),
// names equal but for case by their bytes.
bool FileNameLess(const std::string& a, const std::string& b);

struct DirectoryListing {
    std::vector<std::string> names;  // sorted with FileNameLess
    int error = 0;                   // errno when the directory could not be read
};

enum class ListedKind { Files, Directories };

// Lists the entries of one kind of the directory open at `fd` (the call
// takes the descriptor over and closes it): regular files and links to them,
// or directories and links to them. Hidden names (leading "."), and so "."
// and "..", are left out. On a read error the names are dropped.
DirectoryListing ListOpenDirectory(int fd, ListedKind kind);

// Lists the files a file list shows for `directory`: regular files and links
// to regular files; hidden names (leading "."), directories, FIFOs, sockets
// and devices are left out.
DirectoryListing ListDirectoryFiles(const std::string& directory);

class SourceFileList : public ModuleList {
public:
    SourceFileList() = default;
    SourceFileList(std::string directory, std::vector<std::string> names);

    const std::string& Directory() const { return directory_; }
    const std::vector<std::string>& Names() const { return names_; }

    // Replaces directory and entries; every entry starts unselected.
    void Reset(std::string directory, std::vector<std::string> names);

    void SetSelected(std::uint64_t position, bool selected);
    void SetAllSelected(bool selected);

    std::uint64_t EntryCount() const override { return names_.size(); }
    std::uint64_t SelectedCount() const override { return selectedCount_; }
    bool IsSelected(std::uint64_t position) const override {
        return position < selected_.size() && selected_[position] != 0;
    }
    std::string EntryText(std::uint64_t position) const override { return names_.at(position); }
    std::string EntryPath(std::uint64_t position) const override {
        return ComposePath(directory_, names_.at(position));
    }

private:
    std::string directory_;
    std::vector<std::string> names_;
    std::vector<std::uint8_t> selected_;
    std::uint64_t selectedCount_ = 0;
};

}  // namespace vorneck
