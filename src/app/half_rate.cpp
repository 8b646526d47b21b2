#include "app/half_rate.h"

#include <csignal>

#include "app/signal_pipe.h"
#include "platform/qt/qt_host.h"

namespace app {

void startFrameRate(bool halfRate, qtbackend::QtHost& host, StopSignals& stopSignals) {
    host.framePacing().setHalfRate(halfRate);
    if (halfRate) host.logLine(host::LogLevel::Default, "half rate: every second frame is drawn");
    if (!stopSignals.alsoCatch(SIGUSR1) || !stopSignals.alsoCatch(SIGUSR2))
        host.logLine(host::LogLevel::Error, "cannot watch for SIGUSR1 and SIGUSR2; the frame rate stays as it is");
}

bool takeRateSignal(int signo, qtbackend::QtHost& host) {
    if (signo != SIGUSR1 && signo != SIGUSR2) return false;
    const bool half = signo == SIGUSR1;
    if (host.framePacing().halfRate() != half) {
        host.framePacing().setHalfRate(half);
        host.logLine(host::LogLevel::Default,
                     half ? "half rate: every second frame is drawn" : "full rate: every frame is drawn");
    }
    return true;
}

}  // namespace app
