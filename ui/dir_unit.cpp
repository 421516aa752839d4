// SPDX-License-Identifier: MIT
#include "ui/dir_unit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QPushButton>
#include <utility>

#include "ui/controls.h"
#include "ui/desktop_windows.h"
#include "ui/dialog_resources.h"
#include "ui/dir_paths.h"
#include "ui/directory_list.h"
#include "ui/fault_report.h"

using vorneck::DialogPicture;
using vorneck::Volume;
using vorneck::VolumeKind;

namespace {

DialogPicture PictureOf(VolumeKind kind) {
    switch (kind) {
        case VolumeKind::Removable:
            return DialogPicture::DriveFloppy;
        case VolumeKind::Fixed:
            return DialogPicture::DriveHard;
        case VolumeKind::Network:
            return DialogPicture::DriveNetwork;
        case VolumeKind::CdRom:
            return DialogPicture::DriveCd;
        case VolumeKind::Ram:
            return DialogPicture::DriveRam;
    }
    return DialogPicture::DriveHard;
}

bool SameVolumes(const std::vector<Volume>& a, const std::vector<Volume>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].mountPath != b[i].mountPath || a[i].kind != b[i].kind || a[i].text != b[i].text) return false;
    return true;
}

}  // namespace

TForm2::TForm2(vorneck::ChooserHost& host, vorneck::ExtractionState& state, QWidget* parent)
    : TForm2(host, state, &vorneck::SystemVolumes, parent) {}

TForm2::TForm2(vorneck::ChooserHost& host, vorneck::ExtractionState& state, VolumeSource volumes, QWidget* parent)
    : QWidget(parent, vorneck::kDialogWindowFlags),
      host_(host),
      state_(state),
      volumeSource_(std::move(volumes)) {
    // A secondary window: closing it never ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    // Shown without waiting for it to close, but while it is open no other
    // window of the program takes input.
    setWindowModality(Qt::ApplicationModal);
    setFont(vorneck::DialogFont());
    setWindowTitle(QStringLiteral("Please choose source directory"));
    setFixedSize(290, 172);

    GroupBox1 = new QGroupBox(QStringLiteral("Source Directory"), this);
    GroupBox1->setGeometry(8, 8, 273, 153);
    DriveComboBox1 = new QComboBox(GroupBox1);
    // Group boxes look as in the main window; the drive list opens below.
    vorneck::UseControlStyle(this, {GroupBox1, DriveComboBox1});
    DriveComboBox1->setGeometry(16, 16, 145, 19);
    DriveComboBox1->setIconSize(QSize(16, 16));
    connect(DriveComboBox1, &QComboBox::activated, this, &TForm2::DriveComboBox1Activated);

    // The list and the buttons belong to the window and lie over the group.
    DirectoryListBox1 = new vorneck::DirectoryListBox(this);
    DirectoryListBox1->setGeometry(24, 48, 145, 97);

    Button1 = new QPushButton(QStringLiteral("&Okay"), this);
    Button1->setGeometry(184, 88, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);

    Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Button2->setGeometry(184, 120, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);

    // Neither button is a default or cancel button; Enter presses the
    // focused one only.
    for (QPushButton* button : {Button1, Button2}) {
        button->setAutoDefault(true);
        button->setDefault(false);
    }

    setTabOrder(DirectoryListBox1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, DriveComboBox1);

    // Until the first opening the lists show the program's current directory.
    RefreshDrives();
    const std::string start = vorneck::CurrentDirectory();
    const std::size_t drive = vorneck::DriveOfPath(volumes_, start);
    ChooseDriveLine(drive);
    if (DirectoryListBox1->SetDrive(volumes_[drive].mountPath) != 0 || DirectoryListBox1->SetDirectory(start) != 0)
        DirectoryListBox1->SetDirectory("/");
}

