// SPDX-License-Identifier: MIT
// What the directory chooser and About window tests share: a main window
// stand-in and a catcher for the fault boxes they raise.
#pragma once

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <string>
#include <vector>

#include "ui/chooser_host.h"

// A path's bytes, for tests that name paths as text.
inline std::string Bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

class FakeHost : public vorneck::ChooserHost {
public:
    std::string SourceDirPath() const override { return source; }
    std::string DestDirPath() const override { return dest; }
    void SetSourceDirPath(const std::string& path) override { source = path; }
    void SetDestDirPath(const std::string& path) override { dest = path; }
    int SetFileListDirectory(const std::string& path) override {
        fileListCalls.push_back(path);
        if (fileListError != 0) return fileListError;
        fileListDirectory = path;
        return 0;
    }
    void SetMainWindowEnabled(bool value) override { enabled = value; }

    std::string source;
    std::string dest;
    std::string fileListDirectory;
    std::vector<std::string> fileListCalls;
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
