// SPDX-License-Identifier: MIT
#include "ui/dialog_wiring.h"

#include <QWindow>

#include "ui/Main.h"
#include "ui/about.h"
#include "ui/dir_unit.h"

namespace vorneck {

void ConnectDialogs(TForm1& form1, TForm2& form2, TAboutBox& aboutBox) {
    QObject::connect(&form1, &TForm1::DirectoryChooserRequested, &form2, &TForm2::Open);
    QObject::connect(&form1, &TForm1::AboutBoxRequested, &aboutBox, &TAboutBox::Open);
    form1.winId();
    for (QWidget* dialog : {static_cast<QWidget*>(&form2), static_cast<QWidget*>(&aboutBox)}) {
        dialog->winId();
        dialog->windowHandle()->setTransientParent(form1.windowHandle());
    }
}

}  // namespace vorneck
