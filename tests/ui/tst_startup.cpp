// SPDX-License-Identifier: MIT
// The program started as a user starts it: its two options need no display,
// and without a display it says so in one line instead of aborting.
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT

private:
    struct Run {
        int exitCode = -1;
        QProcess::ExitStatus status = QProcess::CrashExit;
        QByteArray out;
        QByteArray err;
    };

    // Runs the program with no display at all, or with `display` as the
    // X display it is to open.
    static Run Start(const QStringList& arguments, const QString& display = QString()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
            environment.remove(QLatin1String(name));
        if (!display.isEmpty()) environment.insert(QStringLiteral("DISPLAY"), display);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VORNECK_PROGRAM), arguments);
        Run run;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitCode();
        run.status = process.exitStatus();
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

private slots:
    void helpAndVersionNeedNoDisplay() {
        for (const char* option : {"--help", "-h"}) {
            const Run run = Start({QLatin1String(option)});
            QCOMPARE(run.status, QProcess::NormalExit);
            QCOMPARE(run.exitCode, 0);
            QVERIFY2(run.out.startsWith("Usage: vorneck"), run.out.constData());
            QVERIFY(run.out.contains("--version"));
            QCOMPARE(run.err, QByteArray());
        }
        const Run run = Start({QStringLiteral("--version")});
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^vorneck \\d+\\.\\d+\\.\\d+\\n$"))
                     .match(QString::fromUtf8(run.out))
                     .hasMatch(),
                 run.out.constData());
        QCOMPARE(run.err, QByteArray());
    }

    void withoutADisplayItSaysSoInOneLine() {
        const Run run = Start({});
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err, QByteArray("vorneck: no display to open (DISPLAY is not set)\n"));
    }

    void aDisplayThatCannotBeOpenedIsNamed() {
        // A display number no X server here uses.
        const Run run = Start({}, QStringLiteral(":32761"));
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err, QByteArray("vorneck: cannot open display :32761\n"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
