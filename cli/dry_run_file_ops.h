// File operations for a dry run: reads go to the real files, creations are
// only pretended, answering as the real ones would (a directory that exists
// already cannot be created; a file can only be created in a directory that
// exists or that the dry run pretended to create).
#pragma once

#include <set>
#include <string>

#include "engine/file_ops.h"

namespace vorneck {

class DryRunFileOps : public FileOps {
public:
    explicit DryRunFileOps(FileOps& reads) : reads_(reads) {}

    std::optional<std::uint64_t> MeasureFile(const std::string& path) override {
        return reads_.MeasureFile(path);
    }
    std::optional<std::uint64_t> ReadFile(const std::string& path,
                                          std::span<std::uint8_t> buffer) override {
        return reads_.ReadFile(path, buffer);
    }
    bool CreateDirectory(const std::string& path) override;
    WriteStatus WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes) override;

private:
    FileOps& reads_;
    std::set<std::string> createdDirectories_;
};

}  // namespace vorneck
