// SPDX-License-Identifier: MIT
// The command line's two output streams, over file descriptors: records and
// summaries on standard output, messages and progress on standard error.
// A failed write to standard output is remembered, so that the program can
// stop and say so instead of carrying on into a full disk or a closed pipe.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorneck {

class CliIo {
public:
    // `progress`: draw a modules-done counter on standard error (only ever
    // when it is a terminal).
    // `delay`: how long a run goes before progress shows.
    CliIo(int outFd, int errFd, bool progress,
          std::chrono::milliseconds delay = std::chrono::milliseconds(500));
    ~CliIo();
    CliIo(const CliIo&) = delete;
    CliIo& operator=(const CliIo&) = delete;

    // Appends to standard output; written out when the buffer fills, at
    // Flush, or at once when standard output is a terminal.
    void Out(std::string_view text);
    bool Flush();
    // The errno of the first failed write to standard output, or 0.
    int OutError() const { return outError_; }

    // One line on standard error (a newline is added).
    void ErrLine(std::string_view line);

    void Progress(std::uint64_t done, std::uint64_t total);
    void ClearProgress();

private:
    void WriteOut(std::string_view text);

    int outFd_;
    int errFd_;
    bool outIsTerminal_;
    bool progress_;
    bool showing_ = false;
    int outError_ = 0;
    std::string buffer_;
    std::chrono::milliseconds delay_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace vorneck
