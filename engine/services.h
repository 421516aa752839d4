// SPDX-License-Identifier: MIT
// The small interfaces through which the engine speaks to whoever drives it:
// the window, the command line and the tests each implement these.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sample_info.h"

namespace vorneck {

// What a message is about, for front ends that say more than the text.
enum class ReportKind {
    Refusal,       // the run did not start (no destination, no selection)
    Unrecognised,  // a file in no known format was skipped
    Failure,       // something asked for was not done
};

struct Report {
    std::string_view text;       // the message exactly as the window shows it
    std::string_view module;     // path of the module it concerns; empty when none
    bool textNamesPath = false;  // the text already ends with a path
    int osError = 0;             // errno of the operating-system call that failed, 0 if none
    ReportKind kind = ReportKind::Failure;
    // Why the run itself would not do it, where it was the run's rules and
    // not the operating system that said no.
    std::string_view rule = {};
};

// A modal error message. The engine carries on once the call returns.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void ErrorReport(std::string_view message) = 0;
    // The engine's messages come through here; the window shows the text.
    virtual void Report(const Report& report) { ErrorReport(report.text); }
};

// The four panels of the status line: 0 activity, 1 modules processed,
// 2 samples saved, 3 selected count. A panel keeps its text until rewritten.
class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual void SetPanel(int panel, std::string_view text) = 0;
};

// One sample as the writer met it, for front ends that list or describe
// what a run made.
enum class SampleFate {
    Written,    // the file was written (or, in a dry run, would be)
    Failed,     // it could not be created or written
    Refused,    // the run's rules forbade the output (an input, or a file this run wrote)
    Duplicate,  // equal to a sample written before; not written again
    Skipped,    // left out: beyond the module's output bound
};

struct SampleEvent {
    std::string_view modulePath;
    const ModuleInfo* module = nullptr;
    const SampleInfo* sample = nullptr;
    std::int64_t number = 0;               // the running number in the file name
    std::string_view outputPath;           // the path written (or planned); empty when none was composed
    std::optional<std::uint64_t> offset;   // the stored bytes in the module, where known
    std::optional<std::uint64_t> length;
    std::span<const std::uint8_t> stored;  // the sample's bytes as handed to the writer
    std::string_view duplicateOf;          // for Duplicate: the output path of the first copy
    SampleFate fate = SampleFate::Written;
};

// Optional hooks for front ends that want more than the status line.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // The run starts on the selected entry at `position` of its list.
    virtual void EntryStarted(std::uint64_t /*position*/) {}
    // Every sample of positive length the writer was handed.
    virtual void SampleDone(const SampleEvent& /*event*/) {}
    // The run finished with one selected entry (`done` of `total`).
    virtual void EntryDone(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
};

// How a sample becomes a file, for front ends that want more than raw bytes
// named "N_module". Without one, the writer uses those defaults.
struct SampleContext {
    std::string_view modulePath;
    std::string_view moduleName;  // the module's file name
    const ModuleInfo* module = nullptr;
    const SampleInfo* sample = nullptr;
    std::int64_t number = 0;
    std::string_view outputPath = {};  // once the name is known
};

struct PreparedSample {
    enum class Action { Write, Duplicate, Fail } action = Action::Write;
    std::vector<std::uint8_t> bytes;  // what to write, when not the stored bytes themselves
    bool useStored = true;            // write the stored bytes unchanged
    std::string duplicateOf;          // for Duplicate: the first copy's output path
    std::string failure;              // for Fail: the message, naming the output
};

class SampleOutput {
public:
    virtual ~SampleOutput() = default;
    // The file name of a sample, at most maxBytes long.
    virtual std::string FileName(const SampleContext& sample, std::uint64_t maxBytes) = 0;
    // What to write for it.
    virtual PreparedSample Prepare(const SampleContext& sample, std::span<const std::uint8_t> stored) = 0;
    // Whether a sample handed over as the bytes the module stores (not for
    // decoding) is written as exactly those bytes, if it is written.
    virtual bool WritesStoredBytes() const { return false; }
    // The sample was written to `path` (not called in a dry run's pretend
    // writes any differently: the path is where it would be).
    virtual void Written(const SampleContext& /*sample*/, std::string_view /*path*/,
                         const PreparedSample& /*prepared*/) {}
};

}  // namespace vorneck
