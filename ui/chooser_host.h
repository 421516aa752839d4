// SPDX-License-Identifier: MIT
// What the directory chooser and the About window need of the main window,
// passed to them rather than reached through a global.
#pragma once

#include <string>

namespace vorneck {

// Paths are the file system's bytes throughout, whatever the names' encoding.
class ChooserHost {
public:
    virtual ~ChooserHost() = default;
    // The paths the source and destination fields name: a path put there
    // as it was given, a typed one as the locale encodes the text.
    virtual std::string SourceDirPath() const = 0;
    virtual std::string DestDirPath() const = 0;
    // Puts a path into the field, shown as the file list shows names.
    virtual void SetSourceDirPath(const std::string& path) = 0;
    virtual void SetDestDirPath(const std::string& path) = 0;
    // Points the file list at an absolute directory: a different directory
    // reloads the list and drops the selection, the same one changes
    // nothing. Returns 0, or the errno of a directory that cannot be read
    // (the list is then unchanged and the caller shows a fault).
    virtual int SetFileListDirectory(const std::string& path) = 0;
    // Disabled, the main window looks unchanged but takes no keys, clicks
    // or close requests; enabled again, it is the active window once more.
    virtual void SetMainWindowEnabled(bool enabled) = 0;
};

}  // namespace vorneck
