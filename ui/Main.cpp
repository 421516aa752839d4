// SPDX-License-Identifier: MIT
#include "ui/Main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "engine/extraction_run.h"
#include "selection/selection_commands.h"
#include "ui/controls.h"
#include "ui/desktop_windows.h"
#include "ui/dir_paths.h"
#include "ui/fault_report.h"
#include "ui/file_list_box.h"
#include "ui/menu_shortcuts.h"
#include "ui/path_field.h"
#include "ui/status_panels.h"
#include "ui/window_font.h"

namespace vorneck {
namespace {

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A control of the layout: its name, its text, its place in its parent.
template <typename W>
W* Make(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
    auto* widget = Named(new W(text, parent), name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

QAction* MakeItem(QMenu* menu, const char* name, const QString& text,
                  const QKeySequence& shortcut = QKeySequence()) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    return action;
}

QAction* MakeSeparator(QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(QLatin1String(name));
    return action;
}

// The home directory as the environment names it, or "/" without one.
std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    return NormalizePath(home != nullptr ? home : "", "/");
}

}  // namespace
}  // namespace vorneck

// The window's pictures live in a static library: their resources must be
// registered by name.
static void InitMainWindowResources() { Q_INIT_RESOURCE(main_window); }

namespace vorneck {

TForm1::TForm1(ExtractionState& state, QWidget* parent)
    : QMainWindow(parent), state_(state), errors_(this) {
    InitMainWindowResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vorneck V2.00"));
    setWindowIcon(QIcon(QStringLiteral(":/vorneck/icon16.png")));
    setFont(WindowFont());

    BuildControls();
    BuildMenu();
    SetTabOrder();

    UseControlStyle(this, {SrcGroup, MatchGroup, DestGroup, GroupBox4, menuBar()});

    // The client area has a fixed size; the window is as large as it and
    // the menu bar, and cannot be resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Drops input to this window while it is disabled.
    qApp->installEventFilter(this);

    FormCreate();

    // The first control in tab order starts with the focus, its text selected.
    SourceDir->setFocus(Qt::OtherFocusReason);
    SourceDir->selectAll();
}

void TForm1::BuildControls() {
    client = Named(new QWidget(this), "client");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    SrcGroup = Make<QGroupBox>(client, "SrcGroup", QStringLiteral("Source"), 8, 8, 402, 185);
    SourceDir = Make<PathField>(SrcGroup, "SourceDir", QString(), 8, 16, 177, 21);
    SrcDirButton = Make<Button>(SrcGroup, "SrcDirButton", QStringLiteral("Directory.."), 200, 16, 75, 25);
    FileListBox1 = Named(new FileListBox(SrcGroup), "FileListBox1");
    FileListBox1->setGeometry(8, 48, 266, 129);

    MatchGroup = Make<QGroupBox>(SrcGroup, "MatchGroup", QStringLiteral("Pattern Matching"), 288, 8, 106, 169);
    CaseCheckBox = Make<QCheckBox>(MatchGroup, "CaseCheckBox", QStringLiteral("Match &Case"), 16, 24, 82, 18);
    PatternStr = Make<EditField>(MatchGroup, "PatternStr", QStringLiteral("*.*"), 16, 56, 74, 21);
    SelectButton = Make<Button>(MatchGroup, "SelectButton", QStringLiteral("Select"), 16, 96, 76, 26);
    DeselectButton = Make<Button>(MatchGroup, "DeselectButton", QStringLiteral("Deselect"), 16, 128, 76, 26);

    DestGroup = Make<QGroupBox>(client, "DestGroup", QStringLiteral("Destination"), 8, 192, 402, 57);
    DestDir = Make<PathField>(DestGroup, "DestDir", QString(), 8, 16, 177, 21);
    DestDirButton = Make<Button>(DestGroup, "DestDirButton", QStringLiteral("Directory.."), 200, 16, 74, 26);
    DirPerModule = Make<QCheckBox>(DestGroup, "DirPerModule", QStringLiteral("Dir Per &Mod"), 304, 16, 89, 18);
    CheckBox1 = Make<QCheckBox>(DestGroup, "CheckBox1", QStringLiteral("Save as WAV"), 304, 32, 89, 17);
    CheckBox1->setEnabled(false);

    GoButton = Make<Button>(client, "GoButton", QStringLiteral("Vor&neck!"), 424, 192, 98, 26);
    Exit = Make<Button>(client, "Exit", QStringLiteral("E&xit"), 424, 224, 98, 26);

    Image1 = Named(new QLabel(client), "Image1");
    Image1->setGeometry(424, 16, 97, 169);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap(QStringLiteral(":/vorneck/logo.bmp")));

