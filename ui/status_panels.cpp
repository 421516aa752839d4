// SPDX-License-Identifier: MIT
#include "ui/status_panels.h"

#include <QLabel>
#include <QPainter>
#include <qdrawutil.h>
#include <QResizeEvent>
#include <algorithm>

namespace vorneck {
namespace {

constexpr int kGap = 2;  // between two panels, and above them

// One panel: its text inside a sunken box, a shadow line along the top and
// left edges and a light line along the bottom and right edges.
class SunkenPanel : public QLabel {
public:
    explicit SunkenPanel(QWidget* parent) : QLabel(parent) {
        setFrameStyle(QFrame::NoFrame);
        setContentsMargins(2, 1, 2, 1);
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QLabel::paintEvent(e);
        QPainter painter(this);
        qDrawShadePanel(&painter, rect(), palette(), true, 1, nullptr);
    }
};

}  // namespace

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
    // The panels are placed by hand: QStatusBar's own layout adds margins
    // and gaps of its own between widgets added to it.
    for (int i = 0; i < kPanelCount; ++i) {
        auto* label = new SunkenPanel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        panels_[i] = label;
    }
    setSizeGripEnabled(true);
    PlacePanels();
}

void StatusPanels::SetPanel(int panel, std::string_view text) {
    if (panel < 0 || panel >= kPanelCount) return;
    QLabel* label = panels_[panel];
    label->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    label->repaint();
}

QString StatusPanels::PanelText(int panel) const {
    return panel >= 0 && panel < kPanelCount ? panels_[panel]->text() : QString();
}

QLabel* StatusPanels::Panel(int panel) const {
    return panel >= 0 && panel < kPanelCount ? panels_[panel] : nullptr;
}

void StatusPanels::resizeEvent(QResizeEvent* e) {
    QStatusBar::resizeEvent(e);
    PlacePanels();
}

void StatusPanels::PlacePanels() {
    int left = 0;
    const int top = kGap;
    const int height = std::max(1, this->height() - top);
    for (int i = 0; i < kPanelCount; ++i) {
        const int width = i < kPanelCount - 1 ? kFixedWidths[i] : std::max(1, this->width() - left);
        // Each panel owns its width including the gap on its right.
        const int drawn = i < kPanelCount - 1 ? std::max(1, width - kGap) : width;
        panels_[i]->setGeometry(left, top, drawn, height);
        panels_[i]->lower();  // the size grip stays on top of the last panel
        left += width;
    }
}

}  // namespace vorneck
