// SPDX-License-Identifier: MIT
// Failures of the file-system controls (changing to a directory that does not
// exist or cannot be entered) end the handler that met them and show a plain
// message box titled with the program's title.
#pragma once

#include <QString>

class QWidget;

namespace vorneck {

// The error text for an errno value, without the closing full stop.
QString FaultErrorText(int errnoValue);

// The program file's name after its last "/", cut at its first dot, the first
// character unchanged and the rest in lower case.
QString ProgramTitle(const QString& programFilePath);
QString ProgramTitle();

// Shows the modal fault box for errnoValue and returns when it is closed.
void FaultReport(QWidget* parent, int errnoValue);

}  // namespace vorneck