    // Only its lower edge shows, as a line under the menu bar.
    GroupBox4 = Make<QGroupBox>(client, "GroupBox4", QString(), 0, -8, 529, 10);

    // The program's start-up directory fills the source field; the home
    // directory is the first destination offered.
    std::error_code ec;
    const std::filesystem::path startDirectory = std::filesystem::current_path(ec);
    if (!ec) SourceDir->SetPath(startDirectory.string());
    DestDir->SetPath(HomeDirectory());

    StatusBar1 = Named(new StatusPanels(client), "StatusBar1");
    StatusBar1->setGeometry(0, 260, kClientWidth, 20);

    connect(GoButton, &QPushButton::clicked, this, &TForm1::GoButtonClick);
    connect(Exit, &QPushButton::clicked, this, &TForm1::ExitClick);
    connect(SrcDirButton, &QPushButton::clicked, this, &TForm1::SrcDirButtonClick);
    connect(DestDirButton, &QPushButton::clicked, this, &TForm1::DestDirButtonClick);
    connect(SelectButton, &QPushButton::clicked, this, &TForm1::SelectButtonClick);
    connect(DeselectButton, &QPushButton::clicked, this, &TForm1::DeselectButtonClick);
    connect(FileListBox1, &FileListBox::UserSelectionChanged, this, &TForm1::FileListBox1Click);
    connect(CaseCheckBox, &QCheckBox::toggled, this, &TForm1::CaseCheckBoxClick);
    connect(SourceDir, &EditField::Clicked, this, &TForm1::SourceDirClick);
    connect(SourceDir, &EditField::Entered, this, &TForm1::SourceDirEnter);
    connect(DestDir, &EditField::Clicked, this, &TForm1::DestDirClick);
    connect(DestDir, &EditField::Entered, this, &TForm1::DestDirEnter);
    connect(PatternStr, &EditField::Clicked, this, &TForm1::PatternStrClick);
    connect(PatternStr, &EditField::Entered, this, &TForm1::PatternStrEnter);
    // "Save as WAV" is shown but never offered.
    connect(CheckBox1, &QCheckBox::toggled, CheckBox1, [this](bool on) {
        if (on) CheckBox1->setChecked(false);
    });
}

