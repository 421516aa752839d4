// SPDX-License-Identifier: MIT
#include "ui/fault_report.h"

#include <QCoreApplication>
#include <cerrno>

#include "ui/error_report.h"

namespace vorneck {

QString FaultErrorText(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
            return QStringLiteral("File not found");
        case EACCES:
        case EPERM:
            return QStringLiteral("File access denied");
        case ENAMETOOLONG:
        case ENOTDIR:
        case EINVAL:
            return QStringLiteral("Invalid filename");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("Too many open files");
        case ENOSPC:
            return QStringLiteral("Disk full");
        default:
            return QStringLiteral("I/O error %1").arg(errnoValue);
    }
}

QString ProgramTitle(const QString& programFilePath) {
    QString name = programFilePath.mid(programFilePath.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    if (name.size() > 1) name = name.left(1) + name.mid(1).toLower();
    return name;
}

QString ProgramTitle() {
    return ProgramTitle(QCoreApplication::applicationFilePath());
}

void FaultReport(QWidget* parent, int errnoValue) {
    StopBox box(parent, ProgramTitle(), FaultErrorText(errnoValue) + QLatin1Char('.'));
    box.Run();
}

}  // namespace vorneck
