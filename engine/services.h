// The small interfaces through which the engine speaks to whoever drives it:
// the window, the command line and the tests each implement these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorneck {

// A modal error message. The engine carries on once the call returns.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void ErrorReport(std::string_view message) = 0;
};

// The four panels of the status line: 0 activity, 1 modules processed,
// 2 samples saved, 3 selected count. A panel keeps its text until rewritten.
class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual void SetPanel(int panel, std::string_view text) = 0;
};

// Optional hooks for front ends that want more than the status line.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // A sample file was written: its path and the range of the module it holds.
    virtual void SampleWritten(std::string_view /*path*/, std::uint64_t /*offset*/,
                               std::uint64_t /*length*/) {}
    // The run finished with one selected entry (`done` of `total`).
    virtual void EntryDone(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
};

}  // namespace vorneck
