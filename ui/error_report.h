// SPDX-License-Identifier: MIT
// Modal error boxes: the stop icon, one plain "OK" button (no picture,
// centred) that both Enter and Esc answer, the windows' own font, the text
// word-wrapped at half the screen's width, the box centred on the screen.
// Nothing else of the program takes input while one is open.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <string_view>

#include "engine/services.h"

namespace vorneck {

class StopBox : public QMessageBox {
    Q_OBJECT
public:
    StopBox(QWidget* parent, const QString& title, const QString& text);

    // The text as given; the label may hold break opportunities added to
    // words too long for one line.
    QString MessageText() const { return message_; }
    // Width in pixels at which the text wraps: half the screen's width.
    int WrapWidth() const;

    // Shows the box and returns when it is answered; the window the box
    // belongs to is then the active window again, as a window manager
    // would make it (without one, nothing would).
    void Run();

protected:
    bool event(QEvent* e) override;

private:
    void MakePlain();
    void FitToText();

    QString message_;
    bool fitting_ = false;
};

// Shows an "Error" box with the message and returns when it is closed.
void ErrorReport(QWidget* parent, const QString& message);

// The engine's error messages, each shown as an "Error" box over `parent`.
class MessageBoxReporter : public ErrorReporter {
public:
    explicit MessageBoxReporter(QWidget* parent) : parent_(parent) {}
    void ErrorReport(std::string_view message) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace vorneck
