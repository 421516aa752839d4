#include "tests/support/engine_fixtures.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vorneck::testing {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vorneck-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back permissions a test may have taken away, then remove all.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const demo::Bytes& bytes) const {
    const std::string path = *this / name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

std::string TempDir::Mkdir(const std::string& name) const {
    const std::string path = *this / name;
    std::filesystem::create_directories(path);
    return path;
}

demo::Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return demo::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FilesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory))
        names.push_back(std::filesystem::relative(entry.path(), directory).string() +
                        (entry.is_directory() ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::uint64_t> ScriptedFileOps::MeasureFile(const std::string& path) {
    measured.push_back(path);
    if (failMeasure && failMeasure(path)) return std::nullopt;
    return PosixFileOps::MeasureFile(path);
}

std::optional<std::uint64_t> ScriptedFileOps::ReadFile(const std::string& path,
                                                       std::span<std::uint8_t> buffer) {
    read.push_back(path);
    if (failRead && failRead(path)) return std::nullopt;
    const auto got = PosixFileOps::ReadFile(path, buffer);
    if (got && *got > 0 && shortRead && shortRead(path)) return *got - 1;
    return got;
}

bool ScriptedFileOps::CreateDirectory(const std::string& path) {
    if (failCreateDirectory && failCreateDirectory(path)) return false;
    return PosixFileOps::CreateDirectory(path);
}

WriteStatus ScriptedFileOps::WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (failCreate && failCreate(path)) return WriteStatus::CreateFailed;
    if (failWrite && failWrite(path)) {
        // A full disk: the file was created and part of it written, then the
        // real writer removes it again.
        PosixFileOps::WriteNewFile(path, bytes.first(bytes.size() / 2));
        std::filesystem::remove(path);
        return WriteStatus::WriteFailed;
    }
    return PosixFileOps::WriteNewFile(path, bytes);
}

SourceFileList ListOf(const std::string& directory, std::vector<std::string> names,
                      const std::vector<std::string>& selected) {
    SourceFileList list(directory, names);
    for (std::uint64_t i = 0; i < names.size(); ++i)
        if (selected.empty() || std::find(selected.begin(), selected.end(), names[i]) != selected.end())
            list.SetSelected(i, true);
    return list;
}

}  // namespace vorneck::testing
