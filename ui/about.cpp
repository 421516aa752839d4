// SPDX-License-Identifier: MIT
#include "ui/about.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "ui/controls.h"
#include "ui/desktop_windows.h"
#include "ui/dialog_resources.h"

namespace {

QLabel* MakeLabel(const QString& text, QWidget* parent, int left, int top, const QFont* font, bool black) {
    auto* label = new QLabel(text, parent);
    if (font != nullptr) label->setFont(*font);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    label->move(left, top);
    label->adjustSize();
    return label;
}

// Where no face of Times's measures is installed, a wider serif face would
// run past the group's edge: such a line is set a little smaller instead.
void FitInto(QLabel* label, int right) {
    QFont font = label->font();
    while (label->geometry().right() > right && font.pixelSize() > 10) {
        font.setPixelSize(font.pixelSize() - 1);
        label->setFont(font);
        label->adjustSize();
    }
}

}  // namespace

TAboutBox::TAboutBox(vorneck::ChooserHost& host, QWidget* parent)
    : QWidget(parent, vorneck::kDialogWindowFlags), host_(host) {
    // A secondary window: closing it never ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    // Shown without waiting for it to close, but while it is open no other
    // window of the program takes input.
    setWindowModality(Qt::ApplicationModal);
    setFont(vorneck::DialogFont());
    setWindowTitle(QStringLiteral("About Vorneck"));
    setFixedSize(367, 232);

    AboutGroup = new QGroupBox(this);
    AboutGroup->setGeometry(8, 8, 353, 217);
    // Group boxes look as in the main window.
    vorneck::UseControlStyle(this, {AboutGroup});

    // The logo sits at the picture's top-left corner, neither stretched nor
    // centred.
    Image1 = new QLabel(AboutGroup);
    Image1->setGeometry(8, 24, 105, 177);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(vorneck::DialogPixmap(vorneck::DialogPicture::AboutLogo));

    const QFont title = vorneck::SerifItalicFont(24);
    const QFont credit1 = vorneck::SerifItalicFont(19);
    const QFont credit2 = vorneck::SerifItalicFont(21);
    QFont small = vorneck::DialogFont();
    Label1 = MakeLabel(QStringLiteral("Vorneck Version 2.02"), AboutGroup, 128, 24, &title, true);
    Label2 = MakeLabel(QStringLiteral("Written by the"), AboutGroup, 168, 64, &credit1, true);
    Label3 = MakeLabel(QStringLiteral("Vorneck developers"), AboutGroup, 168, 88, &credit2, true);
    Label5 = MakeLabel(QStringLiteral("Faults: see the issue tracker."), AboutGroup, 168, 112, nullptr, false);
    Label4 = MakeLabel(QStringLiteral("Thanks to all who write modules."), AboutGroup, 152, 144, &small, true);
    Label6 = MakeLabel(QStringLiteral("Sources: the Vorneck repository."), AboutGroup, 160, 160, nullptr, false);
    for (QLabel* label : {Label1, Label2, Label3}) FitInto(label, AboutGroup->width() - 8);

    // The button belongs to the window and lies over the group's area.
    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setGeometry(272, 192, 75, 25);
    Button1->setAutoDefault(true);
    Button1->setDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TAboutBox::Button1Click);
}

void TAboutBox::Open() {
    host_.SetMainWindowEnabled(false);
    if (!shownBefore_) vorneck::CentreOnScreen(this);
    shownBefore_ = true;
    Button1->setFocus();
    show();
    raise();
    activateWindow();
}

void TAboutBox::Button1Click() {
    host_.SetMainWindowEnabled(true);
    close();
}

void TAboutBox::closeEvent(QCloseEvent* event) {
    host_.SetMainWindowEnabled(true);
    event->accept();
}
