// Shared helpers for the engine, selection and command-line tests: a
// temporary directory, recording front ends and file operations that fail
// on demand.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "demo/module_builder.h"
#include "engine/extraction_run.h"
#include "engine/source_file_list.h"

namespace vorneck::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Writes a file (creating parent directories) and returns its path.
    std::string Write(const std::string& name, const demo::Bytes& bytes) const;
    std::string Mkdir(const std::string& name) const;

private:
    std::string path_;
};

demo::Bytes ReadAll(const std::string& path);
std::vector<std::string> FilesIn(const std::string& directory);  // sorted names, recursive, relative

// Records everything the engine reports, in order.
class Recorder : public ErrorReporter, public StatusLine, public RunObserver {
public:
    void ErrorReport(std::string_view message) override { errors.emplace_back(message); }
    void SetPanel(int panel, std::string_view text) override {
        panels[panel] = std::string(text);
        statusLog.emplace_back(std::to_string(panel) + ":" + std::string(text));
    }
    void SampleWritten(std::string_view path, std::uint64_t offset, std::uint64_t length) override {
        written.push_back({std::string(path), offset, length});
    }

    struct Written {
        std::string path;
        std::uint64_t offset;
        std::uint64_t length;
    };
    std::vector<std::string> errors;
    std::string panels[4];
    std::vector<std::string> statusLog;
    std::vector<Written> written;
};

// Real file operations, with hooks that can make any call fail.
class ScriptedFileOps : public PosixFileOps {
public:
    std::function<bool(const std::string&)> failMeasure;
    std::function<bool(const std::string&)> failRead;
    std::function<bool(const std::string&)> shortRead;  // read one byte less
    std::function<bool(const std::string&)> failCreateDirectory;
    std::function<bool(const std::string&)> failCreate;
    std::function<bool(const std::string&)> failWrite;  // creates the file, then fails
    std::vector<std::string> measured;
    std::vector<std::string> read;

    std::optional<std::uint64_t> MeasureFile(const std::string& path) override;
    std::optional<std::uint64_t> ReadFile(const std::string& path,
                                          std::span<std::uint8_t> buffer) override;
    bool CreateDirectory(const std::string& path) override;
    WriteStatus WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
};

// A run over a SourceFileList with recording front ends.
struct RunHarness {
    ExtractionState state;
    ScriptedFileOps files;
    Recorder recorder;
    Services services{files, recorder, recorder, &recorder};

    RunOutcome Run(const SourceFileList& list, const std::string& dest, bool perModule = false) {
        return ExtractSelected(state, list, {dest, perModule}, services);
    }
};

// A list over `directory` with the named entries selected (all when empty).
SourceFileList ListOf(const std::string& directory, std::vector<std::string> names,
                      const std::vector<std::string>& selected = {});

}  // namespace vorneck::testing
