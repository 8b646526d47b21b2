// The full-screen saver's half rate: with --half-rate every second frame is drawn (the motion
// on screen is unchanged); SIGUSR1 turns it on and SIGUSR2 off while the saver runs, which is how
// the idle watcher has a running saver follow the machine on and off battery.
#pragma once

namespace qtbackend {
class QtHost;
}

namespace app {

class StopSignals;

/// Sets the rate the run starts with and catches SIGUSR1 and SIGUSR2 on `stopSignals` (installed
/// already); the run's signal handler passes every signal to takeRateSignal first.
void startFrameRate(bool halfRate, qtbackend::QtHost& host, StopSignals& stopSignals);

/// True when `signo` was SIGUSR1 or SIGUSR2, which it then applied (and logged).
bool takeRateSignal(int signo, qtbackend::QtHost& host);

}  // namespace app
