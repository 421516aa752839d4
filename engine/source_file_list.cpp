// SPDX-License-Identifier: MIT
#include "engine/source_file_list.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

namespace vorneck {
namespace {

// Letters compare as lower case, so that "_" and the other characters
// between "Z" and "a" come before every letter, as in the platform's lists.
unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string ComposePath(const std::string& directory, const std::string& name) {
    std::string path = directory;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

bool FileNameLess(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    // Equal but for case: order by the bytes themselves.
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) {
                                            return static_cast<unsigned char>(x) <
                                                   static_cast<unsigned char>(y);
                                        });
}

DirectoryListing ListOpenDirectory(int fd, ListedKind kind) {
    DirectoryListing result;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        result.error = errno;
        ::close(fd);
        return result;
    }
    const mode_t wanted = kind == ListedKind::Files ? S_IFREG : S_IFDIR;
    const unsigned char wantedType = kind == ListedKind::Files ? DT_REG : DT_DIR;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) result.error = errno;
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.') continue;
        bool keep = entry->d_type == wantedType;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // Follow links: a link is listed like what it points to.
            struct stat st {};
            keep = ::fstatat(::dirfd(dir), name, &st, 0) == 0 && (st.st_mode & S_IFMT) == wanted;
        }
        if (keep) result.names.emplace_back(name);
    }
    ::closedir(dir);
    if (result.error != 0) {
        result.names.clear();
        return result;
    }
    std::sort(result.names.begin(), result.names.end(), FileNameLess);
    return result;
}

DirectoryListing ListDirectoryFiles(const std::string& directory) {
    // A NUL byte would cut the path short and name some other directory.
    if (directory.find('\0') != std::string::npos) return {{}, EINVAL};
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {{}, errno};
    return ListOpenDirectory(fd, ListedKind::Files);
}

SourceFileList::SourceFileList(std::string directory, std::vector<std::string> names) {
    Reset(std::move(directory), std::move(names));
}

void SourceFileList::Reset(std::string directory, std::vector<std::string> names) {
    directory_ = std::move(directory);
    names_ = std::move(names);
    selected_.assign(names_.size(), 0);
    selectedCount_ = 0;
}

void SourceFileList::SetSelected(std::uint64_t position, bool selected) {
    if (position >= selected_.size()) return;
    auto& flag = selected_[position];
    if ((flag != 0) == selected) return;
    flag = selected ? 1 : 0;
    if (selected)
        ++selectedCount_;
    else
        --selectedCount_;
}

void SourceFileList::SetAllSelected(bool selected) {
    std::fill(selected_.begin(), selected_.end(), selected ? 1 : 0);
    selectedCount_ = selected ? selected_.size() : 0;
}

}  // namespace vorneck
