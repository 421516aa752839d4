// SPDX-License-Identifier: MIT
// The About window: the program's title, version, credit and contact lines
// beside a logo. Shown modelessly while the main window is disabled.
#pragma once

#include <QWidget>

#include "ui/chooser_host.h"

class QGroupBox;
class QLabel;
class QPushButton;

class TAboutBox : public QWidget {
    Q_OBJECT

public:
    explicit TAboutBox(vorneck::ChooserHost& host, QWidget* parent = nullptr);

    // Disables the main window and shows the About window: centred on the
    // screen the first time, where it was left afterwards.
    void Open();

    void Button1Click();

    QGroupBox* AboutGroup;
    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QPushButton* Button1;

protected:
    // However the window closes (a close button some window managers add
    // anyway, Alt+F4), the main window is enabled again.
    void closeEvent(QCloseEvent* event) override;

private:
    vorneck::ChooserHost& host_;
    bool shownBefore_ = false;
};
