// SPDX-License-Identifier: MIT
// Paths in edit fields. File names on this system are bytes, not text: a
// name need not be valid UTF-8 (a folder named with byte 0xE9 from a Latin-1
// system). Shown, such a byte becomes U+FFFD, and the text shown no longer
// names the folder. A path field therefore keeps the bytes of the path it
// was given beside the text it shows.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "ui/controls.h"

namespace vorneck {

// A name or path as the windows show it: as UTF-8, each byte that is not
// part of a valid sequence shown as U+FFFD. The file list, the directory
// list and the path fields all show names this way.
QString PathText(std::string_view bytes);

// The bytes a typed path names: the text as the locale encodes it. (Qt runs
// in a UTF-8 locale and switches to one where the environment names
// another, so this is UTF-8.)
std::string TypedPath(const QString& text);

// An edit field holding a directory path.
class PathField : public EditField {
    Q_OBJECT
public:
    using EditField::EditField;

    // Shows `path` as PathText and keeps its bytes.
    void SetPath(std::string path);

    // The path the field names: the bytes last given to SetPath while the
    // field still shows their text (however it came back to it), otherwise
    // what the user typed, as TypedPath.
    std::string Path() const;

private:
    std::string path_;
    QString shown_;
    bool hasPath_ = false;
};

}  // namespace vorneck
