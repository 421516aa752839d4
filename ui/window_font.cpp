// SPDX-License-Identifier: MIT
#include "ui/window_font.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace vorneck {
namespace {

// Where Debian's fonts-wine puts the faces; fontconfig does not list them.
constexpr const char* kMsSansSerifFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
constexpr const char* kTahomaFile = "/usr/share/wine/fonts/tahoma.ttf";
constexpr const char* kMsSansSerif = "MS Sans Serif";

bool RegisterFace(const char* file, const char* family) {
    if (!QFile::exists(QString::fromLatin1(file))) return false;
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(QLatin1String(family));
}

bool RegisterMsSansSerif() {
    static const bool registered = RegisterFace(kMsSansSerifFile, kMsSansSerif);
    return registered;
}

// The closest installed face that scales, or empty for the system's
// sans-serif.
QString ScalableFamily() {
    static const QString family = [] {
        RegisterFace(kTahomaFile, "Tahoma");
        const QStringList installed = QFontDatabase::families();
        for (const char* candidate : {"Microsoft Sans Serif", "Tahoma", "Arial", "Liberation Sans"}) {
            const QString name = QString::fromLatin1(candidate);
            if (installed.contains(name, Qt::CaseInsensitive) && QFontDatabase::isSmoothlyScalable(name))
                return name;
        }
        return QString();
    }();
    return family;
}

}  // namespace

bool HaveMsSansSerif() { return RegisterMsSansSerif(); }

QFont WindowFontFor(qreal devicePixelRatio) {
    QString family = QStringLiteral("Sans Serif");
    if (devicePixelRatio <= 1.0) {
        // A bitmap face: 8 points picks its 13-pixel strike, 11 pixels
        // above the baseline, as on the system the layout was drawn for.
        if (RegisterMsSansSerif()) family = QString::fromLatin1(kMsSansSerif);
    } else if (const QString scalable = ScalableFamily(); !scalable.isEmpty()) {
        family = scalable;
    }
    QFont font(family, 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont WindowFont() { return WindowFontFor(qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0); }

}  // namespace vorneck
