#include "app/NoDisplayExit.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace lark {
namespace {

struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};

QtMessageHandler previous = nullptr;
std::vector<HeldMessage> held;

void PassOn(const HeldMessage& m) {
    const QMessageLogContext context(m.file.c_str(), m.line, m.function.c_str(),
                                     m.category.c_str());
    previous(m.type, context, m.text);
}

void Hold(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    auto str = [](const char* s) { return std::string(s ? s : ""); };
    held.push_back({type, str(context.file), str(context.function), str(context.category),
                    context.line, text});
    if (type != QtFatalMsg) {
        return;
    }
    // The only fatal error of QApplication's construction: no platform plugin could start.
    const bool display =
        qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (display) {
        for (const HeldMessage& m : held) {
            if (m.type != QtFatalMsg) {
                PassOn(m);
            }
        }
    }
    std::fprintf(stderr, "larkspool8: %s\n",
                 display ? "could not open a window on the display"
                         : "no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY "
                           "is set)");
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

NoDisplayExit::NoDisplayExit() {
    previous = qInstallMessageHandler(Hold);
}

void NoDisplayExit::Release() {
    if (released_) {
        return;
    }
    released_ = true;
    qInstallMessageHandler(previous);
    for (const HeldMessage& m : held) {
        PassOn(m);
    }
    held.clear();
}

}  // namespace lark
