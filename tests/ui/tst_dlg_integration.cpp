// SPDX-License-Identifier: MIT
// The main window with the directory chooser and the About window, joined
// as start-up joins them: every way of opening them, every way of closing
// them, and what Okay hands back to the main window.
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <functional>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "demo/module_builder.h"
#include "dlg_test_support.h"
#include "program_windows.h"
#include "ui/Main.h"
#include "ui/about.h"
#include "ui/controls.h"
#include "ui/dialog_wiring.h"
#include "ui/dir_unit.h"
#include "ui/directory_list.h"
#include "ui/file_list_box.h"
#include "ui/status_panels.h"

using vorneck::TForm1;

using Action = std::function<void(TForm1&, TForm2&)>;
Q_DECLARE_METATYPE(Action)

class TestDialogIntegration : public ProgramWindowsTest {
    Q_OBJECT

private:
    static void Touch(const QString& path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    QString ListDirectory() const { return QString::fromStdString(form1_->FileListBox1->Directory()); }

    // A click as the window system delivers it, at the centre of `widget`.
    static void ClickThroughWindow(QWidget* widget) {
        QWindow* window = widget->window()->windowHandle();
        QTest::mouseClick(window, Qt::LeftButton, {}, widget->mapTo(widget->window(), widget->rect().center()));
    }

    // While `dialog` is open the main window takes no keys, no clicks and
    // no close request, whether from the window manager or from Qt; the
    // dialog stays open throughout.
    void VerifyMainWindowTakesNoInput(QWidget* dialog) {
        QSignalSpy chooser(form1_.get(), &TForm1::DirectoryChooserRequested);
        QSignalSpy about(form1_.get(), &TForm1::AboutBoxRequested);
        const QString source = form1_->SourceDir->text();
        const QString status = form1_->StatusBar1->PanelText(3);
        QWindow* window = form1_->windowHandle();
        for (const QKeyCombination key : {Qt::CTRL | Qt::Key_L, Qt::CTRL | Qt::Key_S, Qt::CTRL | Qt::Key_C,
                                          QKeyCombination(Qt::Key_F1), Qt::ALT | Qt::Key_H, QKeyCombination(Qt::Key_X)})
            QTest::keyClick(window, key.key(), key.keyboardModifiers());
        for (QWidget* target : {static_cast<QWidget*>(form1_->SrcDirButton), static_cast<QWidget*>(form1_->Exit),
                                static_cast<QWidget*>(form1_->DestDirButton)})
            ClickThroughWindow(target);
        ClickThroughWindow(form1_->FileListBox1->viewport());
        QVERIFY(!window->close());
        QCloseEvent request;
        QApplication::sendEvent(form1_.get(), &request);
        QVERIFY(!request.isAccepted());
        QApplication::processEvents();

        QCOMPARE(chooser.size(), 0);
        QCOMPARE(about.size(), 0);
        QVERIFY(form1_->isVisible());
        QVERIFY(dialog->isVisible());
        QCOMPARE(form1_->SourceDir->text(), source);
        QCOMPARE(form1_->StatusBar1->PanelText(3), status);
    }

private slots:
    void initTestCase() {
        QVERIFY(work_.isValid());
        const QDir root(work_.path());
        QVERIFY(root.mkpath("start"));
        QVERIFY(root.mkpath("other/sub"));
        Touch(root.filePath("start/a.mod"));
        Touch(root.filePath("other/b.mod"));
        savedDirectory_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.filePath("start")));

