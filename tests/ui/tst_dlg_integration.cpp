// The main window with the directory chooser and the About window, joined
// as start-up joins them: every way of opening them, every way of closing
// them, and what Okay hands back to the main window.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "dlg_test_support.h"
#include "ui/Main.h"
#include "ui/about.h"
#include "ui/controls.h"
#include "ui/dialog_wiring.h"
#include "ui/dir_unit.h"
#include "ui/directory_list.h"
#include "ui/file_list_box.h"

using vorneck::TForm1;

using Action = std::function<void(TForm1&, TForm2&)>;
Q_DECLARE_METATYPE(Action)

class TestDialogIntegration : public QObject {
    Q_OBJECT

private:
    QTemporaryDir work_;
    QString savedDirectory_;
    vorneck::ExtractionState state_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TAboutBox> about_;

    static void Touch(const QString& path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    // The user comes back to the main window.
    bool ActivateMain() {
        form1_->activateWindow();
        return QTest::qWaitForWindowActive(form1_.get());
    }

    QString ListDirectory() const { return QString::fromStdString(form1_->FileListBox1->Directory()); }

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

        state_.Reset();
        form1_ = std::make_unique<TForm1>(state_);
        form2_ = std::make_unique<TForm2>(*form1_, state_);
        about_ = std::make_unique<TAboutBox>(*form1_);
        vorneck::ConnectDialogs(*form1_, *form2_, *about_);
        QVERIFY(!form2_->isVisible());
        QVERIFY(!about_->isVisible());
        form1_->show();
        QVERIFY(ActivateMain());
    }

    void cleanupTestCase() {
        about_.reset();
        form2_.reset();
        form1_.reset();
        QDir::setCurrent(savedDirectory_);
    }

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
        form1_->SetSourceDirText(ListDirectory());
        form1_->SetDestDirText(work_.path());

        open(*form1_, *form2_);
        QVERIFY(form2_->isVisible());
        QVERIFY(!form1_->isEnabled());
        QCOMPARE(state_.ChooserForDest, forDest);
        QCOMPARE(form2_->windowTitle(), forDest ? QString("Please select destination directory.")
                                                : QString("Please select source directory."));
        QCOMPARE(form2_->GroupBox1->title(), forDest ? QString("Destination Directory") : QString("Source Directory"));
        QCOMPARE(QString::fromStdString(form2_->DirectoryListBox1->Directory()),
                 forDest ? work_.path() : ListDirectory());

        // The disabled main window takes no shortcuts meanwhile.
        QTest::keyClick(form1_->SourceDir, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(state_.ChooserForDest, forDest);

        close(*form1_, *form2_);
        QVERIFY(!form2_->isVisible());
        QVERIFY(form1_->isEnabled());
    }

    void okayHandsTheDirectoryToTheMainWindow() {
        const QString start = work_.path() + "/start";
        const QString other = work_.path() + "/other";
        QVERIFY(ActivateMain());
        form1_->SetSourceDirText(other);
        QTest::mouseClick(form1_->SrcDirButton, Qt::LeftButton);
        QTest::mouseClick(form2_->Button1, Qt::LeftButton);
        QCOMPARE(form1_->SourceDirText(), other);
        QCOMPARE(ListDirectory(), other);
        QCOMPARE(form1_->FileListBox1->List().Names(), std::vector<std::string>({"b.mod"}));

        QVERIFY(ActivateMain());
        form1_->SetDestDirText(other);
        QTest::keyClick(form1_->DestDir, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(form2_->DirectoryListBox1, Qt::Key_Down);
        QTest::keyClick(form2_->DirectoryListBox1, Qt::Key_Return);
        QTest::mouseClick(form2_->Button1, Qt::LeftButton);
        QCOMPARE(form1_->DestDirText(), other + "/sub");
        QCOMPARE(ListDirectory(), other);  // the destination leaves the list alone

        // A source directory that vanishes while the chooser is open.
        QVERIFY(ActivateMain());
        QVERIFY(QDir(work_.path()).mkpath("brief"));
        form1_->SetSourceDirText(work_.path() + "/brief");
        QTest::mouseClick(form1_->SrcDirButton, Qt::LeftButton);
        QVERIFY(QDir(work_.path() + "/brief").removeRecursively());
        {
            BoxCatcher catcher;
            QTest::mouseClick(form2_->Button1, Qt::LeftButton);
            QCOMPARE(catcher.texts, QStringList({"File not found."}));
        }
        QVERIFY(form2_->isVisible());
        QVERIFY(!form1_->isEnabled());
        QCOMPARE(form1_->SourceDirText(), work_.path() + "/brief");
        QCOMPARE(ListDirectory(), other);
        QTest::mouseClick(form2_->Button2, Qt::LeftButton);
        QVERIFY(form1_->isEnabled());
        form1_->SetSourceDirText(start);
    }

    void aboutWindowDisablesTheMainWindowUntilClosed() {
        QVERIFY(ActivateMain());
        form1_->AboutVorneck1->trigger();
        QVERIFY(about_->isVisible());
        QVERIFY(!form1_->isEnabled());
        QTest::mouseClick(about_->Button1, Qt::LeftButton);
        QVERIFY(!about_->isVisible());
        QVERIFY(form1_->isEnabled());

        QVERIFY(ActivateMain());
        form1_->AboutVorneck1->trigger();
        QVERIFY(!form1_->isEnabled());
        QVERIFY(about_->close());
        QVERIFY(form1_->isEnabled());
    }
};

QTEST_MAIN(TestDialogIntegration)
#include "tst_dlg_integration.moc"
