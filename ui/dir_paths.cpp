#include "ui/dir_paths.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/source_file_list.h"

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
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        result.error = errno;
        ::close(fd);
        return result;
    }
    if (::faccessat(fd, ".", X_OK, 0) != 0) {
        result.error = errno;
        ::closedir(dir);
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
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDirectory = ::fstatat(dirFd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDirectory) result.names.emplace_back(name);
    }
    ::closedir(dir);
    if (result.error != 0) {
        result.names.clear();
        return result;
    }
    std::sort(result.names.begin(), result.names.end(), FileNameLess);
    return result;
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
