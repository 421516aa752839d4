// SPDX-License-Identifier: MIT
#include "cli/sources.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "cli/escape.h"
#include "engine/source_file_list.h"
#include "selection/matcher.h"

namespace vorneck {
namespace {

std::string Reason(int error) { return std::string(" (") + std::strerror(error) + ")"; }

// How deep sub-directories are followed: far beyond any real collection,
// but a bound all the same.
constexpr int kMaxDepth = 64;

class Walker {
public:
    Walker(const SourceOptions& options, CliModuleList& list, const std::function<void(const std::string&)>& report)
        : options_(options), list_(list), report_(report) {}

    bool ok = true;

    // Takes the directory open at `fd` (and closes it): its chosen files,
    // then, when recursive, each sub-directory's, sorted by name.
    void Directory(int fd, const std::string& path, const std::string& relative, int depth) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && !visited_.insert({st.st_dev, st.st_ino}).second) {
            ::close(fd);  // a directory met twice (bind mounts)
            return;
        }
        const int again = options_.recursive ? ::dup(fd) : -1;
        const DirectoryListing files = ListOpenDirectory(fd, ListedKind::Files);
        if (files.error != 0) {
            Fail("Unable to read directory: " + path + Reason(files.error));
            if (again >= 0) ::close(again);
            return;
        }
        for (const auto& name : files.names)
            if (MatchFileName(name, options_.pattern, options_.matchCase))
                list_.Add({ComposePath(path, name), relative, false});
            else
                list_.PassOver();
        if (again < 0) return;

        // A fresh open of the same directory: a duplicate descriptor would
        // share the position the file listing left at the end.
        const int listFd = ::openat(again, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const DirectoryListing directories = listFd >= 0 ? ListOpenDirectory(listFd, ListedKind::Directories)
                                                         : DirectoryListing{{}, errno};
        if (directories.error != 0) Fail("Unable to read directory: " + path + Reason(directories.error));
        for (const auto& name : directories.names) {
            // Links to directories are not followed: they could lead out of
            // the tree, or round in a circle.
            const int sub = ::openat(again, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                if (errno != ELOOP && errno != ENOTDIR)
                    Fail("Unable to read directory: " + ComposePath(path, name) + Reason(errno));
                continue;
            }
            if (depth >= kMaxDepth) {
                ::close(sub);
                Fail("Unable to read directory: " + ComposePath(path, name) + " (more than " +
                     std::to_string(kMaxDepth) + " levels deep)");
                continue;
            }
            // The destination's outputs are no modules to read: a walk
            // never enters it, wherever it lies in the tree.
            struct stat subStat {};
            if (options_.skipDirectory && ::fstat(sub, &subStat) == 0 &&
                FileIdentity{static_cast<std::uint64_t>(subStat.st_dev), static_cast<std::uint64_t>(subStat.st_ino)} ==
                    *options_.skipDirectory) {
                ::close(sub);
                continue;
            }
            Directory(sub, ComposePath(path, name), relative.empty() ? name : relative + "/" + name, depth + 1);
        }
        ::close(again);
    }

    void Fail(const std::string& message) {
        ok = false;
        report_(message);
    }

private:
    const SourceOptions& options_;
    CliModuleList& list_;
    const std::function<void(const std::string&)>& report_;
    std::set<std::pair<dev_t, ino_t>> visited_;
};

}  // namespace

bool CollectSources(const std::vector<std::string>& sources, const SourceOptions& options,
                    CliModuleList& list, const std::function<void(const std::string&)>& report) {
    Walker walker(options, list, report);
    for (const auto& source : sources) {
        struct stat st {};
        if (source.empty() || source.find('\0') != std::string::npos) {
            walker.Fail("Unable to open: " + source + Reason(source.empty() ? ENOENT : EINVAL));
            continue;
        }
        if (::stat(source.c_str(), &st) != 0) {
            walker.Fail("Unable to open: " + source + Reason(errno));
            continue;
        }
        if (S_ISREG(st.st_mode)) {
            list.Add({source, "", true});
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            walker.Fail("Unable to open: " + source + " (not a regular file)");
            continue;
        }
        const int fd = ::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            walker.Fail("Unable to read directory: " + source + Reason(errno));
            continue;
        }
        walker.Directory(fd, source, "", 0);
    }
    return walker.ok;
}

}  // namespace vorneck