        MakeWindows();
        QVERIFY(!form2_->isVisible());
        QVERIFY(!about_->isVisible());
        form1_->show();
        QVERIFY(ActivateMain());
    }

    void cleanupTestCase() { CloseWindows(); }

    void chooserOpensFromEveryOpenerAndClosesEveryWay_data() {
        QTest::addColumn<Action>("open");
        QTest::addColumn<bool>("forDest");
        QTest::addColumn<Action>("close");

        const std::vector<std::tuple<const char*, Action, bool>> openers = {
            {"source button", [](TForm1& f, TForm2&) { QTest::mouseClick(f.SrcDirButton, Qt::LeftButton); }, false},
            {"destination button", [](TForm1& f, TForm2&) { QTest::mouseClick(f.DestDirButton, Qt::LeftButton); },
             true},
            {"Ctrl+L", [](TForm1& f, TForm2&) { QTest::keyClick(f.SourceDir, Qt::Key_L, Qt::ControlModifier); },
             false},
            {"Ctrl+S", [](TForm1& f, TForm2&) { QTest::keyClick(f.DestDir, Qt::Key_S, Qt::ControlModifier); }, true},
            {"source menu item", [](TForm1& f, TForm2&) { f.Changesourcedirectory1->trigger(); }, false},
            {"destination menu item", [](TForm1& f, TForm2&) { f.ChangeDestinationDirectory1->trigger(); }, true},
        };
        const std::vector<std::pair<const char*, Action>> closers = {
            {"Okay", [](TForm1&, TForm2& c) { QTest::mouseClick(c.Button1, Qt::LeftButton); }},
            {"Cancel", [](TForm1&, TForm2& c) { QTest::mouseClick(c.Button2, Qt::LeftButton); }},
            {"window manager", [](TForm1&, TForm2& c) { c.close(); }},
        };
        for (const auto& [openName, open, forDest] : openers)
            for (const auto& [closeName, close] : closers)
                QTest::addRow("%s, %s", openName, closeName) << open << forDest << close;
    }

    void chooserOpensFromEveryOpenerAndClosesEveryWay() {
        QFETCH(Action, open);
        QFETCH(bool, forDest);
        QFETCH(Action, close);
        QVERIFY(ActivateMain());
        form1_->SetSourceDirPath(Bytes(ListDirectory()));
        form1_->SetDestDirPath(Bytes(work_.path()));

        open(*form1_, *form2_);
        QVERIFY(form2_->isVisible());
        QCOMPARE(state_.ChooserForDest, forDest);
        QCOMPARE(form2_->windowTitle(), forDest ? QString("Please select destination directory.")
                                                : QString("Please select source directory."));
        QCOMPARE(form2_->GroupBox1->title(), forDest ? QString("Destination Directory") : QString("Source Directory"));
        QCOMPARE(QString::fromStdString(form2_->DirectoryListBox1->Directory()),
                 forDest ? work_.path() : ListDirectory());

        // The disabled main window takes no input meanwhile.
        VerifyMainWindowTakesNoInput(form2_.get());
        QCOMPARE(state_.ChooserForDest, forDest);

        close(*form1_, *form2_);
        QVERIFY(!form2_->isVisible());
        // The main window takes input again: it is active, and its
        // shortcuts work.
        QTRY_COMPARE(QApplication::activeWindow(), form1_.get());
        QSignalSpy chooser(form1_.get(), &TForm1::DirectoryChooserRequested);
        QTest::keyClick(form1_->windowHandle(), Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(chooser.size(), 1);
        QTest::mouseClick(form2_->Button2, Qt::LeftButton);
    }

    void disabledMainWindowLooksUnchanged() {
        // Grabbed while inactive both times, so that only the disabling
        // could make a difference.
        QVERIFY(ActivateMain());
        form1_->SelectAll1->trigger();
        QWidget other;
        other.setWindowTitle(QStringLiteral("elsewhere"));
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        const QImage before = form1_->grab().toImage();

        for (int opener = 0; opener < 2; ++opener) {
            QWidget* dialog = opener == 0 ? static_cast<QWidget*>(about_.get()) : static_cast<QWidget*>(form2_.get());
            if (opener == 0)
                form1_->AboutVorneck1->trigger();
            else
                form1_->Changesourcedirectory1->trigger();
            QVERIFY(dialog->isVisible());
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            const QImage during = form1_->grab().toImage();
            QCOMPARE(during.size(), before.size());
            QVERIFY2(during == before, "the disabled main window looks different");
            dialog->close();
            QTRY_COMPARE(QApplication::activeWindow(), form1_.get());
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
    }

    void focusReturnsWhereItWas_data() {
        QTest::addColumn<bool>("about");
        QTest::addColumn<int>("closing");  // 0 the button, 1 its key, 2 the window manager
        for (const bool about : {false, true})
            for (int closing = 0; closing < 3; ++closing)
                QTest::addRow("%s, closing %d", about ? "About" : "chooser", closing) << about << closing;
    }

    void focusReturnsWhereItWas() {
        QFETCH(bool, about);
        QFETCH(int, closing);
        QVERIFY(ActivateMain());
        form1_->DestDir->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), form1_->DestDir);
        QWidget* dialog = about ? static_cast<QWidget*>(about_.get()) : static_cast<QWidget*>(form2_.get());
        QTest::keyClick(form1_->windowHandle(), about ? Qt::Key_H : Qt::Key_S,
                        about ? Qt::AltModifier : Qt::ControlModifier);
        if (about) QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_A);
        QVERIFY(dialog->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QPushButton* button = about ? about_->Button1 : form2_->Button2;
        switch (closing) {
            case 0:
                QTest::mouseClick(button, Qt::LeftButton);
                break;
            case 1:
                QTest::keyClick(dialog->windowHandle(), about ? Qt::Key_O : Qt::Key_C, Qt::AltModifier);
                break;
            default:
                QVERIFY(dialog->windowHandle()->close());
                break;
        }
        QTRY_VERIFY(!dialog->isVisible());  // a mnemonic presses its button a moment later
        QTRY_COMPARE(QApplication::activeWindow(), form1_.get());
        QCOMPARE(QApplication::focusWidget(), form1_->DestDir);
    }

    void okayHandsTheDirectoryToTheMainWindow() {
        const QString start = work_.path() + "/start";
        const QString other = work_.path() + "/other";
        QVERIFY(ActivateMain());
        form1_->SetSourceDirPath(Bytes(other));
        QTest::mouseClick(form1_->SrcDirButton, Qt::LeftButton);
        QTest::mouseClick(form2_->Button1, Qt::LeftButton);
        QCOMPARE(form1_->SourceDir->text(), other);
        QCOMPARE(ListDirectory(), other);
        QCOMPARE(form1_->FileListBox1->List().Names(), std::vector<std::string>({"b.mod"}));

        QVERIFY(ActivateMain());
        form1_->SetDestDirPath(Bytes(other));
        QTest::keyClick(form1_->DestDir, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(form2_->DirectoryListBox1, Qt::Key_Down);
        QTest::keyClick(form2_->DirectoryListBox1, Qt::Key_Return);
        QTest::mouseClick(form2_->Button1, Qt::LeftButton);
        QCOMPARE(form1_->DestDir->text(), other + "/sub");
        QCOMPARE(ListDirectory(), other);  // the destination leaves the list alone

        // A source directory that vanishes while the chooser is open.
        QVERIFY(ActivateMain());
        QVERIFY(QDir(work_.path()).mkpath("brief"));
        form1_->SetSourceDirPath(Bytes(work_.path() + "/brief"));
        QTest::mouseClick(form1_->SrcDirButton, Qt::LeftButton);
        QVERIFY(QDir(work_.path() + "/brief").removeRecursively());
        {
            BoxCatcher catcher;
            QTest::mouseClick(form2_->Button1, Qt::LeftButton);
            QCOMPARE(catcher.texts, QStringList({"File not found."}));
        }
        QVERIFY(form2_->isVisible());
        VerifyMainWindowTakesNoInput(form2_.get());
        QCOMPARE(form1_->SourceDir->text(), work_.path() + "/brief");
        QCOMPARE(ListDirectory(), other);
        QTest::mouseClick(form2_->Button2, Qt::LeftButton);
        QTRY_COMPARE(QApplication::activeWindow(), form1_.get());
        form1_->SetSourceDirPath(Bytes(start));
    }

    void pathsKeepTheirBytesFromChooserToRun() {
        // Folder and file names that are not UTF-8: every byte from 0x80 to
        // 0xFF, each standing alone where UTF-8 would need a sequence.
        const std::string root = Bytes(work_.path());
        std::string high;
        for (int byte = 0x80; byte <= 0xFF; ++byte) high += static_cast<char>(byte);
        const std::string source = root + "/d\xe9r";
        const std::string dest = root + "/out" + high;
        // QTemporaryDir removes by name as text: these it could not name.
        struct Remover {
            std::vector<std::string> paths;
            ~Remover() {
                for (const std::string& path : paths) {
                    std::error_code ec;
                    std::filesystem::remove_all(path, ec);
                }
            }
        } remover{{source, dest}};
        QCOMPARE(::mkdir(source.c_str(), 0700), 0);
        QCOMPARE(::mkdir(dest.c_str(), 0700), 0);
        vorneck::demo::ModRecipe recipe;
        recipe.samples = {{"a", vorneck::demo::Waveform(vorneck::demo::Wave::Sine, 64)},
                          {"b", vorneck::demo::Waveform(vorneck::demo::Wave::Saw, 32)}};
        const vorneck::demo::Bytes module = vorneck::demo::BuildMod(recipe);
        const std::string moduleName = "song\xa0.mod";
        {
            std::ofstream out(source + "/" + moduleName, std::ios::binary);
            out.write(reinterpret_cast<const char*>(module.data()), static_cast<std::streamsize>(module.size()));
            QVERIFY(out.good());
        }

        // Each chooser starts in the folder above and opens the folder by
        // keyboard, as shown in its list.
        auto choose = [this](bool forDest, const QString& shown) {
            QVERIFY(ActivateMain());
            QTest::keyClick(form1_->windowHandle(), forDest ? Qt::Key_S : Qt::Key_L, Qt::ControlModifier);
            QVERIFY(form2_->isVisible());
            vorneck::DirectoryListBox* list = form2_->DirectoryListBox1;
            for (int row = 0; row < list->LineCount() && list->LineText(list->HighlightedRow()) != shown; ++row)
                QTest::keyClick(list, Qt::Key_Down);
            QCOMPARE(list->LineText(list->HighlightedRow()), shown);
            QTest::keyClick(list, Qt::Key_Return);
            QTest::mouseClick(form2_->Button1, Qt::LeftButton);
            QVERIFY(!form2_->isVisible());
        };
        const QString replacement(QChar::ReplacementCharacter);
        form1_->SetSourceDirPath(root);
        form1_->SetDestDirPath(root);
        {
            BoxCatcher catcher;
            choose(false, "d" + replacement + "r");
            choose(true, "out" + QString(0x80, QChar::ReplacementCharacter));
            QCOMPARE(catcher.texts, QStringList());
        }
        // Shown as the list shows names, kept as the bytes they are.
        QCOMPARE(form1_->SourceDir->text(), work_.path() + "/d" + replacement + "r");
        QCOMPARE(form1_->SourceDirPath(), source);
        QCOMPARE(form1_->FileListBox1->Directory(), source);
        QCOMPARE(form1_->FileListBox1->List().Names(), std::vector<std::string>({moduleName}));
        QCOMPARE(form1_->DestDirPath(), dest);

        // Opened again, each chooser starts where its field says.
        for (const bool forDest : {false, true}) {
            QTest::keyClick(form1_->windowHandle(), forDest ? Qt::Key_S : Qt::Key_L, Qt::ControlModifier);
            QCOMPARE(form2_->DirectoryListBox1->Directory(), forDest ? dest : source);
            QTest::mouseClick(form2_->Button2, Qt::LeftButton);
            QVERIFY(ActivateMain());
        }

        // The run writes into the destination the field names.
        form1_->SelectAll1->trigger();
        {
            BoxCatcher catcher;
            QTest::mouseClick(form1_->GoButton, Qt::LeftButton);
            QCOMPARE(catcher.texts, QStringList());
        }
        for (const char* number : {"0_", "1_"}) {
            struct stat info {};
            QCOMPARE(::stat((dest + "/" + number + moduleName).c_str(), &info), 0);
            QVERIFY(info.st_size > 0);
        }

        // Edited and put back as it was, the field still names the folder;
        // a typed path is taken as the locale encodes it (UTF-8).
        QVERIFY(ActivateMain());
        form1_->DestDir->setFocus();
        form1_->DestDir->end(false);
        QTest::keyClick(form1_->DestDir, Qt::Key_X);
        QTest::keyClick(form1_->DestDir, Qt::Key_Backspace);
        QCOMPARE(form1_->DestDirPath(), dest);
        form1_->DestDir->selectAll();
        QTest::keyClicks(form1_->DestDir, work_.path() + "/d");
        QKeyEvent eAcute(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
        QApplication::sendEvent(form1_->DestDir, &eAcute);
        QTest::keyClick(form1_->DestDir, Qt::Key_R);
        QCOMPARE(form1_->DestDirPath(), root + "/d\xc3\xa9r");

        QVERIFY(QDir(work_.path() + "/start").exists());
        form1_->SetSourceDirPath(Bytes(work_.path() + "/start"));
        QCOMPARE(form1_->SetFileListDirectory(Bytes(work_.path() + "/start")), 0);
    }

    void aboutWindowDisablesTheMainWindowUntilClosed() {
        for (int closing = 0; closing < 2; ++closing) {
            QVERIFY(ActivateMain());
            form1_->AboutVorneck1->trigger();
            QVERIFY(about_->isVisible());
            VerifyMainWindowTakesNoInput(about_.get());
            if (closing == 0)
                QTest::mouseClick(about_->Button1, Qt::LeftButton);
            else
                QVERIFY(about_->windowHandle()->close());  // Alt+F4, a close button
            QVERIFY(!about_->isVisible());
            QTRY_COMPARE(QApplication::activeWindow(), form1_.get());
            QSignalSpy about(form1_.get(), &TForm1::AboutBoxRequested);
            QTest::keyClick(form1_->windowHandle(), Qt::Key_H, Qt::AltModifier);
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_A);
            QCOMPARE(about.size(), 1);
            about_->Button1Click();
        }
    }
};

QTEST_MAIN(TestDialogIntegration)
#include "tst_dlg_integration.moc"
