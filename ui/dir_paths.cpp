// SPDX-License-Identifier: MIT
#include "ui/dir_paths.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/source_file_list.h"
#include "ui/name_order.h"

namespace vorneck {

std::string NormalizePath(std::string_view text, std::string_view baseDir) {
    std::vector<std::string_view> parts;
    auto addParts = [&parts](std::string_view path) {
        std::size_t pos = 0;
        while (pos <= path.size()) {
            std::size_t slash = path.find('/', pos);
            if (slash == std::string_view::npos) slash = path.size();
            const std::string_view part = path.substr(pos, slash - pos);
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            pos = slash + 1;
        }
    };
    if (text.empty() || text.front() != '/') addParts(baseDir);
    addParts(text);

    std::string result;
    for (const std::string_view part : parts) {
        result += '/';
        result += part;
    }
    if (result.empty()) result.push_back('/');
    return result;
}

bool PathIsUnder(std::string_view path, std::string_view dir) {
    if (dir == "/") return !path.empty() && path.front() == '/';
    if (path.size() < dir.size() || path.substr(0, dir.size()) != dir) return false;
    return path.size() == dir.size() || path[dir.size()] == '/';
}

std::vector<std::string> PathLevels(std::string_view root, std::string_view path) {
    std::vector<std::string> levels;
    if (!PathIsUnder(path, root) || path.size() == root.size()) return levels;
    std::size_t pos = root == "/" ? 1 : root.size() + 1;
    while (pos < path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) slash = path.size();
        levels.emplace_back(path.substr(pos, slash - pos));
        pos = slash + 1;
    }
    return levels;
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return NormalizePath(buffer.data(), "/");
        if (errno != ERANGE || buffer.size() > (1u << 20)) return "/";
        buffer.resize(buffer.size() * 2);
    }
}

SubdirectoryListing ListSubdirectories(const std::string& directory) {
    SubdirectoryListing result;
    if (directory.find('\0') != std::string::npos) {
        result.error = EINVAL;
        return result;
    }
    // Listing needs read permission, entering needs search permission: a
    // directory that can be read but not entered would show sub-directories
    // that cannot be opened.
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    if (::faccessat(fd, ".", X_OK, 0) != 0) {
        result.error = errno;
        ::close(fd);
        return result;
    }
    SubdirectoryListing listing = ListOpenDirectory(fd, ListedKind::Directories);
    SortListNames(listing.names);
    return listing;
}

std::vector<DirectoryLine> BuildDirectoryLines(const std::string& root, const std::string& current,
                                               const std::vector<std::string>& subdirectories) {
    std::vector<DirectoryLine> lines;
    const std::vector<std::string> levels = PathLevels(root, current);
    lines.reserve(1 + levels.size() + subdirectories.size());
    lines.push_back({root, root, 0, true});
    std::string path = root;
    int level = 0;
    for (const std::string& name : levels) {
        path = ComposePath(path, name);
        lines.push_back({path, name, ++level, true});
    }
    ++level;
    for (const std::string& name : subdirectories) lines.push_back({ComposePath(current, name), name, level, false});
    return lines;
}

}  // namespace vorneck
