// SPDX-License-Identifier: MIT
// What the tests of the windows together share: the main window, the
// directory chooser and the About window, made and joined as start-up joins
// them, and a working directory of their own.
#pragma once

#include <QDir>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ui/Main.h"
#include "ui/about.h"
#include "ui/dialog_wiring.h"
#include "ui/dir_unit.h"

class ProgramWindowsTest : public QObject {
protected:
    QTemporaryDir work_;
    QString savedDirectory_;  // the working directory before the tests
    vorneck::ExtractionState state_;
    std::unique_ptr<vorneck::TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TAboutBox> about_;

    // Makes the three windows on a fresh state and joins them; none is shown.
    void MakeWindows() {
        state_.Reset();
        form1_ = std::make_unique<vorneck::TForm1>(state_);
        form2_ = std::make_unique<TForm2>(*form1_, state_);
        about_ = std::make_unique<TAboutBox>(*form1_);
        vorneck::ConnectDialogs(*form1_, *form2_, *about_);
    }

    // The user comes back to the main window.
    bool ActivateMain() {
        form1_->activateWindow();
        return QTest::qWaitForWindowActive(form1_.get());
    }

    // Closes the windows, the dialogs before the main window they belong
    // to, and goes back to the working directory of before the tests.
    void CloseWindows() {
        about_.reset();
        form2_.reset();
        form1_.reset();
        QDir::setCurrent(savedDirectory_);
    }
};
