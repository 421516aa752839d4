// SPDX-License-Identifier: MIT
// The directory chooser over a temporary tree whose directories stand in for
// mounted volumes, so nothing depends on the machine's own mounts.
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <memory>
#include <unistd.h>

#include "dlg_test_support.h"
#include "ui/dir_unit.h"
#include "ui/directory_list.h"
#include "ui/fault_report.h"

using vorneck::Volume;
using vorneck::VolumeKind;

class TestDirUnit : public QObject {
    Q_OBJECT

private:
    QTemporaryDir temp_;
    QString a_;        // a volume with mods/{new,old}, Music, .hidden
    QString b_;        // a second volume with x
    QString missing_;  // a volume whose root cannot be entered
    std::vector<Volume> volumes_;
    FakeHost host_;
    vorneck::ExtractionState state_;
    std::unique_ptr<TForm2> form_;

    QStringList Lines() const {
        QStringList lines;
        for (int row = 0; row < form_->DirectoryListBox1->LineCount(); ++row)
            lines << form_->DirectoryListBox1->LineText(row);
        return lines;
    }
    QString Directory() const { return QString::fromStdString(form_->DirectoryListBox1->Directory()); }
    int RowOf(const QString& text) const { return Lines().indexOf(text); }
    void ClickRow(int row, bool twice = false) {
        vorneck::DirectoryListBox* list = form_->DirectoryListBox1;
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        const QPoint point = list->visualRect(index).topLeft() + QPoint(2 + list->LineLevel(row) * 8 + 20, 8);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, point);
        if (twice) {
            // A double click as the window system delivers it: a press that
            // is the second of a pair, then the release.
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, point);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, point);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, point);
        }
    }
    void Press(QWidget* widget, Qt::Key key) { QTest::keyClick(widget, key); }
    // The next control the Tab key reaches.
    static QWidget* NextTabStop(QWidget* widget) {
        QWidget* next = widget->nextInFocusChain();
        while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
        return next;
    }

