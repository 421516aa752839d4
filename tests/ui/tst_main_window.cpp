// SPDX-License-Identifier: MIT
// The main window: its layout, menu and keyboard, the status line, the
// error boxes, the file list's listing rules, and the run and the selection
// commands as reached from its buttons and menu.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "demo/module_builder.h"
#include "ui/Main.h"
#include "ui/controls.h"
#include "ui/error_report.h"
#include "ui/fault_report.h"
#include "ui/file_list_box.h"
#include "ui/status_panels.h"
#include "ui/window_font.h"

using vorneck::TForm1;

namespace {

struct Box {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Answers the modal boxes that come up while it lives, with Enter (or Esc),
// sent to the widget that has the box's focus, as a user would.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(int key = Qt::Key_Return) : key_(key) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible() || box == last_) return;
            last_ = box;
            Box seen;
            seen.title = box->windowTitle();
            auto* stop = qobject_cast<vorneck::StopBox*>(box);
            seen.text = stop != nullptr ? stop->MessageText() : box->text();
            seen.icon = box->icon();
            for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
            boxes.push_back(seen);
            if (inspect) inspect(box);
            QWidget* target = box->focusWidget() != nullptr ? box->focusWidget() : box;
            QTest::keyClick(target, static_cast<Qt::Key>(key_));
        });
        timer_.start();
    }

    std::vector<Box> boxes;
    std::function<void(QMessageBox*)> inspect;

private:
    QTimer timer_;
    int key_;
    QPointer<QMessageBox> last_;
};

void Touch(const QString& path, const QByteArray& bytes = QByteArray()) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

