// SPDX-License-Identifier: MIT
// The main window's status line: four sunken panels, the first three of
// fixed width, the last running to the right end, where the size grip sits.
// A panel keeps its text until it is written again; each text is painted at
// once, so a long run that keeps the event loop waiting still shows it.
#pragma once

#include <QStatusBar>
#include <array>
#include <string_view>

#include "engine/services.h"

class QLabel;

namespace vorneck {

class StatusPanels : public QStatusBar, public StatusLine {
    Q_OBJECT
public:
    static constexpr int kPanelCount = 4;
    static constexpr std::array<int, kPanelCount - 1> kFixedWidths = {180, 115, 115};

    explicit StatusPanels(QWidget* parent = nullptr);

    void SetPanel(int panel, std::string_view text) override;
    QString PanelText(int panel) const;
    QLabel* Panel(int panel) const;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void PlacePanels();

    std::array<QLabel*, kPanelCount> panels_{};
};

}  // namespace vorneck
