// SPDX-License-Identifier: MIT
#include "ui/error_report.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "ui/desktop_windows.h"
#include "ui/window_font.h"

namespace vorneck {
namespace {

constexpr QChar kZeroWidthSpace(0x200B);

QScreen* ScreenOf(const QWidget* widget) {
    if (widget != nullptr && widget->screen() != nullptr) return widget->screen();
    return QGuiApplication::primaryScreen();
}

// Word wrapping breaks lines only between words; a path longer than a line
// would be cut off at the box's edge. Such words get break opportunities
// after each "/" and, where that is not enough, after every character.
QString BreakLongWords(const QString& text, const QFontMetrics& metrics, int width) {
    QString result;
    result.reserve(text.size());
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype l = 0; l < lines.size(); ++l) {
        if (l > 0) result += QLatin1Char('\n');
        const QStringList words = lines[l].split(QLatin1Char(' '));
        for (qsizetype w = 0; w < words.size(); ++w) {
            if (w > 0) result += QLatin1Char(' ');
            const QString& word = words[w];
            if (metrics.horizontalAdvance(word) <= width) {
                result += word;
                continue;
            }
            QString segment;
            auto flush = [&] {
                if (metrics.horizontalAdvance(segment) <= width) {
                    result += segment;
                } else {
                    for (qsizetype i = 0; i < segment.size(); ++i) {
                        result += segment[i];
                        const bool pair = segment[i].isHighSurrogate() && i + 1 < segment.size();
                        if (pair) result += segment[++i];
                        if (i + 1 < segment.size()) result += kZeroWidthSpace;
                    }
                }
                segment.clear();
            };
            for (const QChar c : word) {
                segment += c;
                if (c == QLatin1Char('/')) {
                    flush();
                    result += kZeroWidthSpace;
                }
            }
            flush();
        }
    }
    return result;
}

}  // namespace

StopBox::StopBox(QWidget* parent, const QString& title, const QString& text)
    : QMessageBox(QMessageBox::Critical, title, QString(), QMessageBox::NoButton, parent),
      message_(text) {
    setTextFormat(Qt::PlainText);  // file names are data, never markup
    setWindowModality(Qt::ApplicationModal);
    // The plain box of the windows: their own font, an OK button without a
    // picture, centred under the text.
    setFont(WindowFont());
    QPushButton* ok = addButton(QMessageBox::Ok);
    ok->setText(QStringLiteral("OK"));  // whatever the platform's wording
    MakePlain();
    setDefaultButton(ok);  // Enter
    setEscapeButton(ok);   // Esc
    setText(BreakLongWords(text, QFontMetrics(font()), WrapWidth()));
}

void StopBox::MakePlain() {
    for (QAbstractButton* button : buttons()) button->setIcon(QIcon());
    if (auto* box = findChild<QDialogButtonBox*>(); box != nullptr) box->setCenterButtons(true);
}

int StopBox::WrapWidth() const {
    const QScreen* screen = ScreenOf(parentWidget() != nullptr ? parentWidget() : this);
    return std::max(1, screen->geometry().width() / 2);
}

bool StopBox::event(QEvent* e) {
    // QMessageBox sizes itself (wrapping at a width of its own choosing)
    // on showing and on every layout request; fit the box afterwards.
    const bool result = QMessageBox::event(e);
    // A change of style brings back the style's own button look.
    if (e->type() == QEvent::StyleChange) MakePlain();
    if (!fitting_ && (e->type() == QEvent::Show || e->type() == QEvent::LayoutRequest)) FitToText();
    return result;
}

void StopBox::FitToText() {
    auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr || layout() == nullptr) return;
    fitting_ = true;

    const QFontMetrics metrics(label->font());
    int natural = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
        natural = std::max(natural, metrics.horizontalAdvance(line));
    label->setWordWrap(true);
    label->setFixedWidth(std::min(natural + 1, WrapWidth()));

    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->activate();
    const int width = layout()->totalMinimumSize().width();
    const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                                     : layout()->totalMinimumSize().height();
    setFixedSize(width, height);

    // Centred on the screen, not on the parent window.
    CentreOnScreen(this);

    QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    fitting_ = false;
}

void StopBox::Run() {
    const QPointer<QWidget> owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    exec();
    // Not when another modal window has come up meanwhile: that one keeps
    // the keyboard.
    QWidget* modal = QApplication::activeModalWidget();
    if (owner != nullptr && owner->isVisible() && (modal == nullptr || modal == owner)) owner->activateWindow();
}

void ErrorReport(QWidget* parent, const QString& message) {
    StopBox box(parent, QStringLiteral("Error"), message);
    box.Run();
}

void MessageBoxReporter::ErrorReport(std::string_view message) {
    vorneck::ErrorReport(parent_, QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

}  // namespace vorneck
