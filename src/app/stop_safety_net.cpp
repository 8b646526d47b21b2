#include "app/stop_safety_net.h"

#include <QCoreApplication>

#include "platform/qt/qt_host.h"

namespace app {
namespace {

constexpr int kStopSafetyNetMs = 30000;

}  // namespace

StopSafetyNet::StopSafetyNet(qtbackend::QtHost& host) {
    timer_.setSingleShot(true);
    timer_.setInterval(kStopSafetyNetMs);
    QObject::connect(&timer_, &QTimer::timeout, [&host] {
        host.logLine(host::LogLevel::Error, "the screen saver was still running 30 s after the stop - exiting");
        QCoreApplication::exit(0);
    });
}

}  // namespace app
