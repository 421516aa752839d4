// SPDX-License-Identifier: MIT
// Paths as the directory chooser handles them: absolute, with no "." or ".."
// parts, no doubled "/", and no trailing "/" except for "/" itself. Paths
// are kept as the file system's bytes so that any name can be opened.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/source_file_list.h"

namespace vorneck {

// Makes `text` an absolute, clean path: a relative (or empty) text is taken
// relative to `baseDir`, which must itself be absolute. ".." is resolved by
// dropping the previous part, as the directory list's levels do; ".." of "/"
// stays "/".
std::string NormalizePath(std::string_view text, std::string_view baseDir);

// True when `path` is `dir` or lies below it, comparing whole path parts:
// "/mnt/ab" is not below "/mnt/a". Both must be clean absolute paths.
bool PathIsUnder(std::string_view path, std::string_view dir);

// The parts of `path` below `root` ("/", "/home/ann/mods" gives "home",
// "ann", "mods"). Empty when `path` is `root` or not below it.
std::vector<std::string> PathLevels(std::string_view root, std::string_view path);

// The process's current directory, or "/" when it cannot be read.
std::string CurrentDirectory();

// Names sorted with ListNameLess, or the errno of a directory that cannot be
// entered or read.
using SubdirectoryListing = DirectoryListing;

// The sub-directories a directory list shows for `directory`: directories
// and links to directories; hidden names (leading ".") are left out, and so
// "." and "..". Fails when the directory cannot be entered and read, or when
// the path holds a NUL byte (it would name some other directory).
SubdirectoryListing ListSubdirectories(const std::string& directory);

// One line of a directory list: the volume's root, one line per level of
// the current directory, then the current directory's sub-directories.
struct DirectoryLine {
    std::string path;  // the directory this line opens
    std::string text;  // shown as it is: the root's mount path, else the bare name
    int level = 0;     // depth of indentation
    bool open = false; // root and levels show an open folder, sub-directories a closed one
};

// The lines for `current` (at or below `root`) with its sub-directories
// `subdirectories`. The current directory's line is at index
// PathLevels(root, current).size().
std::vector<DirectoryLine> BuildDirectoryLines(const std::string& root, const std::string& current,
                                               const std::vector<std::string>& subdirectories);

}  // namespace vorneck
