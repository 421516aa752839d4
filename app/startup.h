// SPDX-License-Identifier: MIT
// What the program does before it needs a display: its two options, and
// one line instead of Qt's abort when no display can be opened.
#pragma once

#include <string>

namespace vorneck {

enum class StartRequest { Window, Help, Version };

// "--help" (or "-h") and "--version" are answered without a window; every
// other argument is left to Qt ("-platform", "-display" ...).
StartRequest ReadArguments(int argc, char** argv);

std::string UsageText();
std::string VersionText();

// The one line said when the window system cannot be reached: which
// display was tried, or that none is set.
std::string NoDisplayLine(const char* display, const char* waylandDisplay);

// While it lives, Qt's messages about connecting to the window system are
// held back; should Qt then give up on starting (a fatal message), the
// program says NoDisplayLine on standard error and exits with status 1.
// Once the application has started, the messages held back are passed on.
class DisplayGuard {
public:
    DisplayGuard();
    ~DisplayGuard();
    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;
};

}  // namespace vorneck
