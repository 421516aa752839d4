// SPDX-License-Identifier: MIT
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
    void Report(const vorneck::Report& report) override {
        reports.push_back({std::string(report.text), std::string(report.module), report.osError, report.kind});
        ErrorReport(report.text);
    }
    void SetPanel(int panel, std::string_view text) override {
        panels[panel] = std::string(text);
        statusLog.emplace_back(std::to_string(panel) + ":" + std::string(text));
    }
    void SampleDone(const SampleEvent& event) override {
        events.push_back({std::string(event.outputPath), event.number, event.fate, event.stored.size(),
                          event.sample ? *event.sample : SampleInfo{}, event.module ? *event.module : ModuleInfo{},
                          demo::Bytes(event.stored.begin(), event.stored.end())});
        if (event.fate == SampleFate::Written)
            written.push_back({std::string(event.outputPath), event.offset.value_or(0), event.length.value_or(0)});
    }
    void EntryDone(std::uint64_t done, std::uint64_t total) override {
        if (onEntryDone) onEntryDone(done, total);
    }

    struct Written {
        std::string path;
        std::uint64_t offset;
        std::uint64_t length;
    };
    struct Reported {
        std::string text;
        std::string module;
        int osError;
        ReportKind kind;
    };
    struct Event {
        std::string path;
        std::int64_t number;
        SampleFate fate;
        std::uint64_t size;
        SampleInfo info;
        ModuleInfo module;
        demo::Bytes stored;
    };
    std::vector<std::string> errors;
    std::vector<Reported> reports;
    std::vector<Event> events;
    std::function<void(std::uint64_t, std::uint64_t)> onEntryDone;
    std::string panels[4];
    std::vector<std::string> statusLog;
    std::vector<Written> written;
};

// Real file operations, with hooks that can make any call fail. Output hooks
// are given the file or directory name being made.
class ScriptedFileOps : public PosixFileOps {
public:
    std::function<bool(const std::string&)> failMeasure;
    std::function<bool(const std::string&)> failRead;
    std::function<bool(const std::string&)> shortRead;  // read one byte less
    std::function<bool(const std::string&)> failCreateDirectory;
    std::function<bool(const std::string&)> failCreate;
    std::function<bool(const std::string&)> failWrite;  // creates the temporary file, then fails
    std::vector<std::string> measured;
    std::vector<std::string> read;
    std::uint64_t bytesRead = 0;
    std::uint64_t nameMax = 0;  // when set, the longest name the "file system" takes

    std::optional<MeasuredFile> MeasureFile(const std::string& path, int& error) override;
    std::unique_ptr<InputFile> OpenInput(const std::string& path, int& error) override;
    bool MakeDirectoryAt(DirHandle parent, const std::string& name, int& error) override;
    std::uint64_t NameMax(DirHandle dir) override;
    WriteResult WriteFileAt(DirHandle dir, const std::string& name, std::span<const std::uint8_t> bytes,
                            const ReplaceCheck& mayReplace = OnlyFilesAndLinks) override;
};

// A run over a SourceFileList with recording front ends.
struct RunHarness {
    ExtractionState state;
    ScriptedFileOps files;
    Recorder recorder;
    Services services{files, recorder, recorder, &recorder};

    RunOutcome Run(const ModuleList& list, const std::string& dest, bool perModule = false) {
        return ExtractSelected(state, list, {dest, perModule}, services);
    }
};

// A four-channel module with samples of these lengths, filled with 1, 2, ...
demo::Bytes ModWith(const std::vector<std::size_t>& lengths);

// A list over `directory` with the named entries selected (all when empty).
SourceFileList ListOf(const std::string& directory, std::vector<std::string> names,
                      const std::vector<std::string>& selected = {});

}  // namespace vorneck::testing
