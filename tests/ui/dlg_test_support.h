// SPDX-License-Identifier: MIT
// What the directory chooser and About window tests share: a main window
// stand-in and a catcher for the fault boxes they raise.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <vector>

#include "ui/chooser_host.h"

class FakeHost : public vorneck::ChooserHost {
public:
    QString SourceDirText() const override { return source; }
    QString DestDirText() const override { return dest; }
    void SetSourceDirText(const QString& text) override { source = text; }
    void SetDestDirText(const QString& text) override { dest = text; }
    int SetFileListDirectory(const QString& path) override {
        fileListCalls.push_back(path);
        if (fileListError != 0) return fileListError;
        fileListDirectory = path;
        return 0;
    }
    void SetMainWindowEnabled(bool value) override { enabled = value; }

    QString source;
    QString dest;
    QString fileListDirectory;
    std::vector<QString> fileListCalls;
    int fileListError = 0;
    bool enabled = true;
};

// Answers every message box that comes up while it lives, noting its title
// and text, so that handlers raising a fault box run to their end.
class BoxCatcher : public QObject {
public:
    BoxCatcher() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            titles << box->windowTitle();
            texts << box->text();
            if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        });
        timer_.start();
    }

    QStringList titles;
    QStringList texts;

private:
    QTimer timer_;
};
