// SPDX-License-Identifier: MIT
// The About window: its layout, its logo, and the main window's state
// around it.
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QtTest>

#include "dlg_test_support.h"
#include "ui/about.h"

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void layoutFollowsTheWindowTable() {
        FakeHost host;
        TAboutBox box(host);
        QCOMPARE(box.windowTitle(), QString("About Vorneck"));
        QCOMPARE(box.size(), QSize(367, 232));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        // No title-bar buttons of its own: the window manager is asked for
        // a title and a close function only, without minimise or maximise.
        const Qt::WindowFlags flags = box.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(box.AboutGroup->geometry(), QRect(8, 8, 353, 217));
        QVERIFY(box.AboutGroup->title().isEmpty());
        QCOMPARE(box.Image1->geometry(), QRect(8, 24, 105, 177));
        QCOMPARE(box.Image1->alignment(), Qt::AlignLeft | Qt::AlignTop);
        QCOMPARE(box.Button1->parentWidget(), &box);
        QCOMPARE(box.Button1->geometry(), QRect(272, 192, 75, 25));
        QCOMPARE(box.Button1->text(), QString("&OK"));
        QVERIFY(!box.Button1->isDefault());

        QCOMPARE(box.Label1->text(), QString("Vorneck Version 2.02"));
        struct Expected {
            QLabel* label;
            QPoint position;
            int serifPixels;  // 0: not the serif face
        };
        for (const Expected& e : {Expected{box.Label1, {128, 24}, 24}, Expected{box.Label2, {168, 64}, 19},
                                  Expected{box.Label3, {168, 88}, 21}, Expected{box.Label5, {168, 112}, 0},
                                  Expected{box.Label4, {152, 144}, 0}, Expected{box.Label6, {160, 160}, 0}}) {
            QCOMPARE(e.label->parentWidget(), box.AboutGroup);
            QCOMPARE(e.label->pos(), e.position);
            QVERIFY(!e.label->text().isEmpty());
            // Every line fits inside the group.
            QVERIFY2(e.label->geometry().right() < box.AboutGroup->width(), qPrintable(e.label->text()));
            if (e.serifPixels != 0) {
                QCOMPARE(e.label->font().family(), QString("Times New Roman"));
                // Exact with a face of Times's measures; a wider stand-in
                // is set a little smaller so that the line fits.
                const QString face = QFontInfo(e.label->font()).family();
                if (QStringList({"Times New Roman", "Liberation Serif", "Nimbus Roman", "Tinos"}).contains(face))
                    QCOMPARE(e.label->font().pixelSize(), e.serifPixels);
                QVERIFY(e.label->font().pixelSize() <= e.serifPixels);
                QVERIFY(e.label->font().pixelSize() >= e.serifPixels - 6);
                QVERIFY(e.label->font().italic());
            }
        }
        QCOMPARE(box.Label4->font().pointSize(), 8);
    }

    void captionlessGroupFrameIsHalfATextHeightDown() {
        FakeHost host;
        TAboutBox box(host);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QImage image = box.AboutGroup->grab().toImage();
        const QRgb background = box.AboutGroup->palette().color(QPalette::Window).rgb();
        // The frame's top line, looked for where no label or picture lies.
        const int x = box.AboutGroup->width() - 20;
        int top = -1;
        for (int y = 0; y < 20 && top < 0; ++y)
            if (image.pixel(x, y) != background) top = y;
        QCOMPARE(top, QFontMetrics(box.AboutGroup->font()).height() / 2);
        // The frame still runs round the group: its bottom line at the edge.
        QVERIFY(image.pixel(x, image.height() - 1) != background || image.pixel(x, image.height() - 2) != background);
    }

    void logoIsItsOwnSixteenColourPicture() {
        FakeHost host;
        TAboutBox box(host);
        const QImage logo = box.Image1->pixmap().toImage();
        QCOMPARE(logo.size(), QSize(97, 169));
        QSet<QRgb> colours;
        for (int y = 0; y < logo.height(); ++y)
            for (int x = 0; x < logo.width(); ++x) colours.insert(logo.pixel(x, y));
        QVERIFY(colours.size() > 1);
        QVERIFY(colours.size() <= 16);
    }

    void mainWindowIsDisabledWhileOpenAndEnabledAfterEveryClosing() {
        FakeHost host;
        TAboutBox box(host);
        box.Open();
        QVERIFY(box.isVisible());
        QVERIFY(!host.enabled);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        // Within the frame's few pixels, which are not known before the
        // first showing.
        QVERIFY((box.frameGeometry().center() - screen.center()).manhattanLength() <= 6);
        QTest::keyClick(&box, Qt::Key_Escape);  // no cancel button
        QVERIFY(box.isVisible());
        box.Button1->click();
        QVERIFY(!box.isVisible());
        QVERIFY(host.enabled);

        box.move(40, 50);
        box.Open();
        QVERIFY(!host.enabled);
        QCOMPARE(box.pos(), QPoint(40, 50));
        QTest::keyClick(box.Button1, Qt::Key_Return);  // the focused button
        QVERIFY(!box.isVisible());
        QVERIFY(host.enabled);

        box.Open();
        QVERIFY(!host.enabled);
        QVERIFY(box.close());  // Alt+F4, or a close button the window manager adds
        QVERIFY(host.enabled);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
