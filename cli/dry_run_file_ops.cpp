// SPDX-License-Identifier: MIT
#include "cli/dry_run_file_ops.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorneck {

DirHandle DryRunFileOps::OpenDirectory(const std::string& path, int& error) {
    return real_.OpenDirectory(path, error);
}

DirHandle DryRunFileOps::Pretend(const Pretended& directory) {
    const DirHandle handle = next_--;
    handles_[handle] = directory;
    return handle;
}

std::optional<std::pair<FileIdentity, std::string>> DryRunFileOps::KeyOf(DirHandle parent,
                                                                         const std::string& name) {
    if (IsPretended(parent)) {
        const auto it = handles_.find(parent);
        if (it == handles_.end()) return std::nullopt;
        return std::make_pair(it->second.root, it->second.path + "/" + name);
    }
    struct stat st {};
    if (parent < 0 || ::fstat(parent, &st) != 0) return std::nullopt;
    return std::make_pair(FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)},
                          name);
}

bool DryRunFileOps::MakeDirectoryAt(DirHandle parent, const std::string& name, int& error) {
    const auto key = KeyOf(parent, name);
    if (!key) {
        error = ENOENT;
        return false;
    }
    if (made_.count(*key) || (!IsPretended(parent) && real_.EntryAt(parent, name).type != EntryType::Missing)) {
        error = EEXIST;
        return false;
    }
    if (!IsPretended(parent) && ::faccessat(parent, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        error = errno;
        return false;
    }
    made_.insert(*key);
    return true;
}

DirHandle DryRunFileOps::OpenSubdirectory(DirHandle parent, const std::string& name, int& error) {
    const auto key = KeyOf(parent, name);
    if (!key) {
        error = ENOENT;
        return kNoDirectory;
    }
    if (made_.count(*key)) {
        Pretended directory;
        if (IsPretended(parent)) {
            directory = handles_[parent];
        } else {
            directory.root = key->first;
            directory.nameMax = real_.NameMax(parent);
        }
        directory.path = key->second;
        return Pretend(directory);
    }
    if (IsPretended(parent)) {
        error = ENOENT;
        return kNoDirectory;
    }
    return real_.OpenSubdirectory(parent, name, error);
}

void DryRunFileOps::CloseDirectory(DirHandle dir) {
    if (IsPretended(dir))
        handles_.erase(dir);
    else
        real_.CloseDirectory(dir);
}

bool DryRunFileOps::RemoveEmptyDirectoryAt(DirHandle parent, const std::string& name) {
    const auto key = KeyOf(parent, name);
    return key && made_.erase(*key) > 0;
}

std::uint64_t DryRunFileOps::NameMax(DirHandle dir) {
    if (IsPretended(dir)) {
        const auto it = handles_.find(dir);
        return it == handles_.end() ? 255 : it->second.nameMax;
    }
    return real_.NameMax(dir);
}

DirectoryEntry DryRunFileOps::EntryAt(DirHandle dir, const std::string& name) {
    if (const auto key = KeyOf(dir, name)) {
        const auto file = files_.find(*key);
        if (file != files_.end()) return {EntryType::Regular, file->second};
    }
    if (IsPretended(dir)) return {};
    return real_.EntryAt(dir, name);
}

WriteResult DryRunFileOps::WriteFileAt(DirHandle dir, const std::string& name, std::span<const std::uint8_t>,
                                       const ReplaceCheck& mayReplace) {
    if (name.empty() || name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
        return {WriteStatus::CreateFailed, EINVAL};
    if (name.size() > NameMax(dir)) return {WriteStatus::CreateFailed, ENAMETOOLONG};
    if (dir < 0 && !IsPretended(dir)) return {WriteStatus::CreateFailed, ENOENT};
    // The writer needs to make a temporary file beside the name and rename it.
    if (!IsPretended(dir) && ::faccessat(dir, ".", W_OK | X_OK, AT_EACCESS) != 0)
        return {WriteStatus::CreateFailed, errno};
    const auto key = KeyOf(dir, name);
    if (!key) return {WriteStatus::CreateFailed, ENOENT};
    const DirectoryEntry existing = EntryAt(dir, name);
    if (existing.type != EntryType::Missing && mayReplace) {
        const ReplaceDecision decision = mayReplace(existing);
        if (decision.verdict == ReplaceDecision::Verdict::Refuse)
            return {WriteStatus::Refused, EEXIST, decision.rule};
        if (decision.verdict == ReplaceDecision::Verdict::Fail)
            return {WriteStatus::CreateFailed, decision.error};
    }
    WriteResult result;
    result.identity = {~std::uint64_t{0}, nextInode_++};
    files_[*key] = result.identity;
    return result;
}

}  // namespace vorneck
