#include "app/qt_messages.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "platform/posix/system_services.h"

namespace app {
namespace {

// Qt calls the handler from anywhere; the state it needs is the process's.
bool gToStderr = false;
bool gWindowSystemReady = false;
posix::SysLog* gLog = nullptr;
std::string gLastWarning;

std::string firstLine(const QString& text) {
    const std::string s = text.toStdString();
    return s.substr(0, s.find('\n'));
}

void handleQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        if (!gWindowSystemReady) {
            const std::string why = gLastWarning.empty() ? firstLine(message) : gLastWarning;
            std::fprintf(stderr, "tavrin: cannot open the display: %s\n", why.c_str());
        } else {
            std::fprintf(stderr, "tavrin: fatal error in Qt: %s\n", firstLine(message).c_str());
        }
        std::fflush(stderr);
        ::_exit(1);
    }
    const bool important = type == QtWarningMsg || type == QtCriticalMsg;
    if (important) gLastWarning = firstLine(message);
    if (!important && !gToStderr) return;
    const host::LogLevel level = type == QtCriticalMsg ? host::LogLevel::Error
                                 : type == QtWarningMsg ? host::LogLevel::Default
                                                        : host::LogLevel::Debug;
    if (gLog) {
        gLog->message(level, "qt", message.toStdString());
    } else if (gToStderr) {
        std::fprintf(stderr, "tavrin: qt: %s\n", message.toLocal8Bit().constData());
    }
}

}  // namespace

void installQtMessageHandler(bool toStderr) {
    gToStderr = toStderr;
    qInstallMessageHandler(handleQtMessage);
}

void setQtMessageLog(posix::SysLog* log) { gLog = log; }

void setWindowSystemReady() { gWindowSystemReady = true; }

}  // namespace app
