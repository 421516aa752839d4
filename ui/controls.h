// SPDX-License-Identifier: MIT
// Small variations on the standard controls that the windows need.
#pragma once

#include <initializer_list>

#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>


namespace vorneck {

// A single-line edit field that reports clicks into it and the keyboard
// focus arriving from elsewhere in its window, so that its owner can select
// the whole text and typing replaces it.
class EditField : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void Clicked();
    void Entered();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
};

// A push button that is never a default button: Enter presses it only while
// it has the focus, like Space.
class Button : public QPushButton {
    Q_OBJECT
public:
    explicit Button(const QString& text, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

// The application's style, with a few standard controls drawn and behaving
// as the window layouts expect:
// - group boxes: an etched frame whose top line runs through the middle of
//   the caption, the caption 8 pixels in from the left. The layouts place
//   their first row of controls just below the caption; styles that put the
//   caption above the frame would let those controls cover the frame's top
//   line.
// - a captionless group box has its frame half a text height below its top
//   edge too.
// - a menu bar armed from the keyboard (F10, a lone Alt) shows its current
//   heading highlighted, as when its menu is open.
// - a drop-down list opens below its box.
class ControlStyle : public QProxyStyle {
    Q_OBJECT
public:
    // A fresh instance of the application's current style, adjusted.
    ControlStyle();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

// Gives these controls of a window the adjusted look; the style lives as
// long as the window.
void UseControlStyle(QWidget* window, std::initializer_list<QWidget*> controls);

}  // namespace vorneck
