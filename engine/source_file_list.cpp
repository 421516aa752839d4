#include "engine/source_file_list.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace vorneck {
namespace {

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
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

DirectoryListing ListDirectoryFiles(const std::string& directory) {
    DirectoryListing result;
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) {
        result.error = errno;
        return result;
    }
    const int dirFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) result.error = errno;
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.') continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // Follow links: a link to a regular file is listed like the file.
            struct stat st {};
            regular = ::fstatat(dirFd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular) result.names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(result.names.begin(), result.names.end(), FileNameLess);
    return result;
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
