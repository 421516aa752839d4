// SPDX-License-Identifier: MIT
// What the directory chooser and the About window need of the main window,
// passed to them rather than reached through a global.
#pragma once

#include <QString>

namespace vorneck {

class ChooserHost {
public:
    virtual ~ChooserHost() = default;
    virtual QString SourceDirText() const = 0;
    virtual QString DestDirText() const = 0;
    virtual void SetSourceDirText(const QString& text) = 0;
    virtual void SetDestDirText(const QString& text) = 0;
    // Points the file list at an absolute directory: a different directory
    // reloads the list and drops the selection, the same one changes
    // nothing. Returns 0, or the errno of a directory that cannot be read
    // (the list is then unchanged and the caller shows a fault).
    virtual int SetFileListDirectory(const QString& path) = 0;
    // Disabled, the main window looks unchanged but takes no keys, clicks
    // or close requests; enabled again, it is the active window once more.
    virtual void SetMainWindowEnabled(bool enabled) = 0;
};

}  // namespace vorneck
