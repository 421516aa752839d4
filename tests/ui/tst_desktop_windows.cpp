// SPDX-License-Identifier: MIT
// The windows on the desktop: the face their text is set in at the display's
// device pixel ratio, where they first appear, and that no modal window can
// be minimised out of reach. Run twice: at a scale of 1 and of 2.
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "dlg_test_support.h"
#include "program_windows.h"
#include "ui/Main.h"
#include "ui/about.h"
#include "ui/desktop_windows.h"
#include "ui/dialog_wiring.h"
#include "ui/dir_unit.h"
#include "ui/error_report.h"
#include "ui/window_font.h"

using vorneck::TForm1;

namespace {

// Texts of the windows, as wide as any the layouts hold in one control.
const char* const kLayoutTexts[] = {"Directory..", "Pattern Matching", "Please select destination directory.",
                                    "Mods Processed: 0", "Dir Per Mod", "Vorneck!", "Destination Directory"};

bool Scalable(const QFont& font) { return QFontDatabase::isSmoothlyScalable(QFontInfo(font).family()); }

// Every widget inside `window` that is not set in a face of its own
// (windows of their own, such as menus, are checked one by one).
QList<QWidget*> TextWidgets(QWidget* window) {
    QList<QWidget*> widgets{window};
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->window() != window) continue;
        if (!child->testAttribute(Qt::WA_SetFont) || child->font().family() == window->font().family())
            widgets << child;
    }
    return widgets;
}

// Answers the next error box after `inspect` has seen it.
void AnswerNextBox(std::function<void(QMessageBox*)> inspect) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        inspect(box);
        box->button(QMessageBox::Ok)->click();
    });
    timer->start();
}

}  // namespace

class TestDesktopWindows : public ProgramWindowsTest {
    Q_OBJECT

private:
    vorneck::MinimisedModalGuard guard_;