void TForm1::BuildMenu() {
    QMenuBar* bar = Named(new QMenuBar(this), "MainMenu1");
    setMenuBar(bar);

    File1 = Named(bar->addMenu(QStringLiteral("&File")), "File1");
    EditSourceDirectory1 = MakeItem(File1, "EditSourceDirectory1", QStringLiteral("&Edit Source Directory.. "));
    EditDestinationDirectory1 =
        MakeItem(File1, "EditDestinationDirectory1", QStringLiteral("Ed&it Destination Directory.."));
    N3 = MakeSeparator(File1, "N3");
    Changesourcedirectory1 = MakeItem(File1, "Changesourcedirectory1", QStringLiteral("Change &Source Directory.."),
                                      QKeySequence(Qt::CTRL | Qt::Key_L));
    ChangeDestinationDirectory1 =
        MakeItem(File1, "ChangeDestinationDirectory1", QStringLiteral("Change &Destination Directory.."),
                 QKeySequence(Qt::CTRL | Qt::Key_S));
    N1 = MakeSeparator(File1, "N1");
    Exit1 = MakeItem(File1, "Exit1", QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_C));

    Select1 = Named(bar->addMenu(QStringLiteral("&Select")), "Select1");
    SelectAll1 = MakeItem(Select1, "SelectAll1", QStringLiteral("Select &All"));
    DeselectAll1 = MakeItem(Select1, "DeselectAll1", QStringLiteral("D&eselect All"));
    N2 = MakeSeparator(Select1, "N2");
    EditPattern1 = MakeItem(Select1, "EditPattern1", QStringLiteral("&Edit Pattern"));
    PatternSelect1 = MakeItem(Select1, "PatternSelect1", QStringLiteral("Pattern &Select"));
    PatternDeselect1 = MakeItem(Select1, "PatternDeselect1", QStringLiteral("Pattern &Deselect"));

    Vorneck1 = Named(bar->addMenu(QStringLiteral("Vornec&k")), "Vorneck1");
    ExtractSamples1 = MakeItem(Vorneck1, "ExtractSamples1", QStringLiteral("E&xtract Samples"));

    Help1 = Named(bar->addMenu(QStringLiteral("&Help")), "Help1");
    // F1 belongs to the heading itself; it is never displayed and, with no
    // handler, does nothing.
    Help1->menuAction()->setShortcut(QKeySequence(Qt::Key_F1));
    AboutVorneck1 = MakeItem(Help1, "AboutVorneck1", QStringLiteral("&About Vorneck"));

    for (QMenu* menu : {File1, Select1, Vorneck1, Help1}) menu->setFont(font());

    connect(EditSourceDirectory1, &QAction::triggered, this, &TForm1::EditSourceDirectory1Click);
    connect(EditDestinationDirectory1, &QAction::triggered, this, &TForm1::EditDestinationDirectory1Click);
    connect(Changesourcedirectory1, &QAction::triggered, this, &TForm1::SrcDirButton1Click);
    connect(ChangeDestinationDirectory1, &QAction::triggered, this, &TForm1::DestDirButtonClick);
    connect(Exit1, &QAction::triggered, this, &TForm1::ExitClick);
    connect(SelectAll1, &QAction::triggered, this, &TForm1::SelectAll1Click);
    connect(DeselectAll1, &QAction::triggered, this, &TForm1::DeselectAll1Click);
    connect(EditPattern1, &QAction::triggered, this, &TForm1::EditPattern1Click);
    connect(PatternSelect1, &QAction::triggered, this, &TForm1::SelectButtonClick);
    connect(PatternDeselect1, &QAction::triggered, this, &TForm1::DeselectButtonClick);
    connect(ExtractSamples1, &QAction::triggered, this, &TForm1::GoButtonClick);
    connect(AboutVorneck1, &QAction::triggered, this, &TForm1::AboutVorneck1Click);

    // Menu shortcuts take their keys before the focused control (Ctrl+C is
    // "Exit" even in an edit field).
    qApp->installEventFilter(new MenuShortcutFilter(this, bar, [this] { return inputEnabled_; }));
}

