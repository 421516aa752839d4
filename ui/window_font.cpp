// SPDX-License-Identifier: MIT
#include "ui/window_font.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace vorneck {
namespace {

// Where Debian's fonts-wine puts the face.
constexpr const char* kMsSansSerifFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
constexpr const char* kMsSansSerif = "MS Sans Serif";

bool RegisterMsSansSerif() {
    static const bool registered = [] {
        if (!QFile::exists(QString::fromLatin1(kMsSansSerifFile))) return false;
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kMsSansSerifFile));
        return id >= 0 &&
               QFontDatabase::applicationFontFamilies(id).contains(QLatin1String(kMsSansSerif));
    }();
    return registered;
}

}  // namespace

bool HaveMsSansSerif() { return RegisterMsSansSerif(); }

QFont WindowFont() {
    if (RegisterMsSansSerif()) {
        // A bitmap face: 8 points picks its 13-pixel strike, 11 pixels
        // above the baseline, as on the system the layout was drawn for.
        QFont font(QString::fromLatin1(kMsSansSerif), 8);
        font.setStyleHint(QFont::SansSerif);
        return font;
    }
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace vorneck
