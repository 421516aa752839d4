// SPDX-License-Identifier: MIT
// The main window: the source file list, the pattern controls, the
// destination field and options, the run and exit buttons, the menu and the
// status line. Every command starts in one of its handlers, which call into
// the engine and the selection commands; the window itself only reads and
// shows controls.
#pragma once

#include <QMainWindow>

#include "engine/extraction_state.h"
#include "engine/file_ops.h"
#include "ui/chooser_host.h"
#include "ui/error_report.h"
#include "ui/path_field.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;

namespace vorneck {

class Button;
class EditField;
class FileListBox;
class StatusPanels;

class TForm1 : public QMainWindow, public ChooserHost {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 527;
    static constexpr int kClientHeight = 280;

    // Builds the window from its layout and runs FormCreate, which may show
    // a fault box before the window itself is shown.
    explicit TForm1(ExtractionState& state, QWidget* parent = nullptr);

    // What the directory chooser and the About window need.
    std::string SourceDirPath() const override;
    std::string DestDirPath() const override;
    void SetSourceDirPath(const std::string& path) override;
    void SetDestDirPath(const std::string& path) override;
    int SetFileListDirectory(const std::string& path) override;
    // Disabled, the window looks as it did but ignores every key, click and
    // close request (the platform's disabled top-level window). Enabled
    // again, it becomes the active window, the focus where it was.
    void SetMainWindowEnabled(bool enabled) override;
    bool MainWindowEnabled() const { return inputEnabled_; }

    ExtractionState& State() { return state_; }

    // The controls, by their layout names.
    QWidget* client = nullptr;
    QGroupBox* SrcGroup = nullptr;
    PathField* SourceDir = nullptr;
    Button* SrcDirButton = nullptr;
    FileListBox* FileListBox1 = nullptr;
    QGroupBox* MatchGroup = nullptr;
    QCheckBox* CaseCheckBox = nullptr;
    EditField* PatternStr = nullptr;
    Button* SelectButton = nullptr;
    Button* DeselectButton = nullptr;
    QGroupBox* DestGroup = nullptr;
    PathField* DestDir = nullptr;
    Button* DestDirButton = nullptr;
    QCheckBox* DirPerModule = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    Button* GoButton = nullptr;
    Button* Exit = nullptr;
    QLabel* Image1 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    StatusPanels* StatusBar1 = nullptr;

    // The menu MainMenu1.
    QMenu* File1 = nullptr;
    QAction* EditSourceDirectory1 = nullptr;
    QAction* EditDestinationDirectory1 = nullptr;
    QAction* N3 = nullptr;
    QAction* Changesourcedirectory1 = nullptr;
    QAction* ChangeDestinationDirectory1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Select1 = nullptr;
    QAction* SelectAll1 = nullptr;
    QAction* DeselectAll1 = nullptr;
    QAction* N2 = nullptr;
    QAction* EditPattern1 = nullptr;
    QAction* PatternSelect1 = nullptr;
    QAction* PatternDeselect1 = nullptr;
    QMenu* Vorneck1 = nullptr;
    QAction* ExtractSamples1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* AboutVorneck1 = nullptr;

signals:
    // The directory chooser is wanted, for the destination or the source.
    void DirectoryChooserRequested(bool forDestination);
    void AboutBoxRequested();

public slots:
    void FormCreate();
    void GoButtonClick();
    void ExitClick();
    void SrcDirButtonClick();
    void SrcDirButton1Click();
    void DestDirButtonClick();
    void SelectButtonClick();
    void DeselectButtonClick();
    void SelectAll1Click();
    void DeselectAll1Click();
    void FileListBox1Click();
    void CaseCheckBoxClick();
    void SourceDirClick();
    void SourceDirEnter();
    void DestDirClick();
    void DestDirEnter();
    void PatternStrClick();
    void PatternStrEnter();
    void EditSourceDirectory1Click();
    void EditDestinationDirectory1Click();
    void EditPattern1Click();
    void AboutVorneck1Click();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildControls();
    void BuildMenu();
    void SetTabOrder();
    void ArmMenuBar();

    ExtractionState& state_;
    PosixFileOps files_;
    MessageBoxReporter errors_;
    bool shown_ = false;
    bool inputEnabled_ = true;
};

}  // namespace vorneck
