// SPDX-License-Identifier: MIT
#include "ui/controls.h"

#include <QGroupBox>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionGroupBox>
#include <QStyleOptionMenuItem>
#include <qdrawutil.h>
#include <QStyleFactory>

namespace vorneck {

void EditField::mouseReleaseEvent(QMouseEvent* e) {
    QLineEdit::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton) emit Clicked();
}

void EditField::focusInEvent(QFocusEvent* e) {
    QLineEdit::focusInEvent(e);
    // The focus coming back with the window, or after a menu closed, is
    // not the field being entered.
    if (e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason)
        emit Entered();
}

Button::Button(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setAutoDefault(false);
    setDefault(false);
}

void Button::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !e->isAutoRepeat()) {
        animateClick();
        return;
    }
    QPushButton::keyPressEvent(e);
}

ControlStyle::ControlStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

QRect ControlStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                    SubControl subControl, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr || (box->subControls & SC_GroupBoxCheckBox))
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    const QRect rect = box->rect;
    const int textHeight = box->fontMetrics.height();
    // The frame's top line lies half a text height below the box's top
    // edge, with or without a caption.
    const QRect frame = rect.adjusted(0, textHeight / 2, 0, 0);
    switch (subControl) {
        case SC_GroupBoxFrame:
            return frame;
        case SC_GroupBoxContents:
            return frame.adjusted(2, (box->text.isEmpty() ? 0 : textHeight - textHeight / 2) + 2, -2, -2);
        case SC_GroupBoxLabel: {
            if (box->text.isEmpty()) return {};
            // A blank's width of room on either side of the caption.
            const int pad = 2;
            const int width = box->fontMetrics.horizontalAdvance(box->text) + 2 * pad;
            return visualRect(box->direction, rect, QRect(rect.left() + 8, rect.top(), width, textHeight));
        }
        default:
            return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

void ControlStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                       QPainter* painter, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr || (box->subControls & SC_GroupBoxCheckBox)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const QRect frame = subControlRect(CC_GroupBox, box, SC_GroupBoxFrame, widget);
    const QRect label = subControlRect(CC_GroupBox, box, SC_GroupBoxLabel, widget);
    painter->save();
    if (!label.isEmpty()) painter->setClipRegion(QRegion(box->rect).subtracted(label));
    // Etched: a shadow line with a light line inside and below it.
    qDrawShadeRect(painter, frame, box->palette, true, 1, 0);
    painter->restore();
    if (!label.isEmpty()) {
        int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        if (!proxy()->styleHint(SH_UnderlineShortcut, box, widget)) flags |= Qt::TextHideMnemonic;
        const QColor color = box->textColor.isValid() ? box->textColor
                                                      : box->palette.color(QPalette::WindowText);
        painter->save();
        painter->setPen(color);
        painter->drawText(label, flags, box->text);
        painter->restore();
    }
}

int ControlStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
    // A drop-down list opens below its box, not over it.
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void ControlStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element == CE_MenuBarItem && item != nullptr && (item->state & State_Selected) && widget != nullptr &&
        widget->hasFocus()) {
        // The menu bar has the keyboard focus only while it is armed from
        // the keyboard; its current heading is drawn as if pressed.
        QStyleOptionMenuItem armed = *item;
        armed.state |= State_Sunken;
        QProxyStyle::drawControl(element, &armed, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void UseControlStyle(QWidget* window, std::initializer_list<QWidget*> controls) {
    auto* style = new ControlStyle;
    style->setParent(window);
    for (QWidget* control : controls) control->setStyle(style);
}

}  // namespace vorneck