void TForm1::SetTabOrder() {
    // Source group (its field, button, list, then the pattern group), the
    // destination group, then the two buttons.
    QWidget* const order[] = {SourceDir,    SrcDirButton,   FileListBox1, CaseCheckBox,  PatternStr,
                              SelectButton, DeselectButton, DestDir,      DestDirButton, DirPerModule,
                              CheckBox1,    GoButton,       Exit};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TForm1::FormCreate() {
    std::error_code ec;
    const std::filesystem::path startDirectory = std::filesystem::current_path(ec);
    const int error = ec ? ec.value() : FileListBox1->SetDirectory(startDirectory.string());
    if (error != 0) {
        // The list cannot show where the program was started: the rest of
        // start-up is skipped and the status line stays empty.
        FaultReport(this, error);
        return;
    }
    Services services{files_, errors_, *StatusBar1};
    StatusBar1->SetPanel(0, "Ready.");
    ShowSelectedCount(FileListBox1->List(), *StatusBar1);
    ShowSamplesSaved(state_, services);
    ShowModsProcessed(state_, services);
}

void TForm1::GoButtonClick() {
    Services services{files_, errors_, *StatusBar1};
    const RunRequest request{DestDir->Path(), DirPerModule->isChecked()};
    ExtractSelected(state_, FileListBox1->List(), request, services);
}

void TForm1::ExitClick() { close(); }

void TForm1::SrcDirButtonClick() { emit DirectoryChooserRequested(false); }

void TForm1::SrcDirButton1Click() { SrcDirButtonClick(); }

void TForm1::DestDirButtonClick() { emit DirectoryChooserRequested(true); }

void TForm1::SelectButtonClick() {
    if (SelectByPattern(FileListBox1->List(), PatternStr->text().toStdString(), state_.MatchCase, errors_,
                        *StatusBar1))
        FileListBox1->ShowListSelection();
}

void TForm1::DeselectButtonClick() {
    if (DeselectByPattern(FileListBox1->List(), PatternStr->text().toStdString(), state_.MatchCase, errors_,
                          *StatusBar1))
        FileListBox1->ShowListSelection();
}

void TForm1::SelectAll1Click() {
    SelectAll(FileListBox1->List(), *StatusBar1);
    FileListBox1->ShowListSelection();
}

void TForm1::DeselectAll1Click() {
    DeselectAll(FileListBox1->List(), *StatusBar1);
    FileListBox1->ShowListSelection();
}

void TForm1::FileListBox1Click() { ShowSelectedCount(FileListBox1->List(), *StatusBar1); }

void TForm1::CaseCheckBoxClick() { state_.MatchCase = CaseCheckBox->isChecked(); }

void TForm1::SourceDirClick() { SourceDir->selectAll(); }
void TForm1::SourceDirEnter() { SourceDir->selectAll(); }
void TForm1::DestDirClick() { DestDir->selectAll(); }
void TForm1::DestDirEnter() { DestDir->selectAll(); }
void TForm1::PatternStrClick() { PatternStr->selectAll(); }
void TForm1::PatternStrEnter() { PatternStr->selectAll(); }

// Moving the focus selects the field's text; it is selected here too for
// when the field had the focus already, so that typing replaces the text.
void TForm1::EditSourceDirectory1Click() {
    SourceDir->setFocus(Qt::OtherFocusReason);
    SourceDir->selectAll();
}

void TForm1::EditDestinationDirectory1Click() {
    DestDir->setFocus(Qt::OtherFocusReason);
    DestDir->selectAll();
}

void TForm1::EditPattern1Click() {
    PatternStr->setFocus(Qt::OtherFocusReason);
    PatternStr->selectAll();
}

void TForm1::AboutVorneck1Click() { emit AboutBoxRequested(); }

std::string TForm1::SourceDirPath() const { return SourceDir->Path(); }
std::string TForm1::DestDirPath() const { return DestDir->Path(); }
void TForm1::SetSourceDirPath(const std::string& path) { SourceDir->SetPath(path); }
void TForm1::SetDestDirPath(const std::string& path) { DestDir->SetPath(path); }

int TForm1::SetFileListDirectory(const std::string& path) { return FileListBox1->SetDirectory(path); }

void TForm1::SetMainWindowEnabled(bool enabled) {
    // Not QWidget::setEnabled: that would grey every control, the menu and
    // the logo. The window is left as it looks and its input is dropped
    // instead (the chooser and the About window are application-modal as
    // well, so the window system keeps input away from this window too).
    inputEnabled_ = enabled;
    if (!enabled) return;
    // Once the window that disabled this one has gone, this one is the
    // active window again; its focus widget gets the focus back.
    QTimer::singleShot(0, this, [this] {
        if (inputEnabled_ && isVisible() && QApplication::activeModalWidget() == nullptr) activateWindow();
    });
}

namespace {

bool IsInputEvent(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::ToolTip:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (!IsInputEvent(e->type())) return QMainWindow::eventFilter(watched, e);
    const bool mine = watched == static_cast<QObject*>(windowHandle()) ||
                      (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this);
    if (!mine) return QMainWindow::eventFilter(watched, e);
    if (inputEnabled_) {
        if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
            const auto* key = static_cast<QKeyEvent*>(e);
            if (key->key() == Qt::Key_F10 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                ArmMenuBar();
                return true;
            }
        }
        return QMainWindow::eventFilter(watched, e);
    }
    // Accepting the shortcut override keeps the key from being tried as a
    // shortcut; the key itself is then dropped here too.
    e->accept();
    return true;
}

void TForm1::ArmMenuBar() {
    // F10 does what a lone Alt does: the menu bar takes the keyboard with
    // its first heading highlighted, or, when it has it already, gives it
    // back. Qt's menu bar does this on the release of an Alt key it saw go
    // down; it is given the events of just such a key stroke.
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(this, &override);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(this, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(this, &release);
}

void TForm1::closeEvent(QCloseEvent* e) {
    // A disabled window cannot be closed: not by the title bar's close
    // button nor by the window manager's keys.
    if (!inputEnabled_) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}

void TForm1::showEvent(QShowEvent* e) {
    if (!shown_ && !e->spontaneous()) {
        // Centred on the screen at the first showing only; afterwards the
        // window stays where it was left.
        shown_ = true;
        CentreOnScreen(this);
    }
    QMainWindow::showEvent(e);
}

}  // namespace vorneck
