// SPDX-License-Identifier: MIT
// File operations for a dry run: reads go to the real files; directories and
// files are only pretended to be made, and every answer is the one the real
// operations would give: a name already taken, a directory that does not
// exist or cannot be written, a link where a directory is wanted.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>

#include "engine/file_ops.h"

namespace vorneck {

class DryRunFileOps : public FileOps {
public:
    explicit DryRunFileOps(FileOps& real) : real_(real) {}

    std::optional<MeasuredFile> MeasureFile(const std::string& path, int& error) override {
        return real_.MeasureFile(path, error);
    }
    std::unique_ptr<InputFile> OpenInput(const std::string& path, int& error) override {
        return real_.OpenInput(path, error);
    }
    std::optional<MeasuredFile> IdentifyEntry(const std::string& path) override { return real_.IdentifyEntry(path); }
    DirHandle OpenDirectory(const std::string& path, int& error) override;
    bool MakeDirectoryAt(DirHandle parent, const std::string& name, int& error) override;
    DirHandle OpenSubdirectory(DirHandle parent, const std::string& name, int& error) override;
    void CloseDirectory(DirHandle dir) override;
    bool RemoveEmptyDirectoryAt(DirHandle parent, const std::string& name) override;
    std::uint64_t NameMax(DirHandle dir) override;
    DirectoryEntry EntryAt(DirHandle dir, const std::string& name) override;
    WriteResult WriteFileAt(DirHandle dir, const std::string& name, std::span<const std::uint8_t> bytes,
                            const ReplaceCheck& mayReplace = OnlyFilesAndLinks) override;

private:
    // A directory the dry run pretended to make: identified by the real
    // directory it would be in (by identity, as handles get reused) and the
    // path below it.
    struct Pretended {
        FileIdentity root;
        std::uint64_t nameMax = 255;
        std::string path;
    };
    static bool IsPretended(DirHandle dir) { return dir <= kFirstPretended; }
    static constexpr DirHandle kFirstPretended = -1000000;

    DirHandle Pretend(const Pretended& directory);
    std::optional<std::pair<FileIdentity, std::string>> KeyOf(DirHandle parent, const std::string& name);

    FileOps& real_;
    std::set<std::pair<FileIdentity, std::string>> made_;
    // Files the dry run pretended to write, each with an identity of its
    // own (on no real device), so that the run's rules about files it wrote
    // apply as in a real run.
    std::map<std::pair<FileIdentity, std::string>, FileIdentity> files_;
    std::uint64_t nextInode_ = 1;
    std::map<DirHandle, Pretended> handles_;
    DirHandle next_ = kFirstPretended;
};

}  // namespace vorneck
