// SPDX-License-Identifier: MIT
#include "cli/cli_io.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace vorneck {
namespace {

// Writes all of `text`; the errno of a failure, or 0.
int WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

CliIo::CliIo(int outFd, int errFd, bool progress, std::chrono::milliseconds delay)
    : outFd_(outFd), errFd_(errFd), outIsTerminal_(::isatty(outFd) == 1), progress_(progress), delay_(delay),
      started_(std::chrono::steady_clock::now()) {}

CliIo::~CliIo() { Flush(); }

void CliIo::WriteOut(std::string_view text) {
    if (outError_ != 0) return;
    ClearProgress();
    outError_ = WriteAll(outFd_, text);
}

void CliIo::Out(std::string_view text) {
    buffer_.append(text);
    if (outIsTerminal_ || buffer_.size() >= kBufferSize) Flush();
}

bool CliIo::Flush() {
    if (!buffer_.empty()) {
        WriteOut(buffer_);
        buffer_.clear();
    }
    return outError_ == 0;
}

void CliIo::ErrLine(std::string_view line) {
    ClearProgress();
    std::string text(line);
    text += '\n';
    // Nothing sensible is left to do when standard error itself fails.
    (void)WriteAll(errFd_, text);
}

void CliIo::Progress(std::uint64_t done, std::uint64_t total) {
    if (!progress_) return;
    const auto now = std::chrono::steady_clock::now();
    // Only a run that takes a while shows progress, and at most ten updates
    // a second; the counter is gone when the run ends.
    if (done == total) return ClearProgress();
    if (now - started_ < delay_ || now - lastShown_ < std::min(delay_, std::chrono::milliseconds(100))) return;
    lastShown_ = now;
    const std::string text = "\r" + std::to_string(done) + " of " + std::to_string(total) + " modules";
    (void)WriteAll(errFd_, text);
    showing_ = true;
}

void CliIo::ClearProgress() {
    if (!showing_) return;
    showing_ = false;
    (void)WriteAll(errFd_, "\r\033[K");
}

}  // namespace vorneck
