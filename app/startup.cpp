// SPDX-License-Identifier: MIT
#include "app/startup.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vorneck {
namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler previousHandler = nullptr;
QList<HeldMessage>* heldMessages = nullptr;

void HoldOrGiveUp(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        // Qt found no window system to start on; it would abort next.
        const std::string line = NoDisplayLine(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    heldMessages->append({type, QByteArray(context.category != nullptr ? context.category : "default"), text});
}

}  // namespace

StartRequest ReadArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return StartRequest::Help;
        if (std::strcmp(argv[i], "--version") == 0) return StartRequest::Version;
    }
    return StartRequest::Window;
}

std::string UsageText() {
    return "Usage: vorneck [--help | --version]\n"
           "\n"
           "Takes the instrument samples out of music module files (four-channel MODs\n"
           "and MMD0-MMD3 modules) in a window: choose a source directory, select the\n"
           "modules, name a destination directory and press \"Vorneck!\". Each sample\n"
           "is written raw to a file of its own.\n"
           "\n"
           "The window needs a graphical display. Qt's own options, such as\n"
           "-display or -platform, are passed on to Qt. For the command line, see\n"
           "vorneck-cli(1).\n"
           "\n"
           "  -h, --help     show this text and exit\n"
           "      --version  show the version and exit\n";
}

std::string VersionText() { return std::string("vorneck ") + VORNECK_VERSION + "\n"; }

std::string NoDisplayLine(const char* display, const char* waylandDisplay) {
    const bool haveX = display != nullptr && *display != '\0';
    const bool haveWayland = waylandDisplay != nullptr && *waylandDisplay != '\0';
    if (haveX) return std::string("vorneck: cannot open display ") + display;
    if (haveWayland) return std::string("vorneck: cannot open Wayland display ") + waylandDisplay;
    return "vorneck: no display to open (DISPLAY is not set)";
}

DisplayGuard::DisplayGuard() {
    heldMessages = new QList<HeldMessage>;
    previousHandler = qInstallMessageHandler(&HoldOrGiveUp);
}

DisplayGuard::~DisplayGuard() {
    qInstallMessageHandler(previousHandler);
    QList<HeldMessage>* held = heldMessages;
    heldMessages = nullptr;
    for (const HeldMessage& message : *held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        previousHandler(message.type, context, message.text);
    }
    delete held;
}

}  // namespace vorneck
