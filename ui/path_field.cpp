// SPDX-License-Identifier: MIT
#include "ui/path_field.h"

#include <QFile>
#include <utility>

namespace vorneck {

QString PathText(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string TypedPath(const QString& text) { return QFile::encodeName(text).toStdString(); }

void PathField::SetPath(std::string path) {
    shown_ = PathText(path);
    path_ = std::move(path);
    hasPath_ = true;
    setText(shown_);
}

std::string PathField::Path() const {
    const QString current = text();
    if (hasPath_ && current == shown_) return path_;
    return TypedPath(current);
}

}  // namespace vorneck
