// SPDX-License-Identifier: MIT
// Start-up: answers --help and --version without a display, says so in one
// line when there is no display to open, then resets the extraction state,
// creates the main window (and with it the file list of the start-up
// directory), then the directory chooser and the About window, and runs
// until the main window is closed.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <optional>

#include "app/startup.h"

#include "engine/extraction_state.h"
#include "engine/file_ops.h"
#include "ui/Main.h"
#include "ui/about.h"
#include "ui/desktop_windows.h"
#include "ui/dialog_wiring.h"
#include "ui/dir_unit.h"

int main(int argc, char** argv) {
    switch (vorneck::ReadArguments(argc, argv)) {
        case vorneck::StartRequest::Help:
            std::fputs(vorneck::UsageText().c_str(), stdout);
            return 0;
        case vorneck::StartRequest::Version:
            std::fputs(vorneck::VersionText().c_str(), stdout);
            return 0;
        case vorneck::StartRequest::Window:
            break;
    }

    std::optional<vorneck::DisplayGuard> displayGuard(std::in_place);
    QApplication app(argc, argv);
    displayGuard.reset();
    // The program sets no title of its own: its fault boxes are titled
    // with the program file's name. The desktop file name only lets the
    // desktop match the window to its launcher and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vorneck"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vorneck/icon16.png")));

    // A modal window minimised (with the main window) is restored at once.
    vorneck::MinimisedModalGuard minimisedModalGuard;
    app.installEventFilter(&minimisedModalGuard);

    // Interrupted during a run, the sample being written is removed.
    vorneck::InstallInterruptCleanup();

    static vorneck::ExtractionState state;
    state.Reset();

    vorneck::TForm1 Form1(state);
    // The directory chooser and the About window, hidden until asked for.
    TForm2 Form2(Form1, state);
    TAboutBox AboutBox(Form1);
    vorneck::ConnectDialogs(Form1, Form2, AboutBox);
    Form1.show();
    // The program starts as the active window, as it would from a desktop's
    // launcher; without a window manager nothing else would make it so.
    Form1.activateWindow();
    return QApplication::exec();
}