private slots:
    void initTestCase() {
        QVERIFY(temp_.isValid());
        const QDir root(temp_.path());
        for (const char* path : {"A/mods/new", "A/mods/old", "A/Music", "A/.hidden", "B/x"}) QVERIFY(root.mkpath(path));
        a_ = root.filePath("A");
        b_ = root.filePath("B");
        missing_ = root.filePath("C");
        volumes_ = {
            {"/", VolumeKind::Fixed, "/ []"},
            {a_.toStdString(), VolumeKind::Fixed, a_.toStdString() + " [alpha]"},
            {b_.toStdString(), VolumeKind::Removable, b_.toStdString()},
            {missing_.toStdString(), VolumeKind::Network, missing_.toStdString() + " server:/gone"},
        };
    }

    void init() {
        host_ = FakeHost{};
        host_.source = Bytes(a_ + "/mods");
        host_.dest = Bytes(b_);
        state_.Reset();
        form_ = std::make_unique<TForm2>(host_, state_, [this] { return volumes_; });
    }

    void cleanup() { form_.reset(); }

    void layoutFollowsTheWindowTable() {
        QCOMPARE(form_->size(), QSize(290, 172));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        QCOMPARE(form_->windowTitle(), QString("Please choose source directory"));
        // No title-bar buttons of its own: the window manager is asked for
        // a title and a close function only, without minimise or maximise.
        const Qt::WindowFlags flags = form_->windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(form_->GroupBox1->geometry(), QRect(8, 8, 273, 153));
        QCOMPARE(form_->GroupBox1->title(), QString("Source Directory"));
        QCOMPARE(form_->DriveComboBox1->parentWidget(), form_->GroupBox1);
        QCOMPARE(form_->DriveComboBox1->geometry(), QRect(16, 16, 145, 19));
        QCOMPARE(form_->DirectoryListBox1->parentWidget(), form_.get());
        QCOMPARE(form_->DirectoryListBox1->geometry(), QRect(24, 48, 145, 97));
        QCOMPARE(form_->Button1->parentWidget(), form_.get());
        QCOMPARE(form_->Button1->geometry(), QRect(184, 88, 75, 25));
        QCOMPARE(form_->Button1->text(), QString("&Okay"));
        QCOMPARE(form_->Button2->geometry(), QRect(184, 120, 75, 25));
        QCOMPARE(form_->Button2->text(), QString("&Cancel"));
        QVERIFY(!form_->Button1->isDefault() && !form_->Button2->isDefault());
        // Tab order: list, Okay, Cancel, then the drive list in the group.
        QCOMPARE(NextTabStop(form_->DirectoryListBox1), form_->Button1);
        QCOMPARE(NextTabStop(form_->Button1), form_->Button2);
        QCOMPARE(NextTabStop(form_->Button2), form_->DriveComboBox1);
        QCOMPARE(NextTabStop(form_->DriveComboBox1), form_->DirectoryListBox1);
    }

    void driveListOpensBelowItsBox() {
        form_->Open(false);
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QComboBox* drives = form_->DriveComboBox1;
        drives->showPopup();
        QWidget* popup = drives->view()->window();
        QVERIFY(popup->isVisible());
        // Its top row may share the box's bottom row, no more.
        const int boxBottom = drives->mapToGlobal(QPoint(0, drives->height() - 1)).y();
        QVERIFY2(popup->geometry().top() >= boxBottom,
                 qPrintable(QStringLiteral("%1 < %2").arg(popup->geometry().top()).arg(boxBottom)));
        drives->hidePopup();
        form_->Button2Click();
    }

    void opensForSourceAndDestination() {
        form_->Open(false);
        QVERIFY(form_->isVisible());
        QVERIFY(!host_.enabled);
        QVERIFY(!state_.ChooserForDest);
        QCOMPARE(form_->windowTitle(), QString("Please select source directory."));
        QCOMPARE(form_->GroupBox1->title(), QString("Source Directory"));
        QCOMPARE(form_->DriveComboBox1->currentText(), a_ + " [alpha]");
        QCOMPARE(Directory(), a_ + "/mods");
        QCOMPARE(Lines(), QStringList({a_, "mods", "new", "old"}));
        QCOMPARE(form_->DirectoryListBox1->HighlightedRow(), 1);
        QCOMPARE(form_->focusWidget(), form_->DirectoryListBox1);

        form_->Button2Click();
        QVERIFY(!form_->isVisible());
        QVERIFY(host_.enabled);
        QCOMPARE(host_.source, Bytes(a_ + "/mods"));
        QVERIFY(host_.fileListCalls.empty());

        host_.dest = Bytes(a_ + "/mods/old/");
        form_->Open(true);
        QVERIFY(state_.ChooserForDest);
        QVERIFY(!host_.enabled);
        QCOMPARE(form_->windowTitle(), QString("Please select destination directory."));
        QCOMPARE(form_->GroupBox1->title(), QString("Destination Directory"));
        QCOMPARE(Directory(), a_ + "/mods/old");
        QCOMPARE(Lines(), QStringList({a_, "mods", "old"}));
        form_->Button2Click();
        QCOMPARE(host_.dest, Bytes(a_ + "/mods/old/"));
        QVERIFY(host_.enabled);
    }

    void okayTakesTheDirectoryLastOpenedNotTheHighlightedOne() {
        form_->Open(false);
        ClickRow(RowOf("old"));
        QCOMPARE(form_->DirectoryListBox1->HighlightedRow(), RowOf("old"));
        QCOMPARE(Directory(), a_ + "/mods");
        form_->Button1->click();
        QVERIFY(!form_->isVisible());
        QVERIFY(host_.enabled);
        QCOMPARE(host_.source, Bytes(a_ + "/mods"));
        QCOMPARE(host_.fileListCalls, std::vector<std::string>({Bytes(a_ + "/mods")}));

        // The destination: Enter opens the highlighted line first.
        host_.dest = Bytes(a_ + "/mods");
        form_->Open(true);
        ClickRow(RowOf("old"));
        Press(form_->DirectoryListBox1, Qt::Key_Return);
        QVERIFY(form_->isVisible());  // Enter in the list does not press Okay
        QCOMPARE(Directory(), a_ + "/mods/old");
        form_->Button1->click();
        QCOMPARE(host_.dest, Bytes(a_ + "/mods/old"));
        QCOMPARE(host_.fileListCalls.size(), std::size_t(1));
        QVERIFY(host_.enabled);
    }

    void keyboardAndDoubleClickNavigation() {
        form_->Open(false);
        vorneck::DirectoryListBox* list = form_->DirectoryListBox1;
        // Down to "new", open it; up to the root line, open it.
        Press(list, Qt::Key_Down);
        Press(list, Qt::Key_Return);
        QCOMPARE(Directory(), a_ + "/mods/new");
        Press(list, Qt::Key_Home);
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(Directory(), a_);
        QCOMPARE(Lines(), QStringList({a_, "mods", "Music"}));  // hidden left out
        QCOMPARE(list->HighlightedRow(), 0);
        ClickRow(RowOf("Music"), true);
        QCOMPARE(Directory(), a_ + "/Music");
        // Tab to Okay; Enter presses the focused button.
        Press(list, Qt::Key_Tab);
        QCOMPARE(form_->focusWidget(), form_->Button1);
        Press(form_->Button1, Qt::Key_Return);
        QVERIFY(!form_->isVisible());
        QCOMPARE(host_.source, Bytes(a_ + "/Music"));
    }

    void emptyAndRelativeTextsUseTheCurrentDirectory() {
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(a_ + "/mods"));
        host_.source = "";
        form_->Open(false);
        QCOMPARE(Directory(), a_ + "/mods");
        form_->Button2Click();
        host_.source = "old/../new";
        form_->Open(false);
        QCOMPARE(Directory(), a_ + "/mods/new");
        form_->Button2Click();
        QVERIFY(QDir::setCurrent(saved));
    }

    void unenterableTextIsAFaultAndTheChooserStaysUsable() {
        host_.source = Bytes(b_ + "/x");
        form_->Open(false);
        QCOMPARE(Directory(), b_ + "/x");
        form_->Button2Click();

        {
            BoxCatcher catcher;
            host_.source = Bytes(a_ + "/nowhere");
            form_->Open(false);
            QCOMPARE(catcher.texts, QStringList({"File not found."}));
            QCOMPARE(catcher.titles, QStringList({vorneck::ProgramTitle()}));
        }
        QVERIFY(form_->isVisible());
        QVERIFY(!host_.enabled);
        // The drive moved to the text's volume, then the path failed.
        QCOMPARE(form_->DriveComboBox1->currentText(), a_ + " [alpha]");
        QCOMPARE(Directory(), a_);
        Press(form_->DirectoryListBox1, Qt::Key_Down);
        Press(form_->DirectoryListBox1, Qt::Key_Return);
        QCOMPARE(Directory(), a_ + "/mods");
        form_->Button2Click();

        QFile file(a_ + "/mods/notadir");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        BoxCatcher catcher;
        host_.source = Bytes(a_ + "/mods/notadir");
        form_->Open(false);
        QCOMPARE(catcher.texts, QStringList({"Invalid filename."}));
        QVERIFY(form_->isVisible());
        form_->Button2Click();
        QVERIFY(host_.enabled);
        QVERIFY(file.remove());
    }

    void vanishedDirectoriesAreFaults() {
        QVERIFY(QDir(a_).mkpath("gone/soon"));
        host_.source = Bytes(a_ + "/gone");
        form_->Open(false);
        QVERIFY(QDir(a_ + "/gone/soon").removeRecursively());
        {
            // Opening a sub-directory that vanished leaves the list as it was.
            BoxCatcher catcher;
            Press(form_->DirectoryListBox1, Qt::Key_Down);
            Press(form_->DirectoryListBox1, Qt::Key_Return);
            QCOMPARE(catcher.texts, QStringList({"File not found."}));
            QCOMPARE(Directory(), a_ + "/gone");
            QCOMPARE(Lines(), QStringList({a_, "gone", "soon"}));
        }
        {
            // Okay on a source the main window cannot read: the field shows
            // the new text, the chooser stays open until Cancel.
            BoxCatcher catcher;
            host_.fileListError = ENOENT;
            form_->Button1->click();
            QCOMPARE(catcher.texts, QStringList({"File not found."}));
        }
        QVERIFY(form_->isVisible());
        QVERIFY(!host_.enabled);
        QCOMPARE(host_.source, Bytes(a_ + "/gone"));
        QVERIFY(host_.fileListDirectory.empty());
        form_->Button2->click();
        QVERIFY(!form_->isVisible());
        QVERIFY(host_.enabled);
        QVERIFY(QDir(a_ + "/gone").removeRecursively());
    }

    void unreadableDirectoriesAreFaults() {
        if (::geteuid() == 0) QSKIP("permissions do not bind root");
        QVERIFY(QDir(a_).mkpath("locked"));
        QVERIFY(QFile::setPermissions(a_ + "/locked", QFileDevice::WriteOwner));
        host_.source = Bytes(a_);
        form_->Open(false);
        {
            BoxCatcher catcher;
            form_->DirectoryListBox1->setCurrentIndex(form_->DirectoryListBox1->model()->index(RowOf("locked"), 0));
            Press(form_->DirectoryListBox1, Qt::Key_Return);
            QCOMPARE(catcher.texts, QStringList({"File access denied."}));
        }
        QCOMPARE(Directory(), a_);
        form_->Button2Click();
        QVERIFY(QFile::setPermissions(a_ + "/locked", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner));
        QVERIFY(QDir(a_ + "/locked").removeRecursively());
    }

    void driveListMovesTheDirectoryList() {
        form_->Open(false);
        QComboBox* drives = form_->DriveComboBox1;
        QCOMPARE(drives->count(), 4);
        QCOMPARE(drives->itemText(0), QString("/ []"));
        QCOMPARE(drives->itemText(2), b_);
        for (int i = 0; i < drives->count(); ++i) QVERIFY(!drives->itemIcon(i).isNull());

        // Picking another drive (with the keyboard) moves the list to its root.
        QTest::keyClick(drives, Qt::Key_Down);
        QCOMPARE(drives->currentIndex(), 2);
        QCOMPARE(Directory(), b_);
        QCOMPARE(Lines(), QStringList({b_, "x"}));

        // A drive that cannot be entered: the drive list shows it, the
        // directory list stays, and Okay takes the old directory.
        {
            BoxCatcher catcher;
            QTest::keyClick(drives, Qt::Key_Down);
            QCOMPARE(catcher.texts, QStringList({"File not found."}));
        }
        QCOMPARE(drives->currentIndex(), 3);
        QCOMPARE(Directory(), b_);
        form_->Button1->click();
        QCOMPARE(host_.source, Bytes(b_));

        // Volumes mounted meanwhile show up at the next opening.
        QVERIFY(QDir(temp_.path()).mkpath("D"));
        volumes_.push_back({(temp_.path() + "/D").toStdString(), VolumeKind::CdRom, "d"});
        host_.source = Bytes(temp_.path() + "/D");
        form_->Open(false);
        QCOMPARE(drives->count(), 5);
        QCOMPARE(drives->currentIndex(), 4);
        QCOMPARE(Directory(), temp_.path() + "/D");
        form_->Button2Click();
        volumes_.pop_back();
    }

    void deepTreesOpenWholeAndShowTheCurrentLine() {
        QString deep = a_ + "/deep";
        for (int level = 0; level < 50; ++level) deep += QString("/level-%1").arg(level, 2, 10, QChar('0'));
        QVERIFY(QDir().mkpath(deep));
        QVERIFY(deep.size() > 400);  // no cut at 200 characters
        host_.dest = Bytes(deep);
        form_->Open(true);
        QCOMPARE(Directory(), deep);
        vorneck::DirectoryListBox* list = form_->DirectoryListBox1;
        QCOMPARE(list->LineCount(), 1 + 51);
        QCOMPARE(list->HighlightedRow(), 51);
        const QRect current = list->visualRect(list->model()->index(51, 0));
        QVERIFY(list->viewport()->rect().intersects(current));
        // Scrolled sideways so that the current line's own text shows.
        const int textStart = current.left() + 51 * vorneck::DirectoryListBox::kIndent;
        QVERIFY(textStart >= 0);
        QVERIFY(textStart + 2 * vorneck::DirectoryListBox::kItemHeight < list->viewport()->width());
        form_->Button1->click();
        QCOMPARE(host_.dest, Bytes(deep));
        QVERIFY(QDir(a_ + "/deep").removeRecursively());
    }

    void closingByOtherMeansEnablesTheMainWindowAndPlaceIsKept() {
        form_->Open(false);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY((form_->frameGeometry().center() - screen.center()).manhattanLength() <= 6);
        form_->move(12, 34);
        QVERIFY(form_->close());  // a close button the window manager adds, Alt+F4
        QVERIFY(host_.enabled);
        QVERIFY(!form_->isVisible());
        form_->Open(true);
        QCOMPARE(form_->pos(), QPoint(12, 34));
        QVERIFY(!host_.enabled);
        form_->close();
        QVERIFY(host_.enabled);
    }

    void systemVolumesReachATemporaryDirectory() {
        TForm2 form(host_, state_);
        host_.source = Bytes(temp_.path());
        form.Open(false);
        QCOMPARE(QString::fromStdString(form.DirectoryListBox1->Directory()), temp_.path());
        QCOMPARE(QString::fromStdString(form.Volumes().front().mountPath), QString("/"));
        form.Button2Click();
    }
};

QTEST_MAIN(TestDirUnit)
#include "tst_dir_unit.moc"
