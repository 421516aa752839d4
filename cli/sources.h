// SPDX-License-Identifier: MIT
// The modules of one command line: files as given, and the chosen files of
// each directory (and, when asked, of its sub-directories), each opened by
// the path it was named by.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_ops.h"
#include "engine/module_list.h"

namespace vorneck {

struct CliEntry {
    std::string path;             // as given, or the directory's path joined with the name
    std::string outputDirectory;  // below DEST: the entry's folder relative to its SOURCE ("" for none)
    bool named = false;           // named on the command line itself, not found in a directory
};

class CliModuleList : public ModuleList {
public:
    void Add(CliEntry entry) { entries_.push_back(std::move(entry)); }
    // A file of a SOURCE directory that the pattern left out.
    void PassOver() { ++passedOver_; }
    // True when the SOURCE directories held files, but the pattern chose none.
    bool PatternChoseNone() const { return entries_.empty() && passedOver_ > 0; }
    const CliEntry& Entry(std::uint64_t position) const { return entries_.at(position); }

    std::uint64_t EntryCount() const override { return entries_.size(); }
    std::uint64_t SelectedCount() const override { return entries_.size(); }
    bool IsSelected(std::uint64_t position) const override { return position < entries_.size(); }
    std::string EntryText(std::uint64_t position) const override { return entries_.at(position).path; }
    std::string EntryPath(std::uint64_t position) const override { return entries_.at(position).path; }
    std::string EntryOutputDirectory(std::uint64_t position) const override {
        return entries_.at(position).outputDirectory;
    }

private:
    std::vector<CliEntry> entries_;
    std::uint64_t passedOver_ = 0;
};

struct SourceOptions {
    std::string pattern = "*";
    bool matchCase = false;
    bool recursive = false;
    // With `recursive`, outputs mirror each module's folder below its SOURCE.
    // A sub-directory never walked into (the destination), by identity.
    std::optional<FileIdentity> skipDirectory;
};

// Adds the modules of every SOURCE to `list`. A SOURCE that cannot be used
// (missing, unreadable, neither file nor directory), or a directory that
// cannot be read, is reported once through `report`; false when any was.
bool CollectSources(const std::vector<std::string>& sources, const SourceOptions& options,
                    CliModuleList& list, const std::function<void(const std::string&)>& report);

}  // namespace vorneck
