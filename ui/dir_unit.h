// SPDX-License-Identifier: MIT
// The directory chooser: one small window that serves for choosing both the
// source and the destination directory. It shows a drive list (the mounted
// volumes) and a directory list; "&Okay" copies the directory last opened
// back into the main window. It is shown modelessly while the main window is
// disabled, so the user works only in the chooser until it closes.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "engine/extraction_state.h"
#include "ui/chooser_host.h"
#include "ui/volumes.h"

class QComboBox;
class QGroupBox;
class QPushButton;

namespace vorneck {
class DirectoryListBox;
}

class TForm2 : public QWidget {
    Q_OBJECT

public:
    using VolumeSource = std::function<std::vector<vorneck::Volume>()>;

    TForm2(vorneck::ChooserHost& host, vorneck::ExtractionState& state, QWidget* parent = nullptr);
    // The same, with the volumes taken from `volumes` instead of the system.
    TForm2(vorneck::ChooserHost& host, vorneck::ExtractionState& state, VolumeSource volumes,
           QWidget* parent = nullptr);

    // Opens the chooser for the source (forDest false) or the destination:
    // sets ChooserForDest and both captions, disables the main window, runs
    // FormShow and shows the window. Centred on the screen the first time,
    // where it was left afterwards.
    void Open(bool forDest);

    // Takes the field's text (DestDir when choosing the destination, else
    // SourceDir) and moves the drive list and the directory list to it. A
    // drive or directory that cannot be entered is a fault: the rest is
    // skipped and the lists stay where the earlier steps left them.
    void FormShow();
    // Moves the directory list to the root of the drive now chosen. Returns
    // false after a fault.
    bool DriveComboBox1Change();
    void Button1Click();
    void Button2Click();

    // The volumes behind the drive list's lines, in the same order.
    const std::vector<vorneck::Volume>& Volumes() const { return volumes_; }

    QGroupBox* GroupBox1;
    QComboBox* DriveComboBox1;
    vorneck::DirectoryListBox* DirectoryListBox1;
    QPushButton* Button1;
    QPushButton* Button2;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void RefreshDrives();
    void ChooseDriveLine(std::size_t index);
    void DriveComboBox1Activated(int index);

    vorneck::ChooserHost& host_;
    vorneck::ExtractionState& state_;
    VolumeSource volumeSource_;
    std::vector<vorneck::Volume> volumes_;
    // The mount path of the drive the drive list shows; the change handler
    // runs only when the user picks another one.
    std::string shownDrive_;
    bool shownBefore_ = false;
};