void WriteBytes(const QString& path, const vorneck::demo::Bytes& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

QStringList Entries(const vorneck::FileListBox* list) {
    QStringList names;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        names << list->model()->index(row, 0).data().toString();
    return names;
}

// Rows selected in the view, read from its ranges.
QList<int> ViewSelection(const vorneck::FileListBox* list) {
    QList<int> rows;
    for (const QItemSelectionRange& range : list->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) rows << row;
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<int> ListSelection(const vorneck::FileListBox* list) {
    QList<int> rows;
    for (std::uint64_t i = 0; i < list->List().EntryCount(); ++i)
        if (list->List().IsSelected(i)) rows << static_cast<int>(i);
    return rows;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<QTemporaryDir> work_;
    vorneck::ExtractionState state_;
    std::unique_ptr<TForm1> form_;
    QString startDirectory_;

    // A window started in `directory`, shown and active.
    TForm1* Start(const QString& directory) {
        QDir::setCurrent(directory);
        state_.Reset();
        form_ = std::make_unique<TForm1>(state_);
        form_->show();
        form_->activateWindow();
        if (!QTest::qWaitForWindowActive(form_.get())) return nullptr;
        return form_.get();
    }

    QString Panel(int i) const { return form_->StatusBar1->PanelText(i); }

private slots:
    void initTestCase() {
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(home_->isValid());
        qputenv("HOME", QFile::encodeName(home_->path()));
        startDirectory_ = QDir::currentPath();
    }

    void init() {
        work_ = std::make_unique<QTemporaryDir>();
        QVERIFY(work_->isValid());
    }

    void cleanup() {
        form_.reset();
        QDir::setCurrent(startDirectory_);
        // By bytes: QTemporaryDir cannot name files whose names are not UTF-8.
        std::error_code ec;
        std::filesystem::remove_all(QFile::encodeName(work_->path()).toStdString(), ec);
        work_.reset();
    }

    void layoutMatchesTheTable() {
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        QCOMPARE(f->objectName(), QStringLiteral("Form1"));
        QCOMPARE(f->windowTitle(), QStringLiteral("Vorneck V2.00"));
        QCOMPARE(f->centralWidget()->size(), QSize(527, 280));
        QCOMPARE(f->centralWidget()->geometry().top(), f->menuBar()->geometry().bottom() + 1);
        QCOMPARE(f->size(), QSize(527, f->menuBar()->height() + 280));
        QCOMPARE(f->minimumSize(), f->maximumSize());  // cannot be resized
        // A title bar with the system menu, minimise and maximise buttons.
        QCOMPARE(f->windowFlags() & Qt::WindowType_Mask, Qt::Window);
        QVERIFY(f->windowFlags().testFlags(Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint));
        QVERIFY(!f->windowIcon().isNull());
        // Centred on the screen at the first showing, where it was left afterwards.
        const QRect screen = f->screen()->availableGeometry();
        QVERIFY(qAbs(f->frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(f->frameGeometry().center().y() - screen.center().y()) <= 1);
        f->move(f->pos() + QPoint(30, 20));
        const QPoint moved = f->pos();
        f->hide();
        f->show();
        QCOMPARE(f->pos(), moved);
        if (vorneck::HaveMsSansSerif()) {
            QCOMPARE(QFontInfo(f->font()).family(), QStringLiteral("MS Sans Serif"));
            QCOMPARE(QFontMetrics(f->font()).ascent(), 11);
        }

        struct Row {
            const char* name;
            const char* parent;
            QRect geometry;
            const char* text;
        };
        const Row rows[] = {
            {"SrcGroup", "client", {8, 8, 402, 185}, "Source"},
            {"SourceDir", "SrcGroup", {8, 16, 177, 21}, nullptr},
            {"SrcDirButton", "SrcGroup", {200, 16, 75, 25}, "Directory.."},
            {"FileListBox1", "SrcGroup", {8, 48, 266, 129}, nullptr},
            {"MatchGroup", "SrcGroup", {288, 8, 106, 169}, "Pattern Matching"},
            {"CaseCheckBox", "MatchGroup", {16, 24, 82, 18}, "Match &Case"},
            {"PatternStr", "MatchGroup", {16, 56, 74, 21}, "*.*"},
            {"SelectButton", "MatchGroup", {16, 96, 76, 26}, "Select"},
            {"DeselectButton", "MatchGroup", {16, 128, 76, 26}, "Deselect"},
            {"DestGroup", "client", {8, 192, 402, 57}, "Destination"},
            {"DestDir", "DestGroup", {8, 16, 177, 21}, nullptr},
            {"DestDirButton", "DestGroup", {200, 16, 74, 26}, "Directory.."},
            {"DirPerModule", "DestGroup", {304, 16, 89, 18}, "Dir Per &Mod"},
            {"CheckBox1", "DestGroup", {304, 32, 89, 17}, "Save as WAV"},
            {"GoButton", "client", {424, 192, 98, 26}, "Vor&neck!"},
            {"Exit", "client", {424, 224, 98, 26}, "E&xit"},
            {"Image1", "client", {424, 16, 97, 169}, nullptr},
            {"GroupBox4", "client", {0, -8, 529, 10}, ""},
            {"StatusBar1", "client", {0, 260, 527, 20}, nullptr},
        };
        for (const Row& row : rows) {
            auto* widget = f->findChild<QWidget*>(QLatin1String(row.name));
            QVERIFY2(widget, row.name);
            QCOMPARE(widget->parentWidget()->objectName(), QLatin1String(row.parent));
            QCOMPARE(widget->geometry(), row.geometry);
            if (row.text == nullptr) continue;
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                QCOMPARE(button->text(), QLatin1String(row.text));
            else if (auto* group = qobject_cast<QGroupBox*>(widget))
                QCOMPARE(group->title(), QLatin1String(row.text));
            else if (auto* edit = qobject_cast<QLineEdit*>(widget))
                QCOMPARE(edit->text(), QLatin1String(row.text));
        }

        // Starting states.
        QVERIFY(!f->CaseCheckBox->isChecked());
        QVERIFY(!f->DirPerModule->isChecked());
        QVERIFY(!f->CheckBox1->isChecked());
        QVERIFY(!f->CheckBox1->isEnabled());
        QCOMPARE(f->Image1->pixmap().size(), QSize(97, 169));
        QCOMPARE(f->FileListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(f->FileListBox1->itemDelegate()->sizeHint(QStyleOptionViewItem(), QModelIndex()).height(), 13);
        for (auto* button : f->findChildren<QPushButton*>()) {
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }

        // The status panels: 180, 115 and 115 pixels, the fourth to the end.
        const int lefts[] = {0, 180, 295, 410};
        for (int i = 0; i < 4; ++i) {
            const QRect r = f->StatusBar1->Panel(i)->geometry();
            QCOMPARE(r.left(), lefts[i]);
            if (i < 3)
                QVERIFY(r.right() < lefts[i + 1] && r.right() >= lefts[i + 1] - 3);
            else
                QCOMPARE(r.right(), 526);
        }
    }

    void tabOrderFollowsTheTable() {
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        const QList<QWidget*> expected = {f->SourceDir,     f->SrcDirButton, f->FileListBox1,  f->CaseCheckBox,
                                          f->PatternStr,    f->SelectButton, f->DeselectButton, f->DestDir,
                                          f->DestDirButton, f->DirPerModule, f->GoButton,       f->Exit};
        QCOMPARE(QApplication::focusWidget(), f->SourceDir);
        QVERIFY(f->SourceDir->hasSelectedText());
        QCOMPARE(f->SourceDir->selectedText(), f->SourceDir->text());
        for (int i = 1; i <= expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected[i % expected.size()]);
        }
    }

    void menuMatchesTheTable() {
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        const QList<QAction*> headings = f->menuBar()->actions();
        QCOMPARE(headings.size(), 4);
        QCOMPARE(headings[0]->text(), QStringLiteral("&File"));
        QCOMPARE(headings[1]->text(), QStringLiteral("&Select"));
        QCOMPARE(headings[2]->text(), QStringLiteral("Vornec&k"));
        QCOMPARE(headings[3]->text(), QStringLiteral("&Help"));

        auto items = [](QMenu* menu) {
            QStringList out;
            for (QAction* a : menu->actions())
                out << (a->isSeparator() ? QStringLiteral("-") : a->text() + QLatin1Char('|') + a->shortcut().toString());
            return out;
        };
        QCOMPARE(items(f->File1), (QStringList{"&Edit Source Directory.. |", "Ed&it Destination Directory..|", "-",
                                               "Change &Source Directory..|Ctrl+L",
                                               "Change &Destination Directory..|Ctrl+S", "-", "E&xit|Ctrl+C"}));
        QCOMPARE(items(f->Select1), (QStringList{"Select &All|", "D&eselect All|", "-", "&Edit Pattern|",
                                                 "Pattern &Select|", "Pattern &Deselect|"}));
        QCOMPARE(items(f->Vorneck1), QStringList{"E&xtract Samples|"});
        QCOMPARE(items(f->Help1), QStringList{"&About Vorneck|"});
        QCOMPARE(f->Help1->menuAction()->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(f->N1->objectName(), QStringLiteral("N1"));
        QCOMPARE(f->N2->objectName(), QStringLiteral("N2"));
        QCOMPARE(f->N3->objectName(), QStringLiteral("N3"));
    }

    void menuBarArmsFromTheKeyboard() {
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QMenuBar* bar = f->menuBar();
        QWindow* window = f->windowHandle();
        // The heading shows the highlight colour across its middle.
        auto highlighted = [bar](QAction* heading) {
            const QImage image = bar->grab().toImage();
            const QRect r = bar->actionGeometry(heading);
            const QRgb highlight = bar->palette().color(QPalette::Highlight).rgb();
            int count = 0;
            for (int x = r.left(); x <= r.right(); ++x)
                if (image.pixel(x, r.center().y()) == highlight) ++count;
            return count > r.width() / 3;
        };
        QVERIFY(!highlighted(f->File1->menuAction()));

        const std::function<void()> arms[] = {
            [window] { QTest::keyClick(window, Qt::Key_F10); },
            [window] {
                // A lone Alt: pressed (the modifier already down) and released.
                QTest::keyPress(window, Qt::Key_Alt, Qt::AltModifier);
                QTest::keyRelease(window, Qt::Key_Alt, Qt::NoModifier);
            },
        };
        for (const auto& arm : arms) {
            f->DestDir->setFocus();
            arm();
            QCOMPARE(bar->activeAction(), f->File1->menuAction());
            QVERIFY(bar->hasFocus());
            QVERIFY(QApplication::activePopupWidget() == nullptr);  // armed, no menu open
            QVERIFY(highlighted(f->File1->menuAction()));
            // Right moves along the headings; Esc gives the keyboard back.
            QTest::keyClick(window, Qt::Key_Right);
            QCOMPARE(bar->activeAction(), f->Select1->menuAction());
            QVERIFY(highlighted(f->Select1->menuAction()));
            QVERIFY(!highlighted(f->File1->menuAction()));
            QTest::keyClick(window, Qt::Key_Escape);
            QVERIFY(bar->activeAction() == nullptr);
            QCOMPARE(QApplication::focusWidget(), f->DestDir);
        }

        // F10 twice disarms; armed, Enter opens the heading's menu.
        QTest::keyClick(window, Qt::Key_F10);
        QTest::keyClick(window, Qt::Key_F10);
        QVERIFY(bar->activeAction() == nullptr);
        QCOMPARE(QApplication::focusWidget(), f->DestDir);
        QTest::keyClick(window, Qt::Key_F10);
        QTest::keyClick(window, Qt::Key_Return);
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(f->File1));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_COMPARE(QApplication::focusWidget(), f->DestDir);
        // A hovered heading of an unarmed bar is not highlighted.
        QTest::mouseMove(bar, bar->actionGeometry(f->Help1->menuAction()).center());
        QVERIFY(!highlighted(f->Help1->menuAction()));
    }

    void startUpShowsTheStartDirectoryAndTheCounts() {
        Touch(work_->filePath("b.mod"));
        Touch(work_->filePath("A.MOD"));
        Touch(work_->filePath("c.Mod"));
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        QCOMPARE(Panel(0), QStringLiteral("Ready."));
        QCOMPARE(Panel(1), QStringLiteral("Mods Processed: 0"));
        QCOMPARE(Panel(2), QStringLiteral("Samples saved: 0"));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 0"));
        const QString canonical = QDir(work_->path()).absolutePath();
        QCOMPARE(f->SourceDir->text(), canonical);
        QCOMPARE(QString::fromStdString(f->FileListBox1->Directory()), canonical);
        QCOMPARE(f->DestDir->text(), home_->path());
        QCOMPARE(Entries(f->FileListBox1), (QStringList{"A.MOD", "b.mod", "c.Mod"}));
    }

    void startUpKeepsDirectoryNamesAsBytes() {
        // Started in a folder, with a home, whose names are not UTF-8.
        const std::string start = QFile::encodeName(work_->path()).toStdString() + "/st\xe4rt";
        const std::string home = QFile::encodeName(work_->path()).toStdString() + "/h\xf6me";
        QCOMPARE(::mkdir(start.c_str(), 0700), 0);
        QCOMPARE(::mkdir(home.c_str(), 0700), 0);
        QVERIFY(std::ofstream(start + "/x.mod").good());
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QByteArray::fromStdString(home + "/"));
        QCOMPARE(::chdir(start.c_str()), 0);
        state_.Reset();
        form_ = std::make_unique<TForm1>(state_);
        qputenv("HOME", savedHome);
        QCOMPARE(::chdir("/"), 0);
        QCOMPARE(form_->SourceDirPath(), start);
        QCOMPARE(form_->DestDirPath(), home);
        QCOMPARE(form_->SourceDir->text(), work_->path() + "/st" + QChar(QChar::ReplacementCharacter) + "rt");
        QCOMPARE(form_->FileListBox1->Directory(), start);
        QCOMPARE(Entries(form_->FileListBox1), QStringList{"x.mod"});
        form_.reset();
    }

    void listOrderComparesLettersAsLowerCase() {
        for (const char* name : {"AARD.MOD", "a_b.mod", "b.mod", "A.MOD", "^up.mod", "Zed.mod", "aard.mod"})
            Touch(work_->filePath(QLatin1String(name)));
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        // "^" and "_" lie between "Z" and "a": before every letter.
        const QStringList expected{"^up.mod", "A.MOD", "a_b.mod", "AARD.MOD", "aard.mod", "b.mod", "Zed.mod"};
        QCOMPARE(Entries(f->FileListBox1), expected);
        // The run and the selection commands see the same order.
        QCOMPARE(QString::fromStdString(f->FileListBox1->List().EntryText(2)), QStringLiteral("a_b.mod"));
    }

    void startUpInAnUnreadableDirectoryIsAFault() {
        const QString gone = work_->filePath("gone");
        QVERIFY(QDir().mkdir(gone));
        QDir::setCurrent(gone);
        QVERIFY(QDir().rmdir(gone));

        BoxAnswerer answerer;
        state_.Reset();
        form_ = std::make_unique<TForm1>(state_);
        QCOMPARE(answerer.boxes.size(), std::size_t(1));
        QCOMPARE(answerer.boxes[0].title, vorneck::ProgramTitle());
        QCOMPARE(answerer.boxes[0].text, QStringLiteral("File not found."));
        QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);
        for (int i = 0; i < 4; ++i) QCOMPARE(Panel(i), QString());
        QCOMPARE(form_->FileListBox1->model()->rowCount(), 0);
        QVERIFY(form_->FileListBox1->Directory().empty());
        // The list can still be bound later, even to that same directory
        // once it is there again.
        QVERIFY(QDir().mkdir(gone));
        QCOMPARE(form_->SetFileListDirectory(gone.toStdString()), 0);
        QCOMPARE(QString::fromStdString(form_->FileListBox1->Directory()), gone);
    }

    void fileListListsRegularFilesOnly() {
        const QDir dir(work_->path());
        Touch(dir.filePath("b.mod"));
        Touch(dir.filePath("A.MOD"));
        Touch(dir.filePath("c.Mod"));
        Touch(dir.filePath("ab"));
        Touch(dir.filePath("AB"));
        Touch(dir.filePath(".hidden.mod"));
        Touch(dir.filePath("readme"));
        Touch(dir.filePath("<b>tag.mod"));
        QVERIFY(dir.mkdir("sub.mod"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.mod")).constData(), 0600), 0);
        QVERIFY(QFile::link(dir.filePath("b.mod"), dir.filePath("link.mod")));
        QVERIFY(QFile::link(dir.filePath("nowhere"), dir.filePath("dangling.mod")));
        QVERIFY(QFile::link(dir.filePath("sub.mod"), dir.filePath("dirlink")));
        // A name that is not UTF-8 is still listed.
        std::ofstream(QFile::encodeName(work_->path()).toStdString() + "/z\xff.mod");

        TForm1* f = Start(work_->path());
        QVERIFY(f);
        const QStringList entries = Entries(f->FileListBox1);
        QCOMPARE(entries.mid(0, 7), (QStringList{"<b>tag.mod", "A.MOD", "AB", "ab", "b.mod", "c.Mod", "link.mod"}));
        QCOMPARE(entries.size(), 9);
        QCOMPARE(entries[7], QStringLiteral("readme"));
        QVERIFY(entries[8].startsWith(QLatin1Char('z')));
        QCOMPARE(f->FileListBox1->List().Names()[8], std::string("z\xff.mod"));
    }

    void settingTheDirectory() {
        const QDir dir(work_->path());
        QVERIFY(dir.mkdir("one"));
        QVERIFY(dir.mkdir("One"));
        Touch(dir.filePath("one/x.mod"));
        Touch(dir.filePath("one/y.mod"));
        Touch(dir.filePath("One/z.mod"));
        TForm1* f = Start(dir.filePath("one"));
        QVERIFY(f);
        vorneck::FileListBox* list = f->FileListBox1;
        f->SelectAll1->trigger();
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));

        // The same directory, however written, changes nothing.
        QCOMPARE(f->SetFileListDirectory((dir.filePath("one") + "/").toStdString()), 0);
        QCOMPARE(f->SetFileListDirectory(dir.filePath("one/../one").toStdString()), 0);
        QCOMPARE(ListSelection(list), (QList<int>{0, 1}));
        QCOMPARE(ViewSelection(list), (QList<int>{0, 1}));

        // A directory differing only in case is another directory: reloaded,
        // the selection dropped, the count panel left alone.
        QCOMPARE(f->SetFileListDirectory(dir.filePath("One").toStdString()), 0);
        QCOMPARE(Entries(list), QStringList{"z.mod"});
        QCOMPARE(list->List().SelectedCount(), 0u);
        QVERIFY(ViewSelection(list).isEmpty());
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));

        // One that cannot be read leaves the list as it was.
        QCOMPARE(f->SetFileListDirectory(dir.filePath("missing").toStdString()), ENOENT);
        QCOMPARE(f->SetFileListDirectory(dir.filePath("One/z.mod").toStdString()), ENOTDIR);
        QCOMPARE(Entries(list), QStringList{"z.mod"});
        QCOMPARE(QString::fromStdString(list->Directory()), dir.filePath("One"));

        QCOMPARE(vorneck::FileListBox::NormalisedDirectory("/"), std::string("/"));
        QCOMPARE(vorneck::FileListBox::NormalisedDirectory("//usr//lib/"), std::string("/usr/lib"));
    }

    void selectionCommandsFromButtonsAndMenu() {
        Touch(work_->filePath("A.MOD"));
        Touch(work_->filePath("B.MOD"));
        Touch(work_->filePath("C.TXT"));
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        vorneck::FileListBox* list = f->FileListBox1;

        f->PatternStr->setText("*.MOD");
        QTest::mouseClick(f->SelectButton, Qt::LeftButton);
        QCOMPARE(ViewSelection(list), (QList<int>{0, 1}));
        QCOMPARE(ListSelection(list), (QList<int>{0, 1}));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));

        f->PatternStr->setText("B*");
        f->PatternDeselect1->trigger();
        QCOMPARE(ViewSelection(list), QList<int>{0});
        QCOMPARE(Panel(3), QStringLiteral("Selected: 1"));

        // Case matching is read at the time of the command.
        f->PatternStr->setText("c.txt");
        QTest::mouseClick(f->CaseCheckBox, Qt::LeftButton);
        QVERIFY(f->State().MatchCase);
        f->PatternSelect1->trigger();
        QCOMPARE(ViewSelection(list), QList<int>{0});
        QTest::keyClick(f->CaseCheckBox, Qt::Key_Space);
        QVERIFY(!f->State().MatchCase);
        QTest::mouseClick(f->SelectButton, Qt::LeftButton);
        QCOMPARE(ViewSelection(list), (QList<int>{0, 2}));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));

        f->SelectAll1->trigger();
        QCOMPARE(ViewSelection(list), (QList<int>{0, 1, 2}));
        QCOMPARE(list->selectionModel()->selection().size(), 1);  // one range, not one per row
        QCOMPARE(Panel(3), QStringLiteral("Selected: 3"));
        f->DeselectAll1->trigger();
        QVERIFY(ViewSelection(list).isEmpty());
        QCOMPARE(Panel(3), QStringLiteral("Selected: 0"));

        // An empty pattern is refused and changes nothing.
        QTest::mouseClick(f->SelectButton, Qt::LeftButton);  // "c.txt" once more
        f->PatternStr->clear();
        BoxAnswerer answerer;
        QTest::mouseClick(f->SelectButton, Qt::LeftButton);
        f->PatternDeselect1->trigger();
        QCOMPARE(answerer.boxes.size(), std::size_t(2));
        QCOMPARE(answerer.boxes[0].text,
                 QStringLiteral("You must enter a pattern before attempting to select using this pattern"));
        QCOMPARE(answerer.boxes[1].text,
                 QStringLiteral("You must enter a pattern before attempting to deselect using this pattern"));
        QCOMPARE(answerer.boxes[0].title, QStringLiteral("Error"));
        QCOMPARE(ViewSelection(list), QList<int>{2});
        QCOMPARE(Panel(3), QStringLiteral("Selected: 1"));
    }

    void theUsersOwnSelectingIsCounted() {
        for (const char* name : {"a.mod", "b.mod", "c.mod", "d.mod", "e.mod"}) Touch(work_->filePath(name));
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        vorneck::FileListBox* list = f->FileListBox1;
        QWidget* viewport = list->viewport();
        auto rowCentre = [&](int row) { return list->visualRect(list->model()->index(row, 0)).center(); };

        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, rowCentre(1));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 1"));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, rowCentre(3));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 3"));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));
        QCOMPARE(ListSelection(list), (QList<int>{1, 3}));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, rowCentre(4));
        QCOMPARE(ListSelection(list), QList<int>{4});
        QCOMPARE(Panel(3), QStringLiteral("Selected: 1"));

        // Dragging over rows selects them, the selection following the mouse.
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, rowCentre(0));
        QTest::mouseMove(viewport, rowCentre(3));
        QCOMPARE(ListSelection(list), (QList<int>{0, 1, 2, 3}));
        QTest::mouseMove(viewport, rowCentre(2));
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, rowCentre(2));
        QCOMPARE(ListSelection(list), (QList<int>{0, 1, 2}));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 3"));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, rowCentre(4));

        // Keyboard: Shift+Up extends, Ctrl+A takes everything.
        QTest::keyClick(list, Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(ListSelection(list), (QList<int>{3, 4}));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(Panel(3), QStringLiteral("Selected: 5"));

        // A command's selection is the user's starting point afterwards.
        f->DeselectAll1->trigger();
        f->PatternStr->setText("b*");
        QTest::mouseClick(f->SelectButton, Qt::LeftButton);
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, rowCentre(3));
        QCOMPARE(ListSelection(list), (QList<int>{1, 3}));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));
    }

    void clickBelowTheEntriesKeepsTheSelection() {
        for (const char* name : {"a.mod", "b.mod", "c.mod"}) Touch(work_->filePath(name));
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        vorneck::FileListBox* list = f->FileListBox1;
        QWidget* viewport = list->viewport();
        auto rowCentre = [&](int row) { return list->visualRect(list->model()->index(row, 0)).center(); };
        const QPoint below(rowCentre(2).x(), rowCentre(2).y() + 3 * vorneck::FileListBox::kItemHeight);
        QVERIFY(!list->indexAt(below).isValid());

        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, rowCentre(0));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, rowCentre(1));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));
        f->PatternStr->setFocus();
        for (Qt::KeyboardModifier modifier : {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier}) {
            QTest::mouseClick(viewport, Qt::LeftButton, modifier, below);
            QCOMPARE(ListSelection(list), (QList<int>{0, 1}));
            QCOMPARE(ViewSelection(list), (QList<int>{0, 1}));
            QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));
        }
        QCOMPARE(QApplication::focusWidget(), list);  // the click only takes the focus
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, below);
        QCOMPARE(ListSelection(list), (QList<int>{0, 1}));

        // Nor does a drag that starts there and runs up over the entries.
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, below);
        QTest::mouseMove(viewport, rowCentre(2));
        QTest::mouseMove(viewport, rowCentre(0));
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, rowCentre(0));
        QCOMPARE(ListSelection(list), (QList<int>{0, 1}));
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2"));

        // A click on an entry still selects it alone.
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, rowCentre(2));
        QCOMPARE(ListSelection(list), QList<int>{2});
        QCOMPARE(Panel(3), QStringLiteral("Selected: 1"));
    }

    void longNamesAreClippedNotShortened() {
        // Two names alike for far longer than the list is wide: shown as
        // they are, cut off at the right edge, the two rows look the same;
        // shortened in the middle, their different ends would show.
        const QString common = QStringLiteral("long_") + QString(120, QLatin1Char('m'));
        Touch(work_->filePath(common + QStringLiteral("_one.mod")));
        Touch(work_->filePath(common + QStringLiteral("_two.xm")));
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        vorneck::FileListBox* list = f->FileListBox1;
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->PatternStr->setFocus();  // no focus frame in the list
        const QImage image = list->viewport()->grab().toImage();
        const QRect row0 = list->visualRect(list->model()->index(0, 0));
        const QRect row1 = list->visualRect(list->model()->index(1, 0));
        QCOMPARE(row0.size(), row1.size());
        const QImage first = image.copy(row0);
        QCOMPARE(first, image.copy(row1));
        // And the row is not blank: text runs to the right edge.
        QSet<QRgb> colours;
        for (int y = 0; y < first.height(); ++y)
            for (int x = first.width() - 12; x < first.width(); ++x) colours.insert(first.pixel(x, y));
        QVERIFY(colours.size() > 1);
    }

    void runFromTheButtonAndTheMenu() {
        namespace demo = vorneck::demo;
        const QDir dir(work_->path());
        QVERIFY(dir.mkdir("mods"));
        QVERIFY(dir.mkdir("out"));
        demo::ModRecipe mod;
        mod.samples = {{"a", demo::Waveform(demo::Wave::Sine, 64)}, {"b", demo::Waveform(demo::Wave::Saw, 32)}};
        WriteBytes(dir.filePath("mods/one.mod"), demo::BuildMod(mod));
        demo::MmdRecipe med;
        med.instruments = {{false, 0, demo::Waveform(demo::Wave::Square, 48), {}}};
        WriteBytes(dir.filePath("mods/two.med"), demo::BuildMmd(med));
        Touch(dir.filePath("mods/notes.txt"), QByteArray(2000, 'x'));

        TForm1* f = Start(dir.filePath("mods"));
        QVERIFY(f);
        f->DestDir->setText(dir.filePath("out"));

        // Nothing selected.
        {
            BoxAnswerer answerer;
            QTest::mouseClick(f->GoButton, Qt::LeftButton);
            QCOMPARE(answerer.boxes.size(), std::size_t(1));
            QCOMPARE(answerer.boxes[0].text, QStringLiteral("No source modules selected."));
            QCOMPARE(Panel(0), QStringLiteral("Ready."));
            QCOMPARE(Panel(2), QStringLiteral("Samples saved: 0"));
        }

        f->SelectAll1->trigger();
        {
            BoxAnswerer answerer(Qt::Key_Escape);
            QTest::mouseClick(f->GoButton, Qt::LeftButton);
            QCOMPARE(answerer.boxes.size(), std::size_t(1));
            QCOMPARE(answerer.boxes[0].title, QStringLiteral("Error"));
            QCOMPARE(answerer.boxes[0].text, "Unrecognised file format: " + dir.filePath("mods/notes.txt"));
            QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);
            QCOMPARE(answerer.boxes[0].buttons, QStringList{"OK"});
        }
        QCOMPARE(Panel(0), QStringLiteral("Vorneck completed."));
        QCOMPARE(Panel(1), QStringLiteral("Mods Processed: 2"));
        QCOMPARE(Panel(2), QStringLiteral("Samples saved: 3"));
        QVERIFY(QFile::exists(dir.filePath("out/0_one.mod")));
        QVERIFY(QFile::exists(dir.filePath("out/1_one.mod")));
        QVERIFY(QFile::exists(dir.filePath("out/0_two.med")));

        // The menu runs the same, adding to the counts; the option is read.
        f->PatternStr->setText("*.txt");
        f->PatternDeselect1->trigger();
        QTest::mouseClick(f->DirPerModule, Qt::LeftButton);
        {
            BoxAnswerer answerer;
            f->ExtractSamples1->trigger();
            QCOMPARE(answerer.boxes.size(), std::size_t(0));
        }
        QCOMPARE(Panel(1), QStringLiteral("Mods Processed: 4"));
        QCOMPARE(Panel(2), QStringLiteral("Samples saved: 6"));
        QVERIFY(QFile::exists(dir.filePath("out/one.mod/0_one.mod")));

        // No destination: refused whatever the selection; panel 0 untouched.
        f->DestDir->clear();
        {
            BoxAnswerer answerer;
            f->ExtractSamples1->trigger();
            QCOMPARE(answerer.boxes.size(), std::size_t(1));
            QCOMPARE(answerer.boxes[0].text, QStringLiteral("No destination directory selected."));
        }
        QCOMPARE(Panel(0), QStringLiteral("Vorneck completed."));
        QCOMPARE(Panel(2), QStringLiteral("Samples saved: 6"));
    }

    void statusPanelsAreSunkenBoxes() {
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        QVERIFY(QTest::qWaitForWindowExposed(f));
        const QImage bar = f->StatusBar1->grab().toImage();
        const QPalette palette = f->StatusBar1->Panel(0)->palette();
        const QRgb shadow = palette.color(QPalette::Dark).rgb();
        const QRgb light = palette.color(QPalette::Light).rgb();
        QVERIFY(shadow != light);
        for (int i = 0; i < 4; ++i) {
            const QRect r = f->StatusBar1->Panel(i)->geometry();
            // The size grip covers the last panel's lower right corner.
            const int right = i < 3 ? r.right() : r.right() - 20;
            for (int x = r.left(); x < right; ++x) {
                QCOMPARE(QColor(bar.pixel(x, r.top())), QColor(shadow));
                QCOMPARE(QColor(bar.pixel(x + 1, r.bottom())), QColor(light));
            }
            for (int y = r.top(); y < r.bottom(); ++y) {
                QCOMPARE(QColor(bar.pixel(r.left(), y)), QColor(shadow));
                if (i < 3) QCOMPARE(QColor(bar.pixel(r.right(), y + 1)), QColor(light));
            }
        }
    }

    void statusTextsArePaintedAtOnce() {
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QLabel* panel = f->StatusBar1->Panel(0);
        int paints = 0;
        struct Counter : QObject {
            int* count;
            explicit Counter(int* c) : count(c) {}
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++*count;
                return false;
            }
        } counter(&paints);
        panel->installEventFilter(&counter);
        // No event loop runs between the write and the check, as in a run.
        f->StatusBar1->SetPanel(0, "Loading:/somewhere/song.mod");
        QVERIFY(paints > 0);
        QCOMPARE(panel->text(), QStringLiteral("Loading:/somewhere/song.mod"));
        panel->removeEventFilter(&counter);
    }

    void keyboard() {
        Touch(work_->filePath("a.mod"));
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        QSignalSpy chooser(f, &TForm1::DirectoryChooserRequested);
        QSignalSpy about(f, &TForm1::AboutBoxRequested);

        QTest::keyClick(f->SourceDir, Qt::Key_L, Qt::ControlModifier);
        QTest::keyClick(f->DestDir, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(chooser.size(), 2);
        QCOMPARE(chooser[0][0].toBool(), false);
        QCOMPARE(chooser[1][0].toBool(), true);
        QTest::mouseClick(f->SrcDirButton, Qt::LeftButton);
        QTest::mouseClick(f->DestDirButton, Qt::LeftButton);
        QCOMPARE(chooser.size(), 4);
        f->AboutVorneck1->trigger();
        QCOMPARE(about.size(), 1);

        // F1 does nothing; Enter and Esc in a field press no button.
        {
            BoxAnswerer answerer;
            QTest::keyClick(f->PatternStr, Qt::Key_F1);
            QTest::keyClick(f->DestDir, Qt::Key_Return);
            QTest::keyClick(f->DestDir, Qt::Key_Escape);
            QCOMPARE(answerer.boxes.size(), std::size_t(0));
            QCOMPARE(about.size(), 1);
            QVERIFY(f->isVisible());
            QCOMPARE(Panel(0), QStringLiteral("Ready."));
        }
        // Enter on a focused button presses it.
        f->SelectButton->setFocus();
        QTest::keyClick(f->SelectButton, Qt::Key_Return);
        QTRY_COMPARE(Panel(3), QStringLiteral("Selected: 1"));

        // Fields select their whole text when clicked into or entered.
        f->DestDir->setText("/some/where");
        QTest::mouseClick(f->DestDir, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QCOMPARE(f->DestDir->selectedText(), QStringLiteral("/some/where"));
        f->PatternStr->setText("*.mod");
        f->PatternStr->deselect();
        f->EditPattern1->trigger();
        QCOMPARE(QApplication::focusWidget(), f->PatternStr);
        QCOMPARE(f->PatternStr->selectedText(), QStringLiteral("*.mod"));
        f->EditDestinationDirectory1->trigger();
        QCOMPARE(QApplication::focusWidget(), f->DestDir);
        f->EditSourceDirectory1->trigger();
        QCOMPARE(QApplication::focusWidget(), f->SourceDir);
        QCOMPARE(f->SourceDir->selectedText(), f->SourceDir->text());

        // "Save as WAV" can never be checked.
        QTest::mouseClick(f->CheckBox1, Qt::LeftButton);
        f->CheckBox1->setChecked(true);
        QVERIFY(!f->CheckBox1->isChecked());

        // Ctrl+C is "Exit", even in an edit field with selected text.
        f->SourceDir->setFocus();
        f->SourceDir->selectAll();
        QTest::keyClick(f->SourceDir, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(!f->isVisible());
    }

    void ctrlCClosesFromEveryControl() {
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        for (QWidget* w : {static_cast<QWidget*>(f->PatternStr), static_cast<QWidget*>(f->FileListBox1)}) {
            f->show();
            f->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(f));
            w->setFocus();
            QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier);
            QVERIFY(!f->isVisible());
        }
        // Disabled, as while the chooser is open, the window takes no keys
        // and no clicks and cannot be closed, though nothing is greyed.
        f->show();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        f->SetMainWindowEnabled(false);
        QVERIFY(f->SourceDir->isEnabled());
        QTest::keyClick(f->windowHandle(), Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(f->SourceDir, Qt::Key_C, Qt::ControlModifier);
        QTest::mouseClick(f->Exit, Qt::LeftButton);
        QVERIFY(f->isVisible());
        QVERIFY(!f->close());
        QVERIFY(f->isVisible());
        f->SetMainWindowEnabled(true);
        QTest::mouseClick(f->Exit, Qt::LeftButton);
        QVERIFY(!f->isVisible());
    }

    void errorBoxes() {
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        const QRect screen = f->screen()->availableGeometry();
        const int half = f->screen()->geometry().width() / 2;
        const QString longPath = QLatin1String("/") + QString(40, QLatin1Char('d')) + QLatin1String("/") +
                                 QString(400, QLatin1Char('n')) + QLatin1String(".mod");
        const QString message = "Unable to open: " + longPath;

        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            BoxAnswerer answerer(key);
            QRect boxGeometry;
            int labelWidth = 0;
            QString labelText;
            Qt::WindowModality modality = Qt::NonModal;
            answerer.inspect = [&](QMessageBox* box) {
                boxGeometry = box->frameGeometry();
                auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
                labelWidth = label->width();
                labelText = label->text();
                modality = box->windowModality();
            };
            vorneck::ErrorReport(f, message);
            QCOMPARE(answerer.boxes.size(), std::size_t(1));  // and closed by the key
            QCOMPARE(answerer.boxes[0].title, QStringLiteral("Error"));
            QCOMPARE(answerer.boxes[0].text, message);
            QCOMPARE(answerer.boxes[0].buttons, QStringList{"OK"});
            QCOMPARE(modality, Qt::ApplicationModal);
            QVERIFY(labelWidth <= half);
            QVERIFY(labelWidth > half - 40);  // wraps at half the screen, not earlier
            QVERIFY(labelText.contains(QChar(0x200B)));  // the long name may break
            QCOMPARE(QString(labelText).remove(QChar(0x200B)), message);
            QVERIFY(qAbs(boxGeometry.center().x() - screen.center().x()) <= 1);
            QVERIFY(qAbs(boxGeometry.center().y() - screen.center().y()) <= 1);
        }

        // Once a box is answered, the window it came from is active again
        // with its focus where it was.
        f->PatternStr->setFocus();
        {
            BoxAnswerer answerer;
            QTest::mouseClick(f->GoButton, Qt::LeftButton);  // nothing selected
            QCOMPARE(answerer.boxes.size(), std::size_t(1));
        }
        QTRY_COMPARE(QApplication::activeWindow(), f);
        QCOMPARE(QApplication::focusWidget(), f->GoButton);

        // A short text keeps a small box.
        BoxAnswerer answerer;
        int labelWidth = 0;
        answerer.inspect = [&](QMessageBox* box) {
            labelWidth = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->width();
        };
        vorneck::FaultReport(f, EACCES);
        QCOMPARE(answerer.boxes.size(), std::size_t(1));
        QCOMPARE(answerer.boxes[0].text, QStringLiteral("File access denied."));
        QCOMPARE(answerer.boxes[0].title, vorneck::ProgramTitle());
        QVERIFY(labelWidth < half / 2);
    }

    void errorBoxesArePlain() {
        // Desktop styles that put pictures on dialog buttons (a check mark
        // on OK) and set message boxes in their own font leave these boxes
        // alone.
        struct ButtonPictureStyle : QProxyStyle {
            using QProxyStyle::QProxyStyle;
            int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const override {
                if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 1;
                return QProxyStyle::styleHint(hint, option, widget, returnData);
            }
        };
        const QString styleName = QApplication::style()->name();
        QApplication::setStyle(new ButtonPictureStyle(QStyleFactory::create(styleName)));
        const QFont applicationFont = QApplication::font();
        QFont other(QStringLiteral("DejaVu Serif"), 13);
        QApplication::setFont(other);

        TForm1* f = Start(work_->path());
        QVERIFY(f);
        for (const bool fault : {false, true}) {
            BoxAnswerer answerer;
            bool inspected = false;
            answerer.inspect = [&](QMessageBox* box) {
                inspected = true;
                QAbstractButton* ok = box->button(QMessageBox::Ok);
                QVERIFY(ok);
                QVERIFY(ok->icon().isNull());
                const QPoint centre = ok->mapTo(box, ok->rect().center());
                QVERIFY2(qAbs(centre.x() - box->width() / 2) <= 1, qPrintable(QString::number(centre.x())));
                const QFontInfo expected(vorneck::WindowFont());
                for (const QWidget* w : {static_cast<const QWidget*>(ok),
                                         static_cast<const QWidget*>(
                                             box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))}) {
                    QCOMPARE(QFontInfo(w->font()).family(), expected.family());
                    QCOMPARE(w->font().pointSize(), 8);
                }
                QVERIFY(!box->iconPixmap().isNull());  // the stop icon stays
            };
            if (fault)
                vorneck::FaultReport(f, ENOENT);
            else
                vorneck::ErrorReport(f, QStringLiteral("No source modules selected."));
            QVERIFY(inspected);
        }
        form_.reset();
        QApplication::setFont(applicationFont);
        QApplication::setStyle(QStyleFactory::create(styleName));
    }

    void faultTextsAndTitle() {
        const std::pair<int, const char*> texts[] = {
            {ENOENT, "File not found"},       {EACCES, "File access denied"}, {EPERM, "File access denied"},
            {ENAMETOOLONG, "Invalid filename"}, {ENOTDIR, "Invalid filename"}, {EINVAL, "Invalid filename"},
            {EMFILE, "Too many open files"},  {ENFILE, "Too many open files"}, {ENOSPC, "Disk full"},
            {EIO, "I/O error 5"},             {ELOOP, "I/O error 40"},
        };
        for (const auto& [error, text] : texts) QCOMPARE(vorneck::FaultErrorText(error), QLatin1String(text));
        QCOMPARE(vorneck::ProgramTitle("/usr/bin/vorneck"), QStringLiteral("vorneck"));
        QCOMPARE(vorneck::ProgramTitle("/opt/VorNeck.App/VORNECK.bin.x"), QStringLiteral("Vorneck"));
        QCOMPARE(vorneck::ProgramTitle("Tool"), QStringLiteral("Tool"));
    }

    void largeListsUseRanges() {
        // Big enough to make a row-by-row selection plainly slow.
        const int count = 20000;
        for (int i = 0; i < count; ++i) {
            std::ofstream(QFile::encodeName(work_->filePath(QStringLiteral("f%1.mod").arg(i, 5, 10, QChar('0'))))
                              .toStdString());
        }
        TForm1* f = Start(work_->path());
        QVERIFY(f);
        vorneck::FileListBox* list = f->FileListBox1;
        QCOMPARE(list->model()->rowCount(), count);
        QElapsedTimer timer;
        timer.start();
        f->PatternStr->setText("*0.mod");
        QTest::mouseClick(f->SelectButton, Qt::LeftButton);
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2000"));
        QCOMPARE(list->selectionModel()->selection().size(), 2000);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(Panel(3), QStringLiteral("Selected: 2001"));
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(Panel(3), QStringLiteral("Selected: 20000"));
        QCOMPARE(list->selectionModel()->selection().size(), 1);
        // A Shift+click range over a scattered selection.
        QTest::mouseClick(f->SelectButton, Qt::LeftButton);
        f->DeselectAll1->trigger();
        QTest::mouseClick(f->SelectButton, Qt::LeftButton);
        list->scrollToTop();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualRect(list->model()->index(2, 0)).center());
        QTest::keyClick(list, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(Panel(3), QStringLiteral("Selected: 19998"));
        f->DeselectAll1->trigger();
        QCOMPARE(Panel(3), QStringLiteral("Selected: 0"));
        QVERIFY2(timer.elapsed() < 20000, "selection over a large list took far too long");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