    static void VerifyFrameCentred(const QWidget* window) {
        const QRect area = window->screen()->availableGeometry();
        const QPoint offset = window->frameGeometry().center() - area.center();
        // Within rounding, also of positions scaled to device pixels.
        QVERIFY2(qAbs(offset.x()) <= 2 && qAbs(offset.y()) <= 2,
                 qPrintable(QStringLiteral("%1 is %2,%3 off centre")
                                .arg(window->windowTitle())
                                .arg(offset.x())
                                .arg(offset.y())));
    }

private slots:
    void initTestCase() {
        QVERIFY(work_.isValid());
        savedDirectory_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work_.path()));
        qApp->installEventFilter(&guard_);
        MakeWindows();
        form1_->show();
        QVERIFY(ActivateMain());
    }

    void cleanupTestCase() { CloseWindows(); }

    void facesByDevicePixelRatio() {
        // At 1 the bitmap face, as the layouts were drawn for.
        const QFont one = vorneck::WindowFontFor(1.0);
        QCOMPARE(one.pointSize(), 8);
        if (vorneck::HaveMsSansSerif()) QCOMPARE(QFontInfo(one).family(), QString("MS Sans Serif"));
        // Above 1 a face that scales, at the same size, and wide enough
        // and narrow enough for the same layouts.
        for (const qreal ratio : {1.25, 2.0, 3.0}) {
            const QFont font = vorneck::WindowFontFor(ratio);
            QVERIFY2(Scalable(font), qPrintable(QFontInfo(font).family()));
            QCOMPARE(font.pointSize(), 8);
            if (!vorneck::HaveMsSansSerif()) continue;
            const QFontMetrics scaled(font);
            const QFontMetrics bitmap(one);
            for (const char* text : kLayoutTexts) {
                const int want = bitmap.horizontalAdvance(QLatin1String(text));
                const int got = scaled.horizontalAdvance(QLatin1String(text));
                QVERIFY2(qAbs(got - want) * 100 <= want * 6,
                         qPrintable(QStringLiteral("%1: %2 for %3").arg(text).arg(got).arg(want)));
            }
        }
    }

    void everyWindowUsesTheFaceOfThisDisplay() {
        const qreal ratio = qApp->devicePixelRatio();
        const QFont expected = vorneck::WindowFontFor(ratio);
        auto verify = [&](QWidget* window) {
            for (const QWidget* widget : TextWidgets(window)) {
                const QFontInfo info(widget->font());
                QVERIFY2(info.family() == QFontInfo(expected).family(),
                         qPrintable(QString::fromLatin1(widget->metaObject()->className()) + " " +
                                    widget->objectName() + ": " + info.family()));
                if (ratio > 1.0) QVERIFY(Scalable(widget->font()));
            }
        };
        verify(form1_.get());
        for (QMenu* menu : {form1_->File1, form1_->Select1, form1_->Vorneck1, form1_->Help1}) verify(menu);
        verify(form2_.get());
        verify(about_.get());
        // The About window's serif lines scale as they are.
        for (QLabel* label : {about_->Label1, about_->Label2, about_->Label3}) QVERIFY(Scalable(label->font()));
        bool seen = false;
        AnswerNextBox([&](QMessageBox* box) {
            seen = true;
            verify(box);
        });
        vorneck::ErrorReport(form1_.get(), QStringLiteral("No source modules selected."));
        QVERIFY(seen);
    }

    void framesCentredAtFirstShowing() {
        QVERIFY(ActivateMain());
        VerifyFrameCentred(form1_.get());
        // Opened from a window moved away from the centre.
        const QPoint mainPosition = form1_->pos();
        form1_->move(mainPosition + QPoint(-40, 30));
        form1_->Changesourcedirectory1->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(form2_.get()));
        VerifyFrameCentred(form2_.get());
        form2_->Button2Click();
        form1_->AboutVorneck1->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(about_.get()));
        VerifyFrameCentred(about_.get());
        about_->Button1Click();
        bool seen = false;
        AnswerNextBox([&](QMessageBox* box) {
            seen = true;
            VerifyFrameCentred(box);
        });
        vorneck::ErrorReport(form1_.get(), QStringLiteral("Failed to create: ") + work_.path());
        QVERIFY(seen);
        form1_->move(mainPosition);

        // The frame's centre, title bar included, is what is centred.
        QCOMPARE(vorneck::CentredFramePosition(QRect(0, 0, 1024, 768), QSize(290, 172), QMargins(4, 22, 4, 4)),
                 QPoint(363, 285));
        QCOMPARE(vorneck::CentredFramePosition(QRect(0, 24, 1024, 744), QSize(527, 300), QMargins()),
                 QPoint(249, 246));
    }

    void minimisedModalWindowsComeBack() {
        // The window manager minimises a dialog and its main window with
        // it: both come back at once, the dialog on top with the keyboard.
        for (QWidget* dialog : {static_cast<QWidget*>(form2_.get()), static_cast<QWidget*>(about_.get())}) {
            QVERIFY(ActivateMain());
            if (dialog == form2_.get())
                form1_->Changesourcedirectory1->trigger();
            else
                form1_->AboutVorneck1->trigger();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            dialog->setWindowState(Qt::WindowMinimized);
            form1_->setWindowState(Qt::WindowMinimized);
            QTRY_VERIFY(!(dialog->windowState() & Qt::WindowMinimized));
            QTRY_VERIFY(!(form1_->windowState() & Qt::WindowMinimized));
            QVERIFY(dialog->isVisible());
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            // The main window alone minimised while the dialog is open.
            form1_->setWindowState(Qt::WindowMinimized);
            QTRY_VERIFY(!(form1_->windowState() & Qt::WindowMinimized));
            dialog->close();
            QVERIFY(!form1_->windowState().testFlag(Qt::WindowMinimized));
        }

        // An error box minimised comes back and can be answered.
        bool restored = false;
        auto* timer = new QTimer;
        timer->setInterval(5);
        int step = 0;
        QObject::connect(timer, &QTimer::timeout, [&, timer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            if (step++ == 0) {
                box->setWindowState(Qt::WindowMinimized);
                return;
            }
            if (box->windowState() & Qt::WindowMinimized) return;
            restored = true;
            timer->stop();
            timer->deleteLater();
            box->button(QMessageBox::Ok)->click();
        });
        timer->start();
        vorneck::ErrorReport(form1_.get(), QStringLiteral("No source modules selected."));
        QVERIFY(restored);

        // With no modal window open, the main window may be minimised.
        form1_->setWindowState(Qt::WindowMinimized);
        QTest::qWait(50);
        QVERIFY(form1_->windowState() & Qt::WindowMinimized);
        form1_->setWindowState(Qt::WindowNoState);
        QVERIFY(ActivateMain());
    }
};

QTEST_MAIN(TestDesktopWindows)
#include "tst_desktop_windows.moc"
