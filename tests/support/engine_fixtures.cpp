// SPDX-License-Identifier: MIT
#include "tests/support/engine_fixtures.h"

#include <algorithm>
#include <cerrno>
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

std::optional<MeasuredFile> ScriptedFileOps::MeasureFile(const std::string& path, int& error) {
    measured.push_back(path);
    if (failMeasure && failMeasure(path)) {
        error = EACCES;
        return std::nullopt;
    }
    return PosixFileOps::MeasureFile(path, error);
}

namespace {

// Counts what is read, and can end a file one byte early.
class ScriptedInput : public InputFile {
public:
    ScriptedInput(std::unique_ptr<InputFile> real, std::uint64_t& counter, bool shortRead)
        : real_(std::move(real)), counter_(counter), short_(shortRead) {}
    std::optional<std::uint64_t> Read(std::span<std::uint8_t> into) override {
        auto got = real_->Read(into);
        if (got && short_ && *got > 0 && *got == into.size()) {
            --*got;
            short_ = false;
        }
        if (got) counter_ += *got;
        return got;
    }

private:
    std::unique_ptr<InputFile> real_;
    std::uint64_t& counter_;
    bool short_;
};

}  // namespace

std::unique_ptr<InputFile> ScriptedFileOps::OpenInput(const std::string& path, int& error) {
    read.push_back(path);
    if (failRead && failRead(path)) {
        error = EIO;
        return nullptr;
    }
    auto real = PosixFileOps::OpenInput(path, error);
    if (!real) return nullptr;
    return std::make_unique<ScriptedInput>(std::move(real), bytesRead, shortRead && shortRead(path));
}

bool ScriptedFileOps::MakeDirectoryAt(DirHandle parent, const std::string& name, int& error) {
    if (failCreateDirectory && failCreateDirectory(name)) {
        error = EACCES;
        return false;
    }
    return PosixFileOps::MakeDirectoryAt(parent, name, error);
}

std::uint64_t ScriptedFileOps::NameMax(DirHandle dir) {
    return nameMax ? nameMax : PosixFileOps::NameMax(dir);
}

WriteResult ScriptedFileOps::WriteFileAt(DirHandle dir, const std::string& name,
                                         std::span<const std::uint8_t> bytes, const ReplaceCheck& mayReplace) {
    if (failCreate && failCreate(name)) return {WriteStatus::CreateFailed, EACCES};
    if (nameMax && name.size() > nameMax) return {WriteStatus::CreateFailed, ENAMETOOLONG};
    if (failWrite && failWrite(name)) return {WriteStatus::WriteFailed, ENOSPC};
    return PosixFileOps::WriteFileAt(dir, name, bytes, mayReplace);
}

demo::Bytes ModWith(const std::vector<std::size_t>& lengths) {
    demo::ModRecipe recipe;
    std::uint8_t fill = 1;
    for (auto n : lengths) recipe.samples.push_back({"", demo::Bytes(n, fill++)});
    return demo::BuildMod(recipe);
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
