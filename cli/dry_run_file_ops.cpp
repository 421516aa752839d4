#include "cli/dry_run_file_ops.h"

#include <sys/stat.h>

namespace vorneck {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Parent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

bool DryRunFileOps::CreateDirectory(const std::string& path) {
    if (createdDirectories_.count(path) || Exists(path)) return false;
    const std::string parent = Parent(path);
    if (!createdDirectories_.count(parent) && !IsDirectory(parent)) return false;
    createdDirectories_.insert(path);
    return true;
}

WriteStatus DryRunFileOps::WriteNewFile(const std::string& path, std::span<const std::uint8_t>) {
    const std::string parent = Parent(path);
    if (!createdDirectories_.count(parent) && !IsDirectory(parent)) return WriteStatus::CreateFailed;
    if (createdDirectories_.count(path) || IsDirectory(path)) return WriteStatus::CreateFailed;
    return WriteStatus::Ok;
}

}  // namespace vorneck