void TForm2::Open(bool forDest) {
    state_.ChooserForDest = forDest;
    setWindowTitle(forDest ? QStringLiteral("Please select destination directory.")
                           : QStringLiteral("Please select source directory."));
    GroupBox1->setTitle(forDest ? QStringLiteral("Destination Directory") : QStringLiteral("Source Directory"));
    host_.SetMainWindowEnabled(false);
    if (!shownBefore_) vorneck::CentreOnScreen(this);
    shownBefore_ = true;
    FormShow();
    DirectoryListBox1->setFocus();
    show();
    raise();
    activateWindow();
}

void TForm2::FormShow() {
    const std::string raw = state_.ChooserForDest ? host_.DestDirPath() : host_.SourceDirPath();
    // A NUL byte would cut the path short at the system call and name some
    // other directory.
    if (raw.find('\0') != std::string::npos) {
        vorneck::FaultReport(this, EINVAL);
        return;
    }
    const std::string path = vorneck::NormalizePath(raw, vorneck::CurrentDirectory());

    // Volumes come and go (a stick plugged in, a share mounted): read them
    // again at every opening.
    RefreshDrives();
    const std::size_t drive = vorneck::DriveOfPath(volumes_, path);
    if (volumes_[drive].mountPath != shownDrive_) {
        ChooseDriveLine(drive);
        if (!DriveComboBox1Change()) return;
    }
    if (const int error = DirectoryListBox1->SetDrive(volumes_[drive].mountPath); error != 0) {
        vorneck::FaultReport(this, error);
        return;
    }
    if (const int error = DirectoryListBox1->SetDirectory(path); error != 0) {
        vorneck::FaultReport(this, error);
        return;
    }
}

bool TForm2::DriveComboBox1Change() {
    const int index = DriveComboBox1->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= volumes_.size()) return true;
    if (const int error = DirectoryListBox1->SetDrive(volumes_[static_cast<std::size_t>(index)].mountPath);
        error != 0) {
        vorneck::FaultReport(this, error);
        return false;
    }
    return true;
}

void TForm2::Button1Click() {
    const std::string directory = DirectoryListBox1->Directory();
    if (directory.empty()) return;
    if (!state_.ChooserForDest) {
        host_.SetSourceDirPath(directory);
        if (const int error = host_.SetFileListDirectory(directory); error != 0) {
            // The chooser stays open (and the main window disabled) so the
            // user can pick another directory or cancel.
            vorneck::FaultReport(this, error);
            return;
        }
    } else {
        host_.SetDestDirPath(directory);
    }
    host_.SetMainWindowEnabled(true);
    close();
}

void TForm2::Button2Click() { close(); }

void TForm2::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TForm2::FormClose() { host_.SetMainWindowEnabled(true); }

void TForm2::RefreshDrives() {
    std::vector<Volume> volumes = volumeSource_();
    if (volumes.empty()) volumes.push_back({"/", VolumeKind::Fixed, "/ []"});
    if (SameVolumes(volumes, volumes_)) return;
    volumes_ = std::move(volumes);

    const QSignalBlocker blocker(DriveComboBox1);
    DriveComboBox1->clear();
    int shown = -1;
    for (std::size_t i = 0; i < volumes_.size(); ++i) {
        const Volume& volume = volumes_[i];
        DriveComboBox1->addItem(QIcon(vorneck::DialogPixmap(PictureOf(volume.kind))),
                                QString::fromStdString(volume.text));
        if (volume.mountPath == shownDrive_) shown = static_cast<int>(i);
    }
    DriveComboBox1->setCurrentIndex(shown);
    if (shown < 0) shownDrive_.clear();
    // Long mount paths or network names stay readable in the open list.
    DriveComboBox1->view()->setMinimumWidth(DriveComboBox1->view()->sizeHintForColumn(0) + 8);
}

void TForm2::ChooseDriveLine(std::size_t index) {
    const QSignalBlocker blocker(DriveComboBox1);
    DriveComboBox1->setCurrentIndex(static_cast<int>(index));
    shownDrive_ = volumes_[index].mountPath;
}

void TForm2::DriveComboBox1Activated(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= volumes_.size()) return;
    if (volumes_[static_cast<std::size_t>(index)].mountPath == shownDrive_) return;
    shownDrive_ = volumes_[static_cast<std::size_t>(index)].mountPath;
    DriveComboBox1Change();
}
