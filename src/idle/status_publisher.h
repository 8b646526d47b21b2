// Keeps the watcher's status file (watcher_status.h) up to date: whoever changes the status says
// so, and the file is written once on the next turn of the event loop, only when it differs from
// what was written last; it goes when the watcher ends. No timer runs in between.
#pragma once

#include <QObject>
#include <QTimer>
#include <string>

#include "idle/idle_source.h"
#include "idle/watcher_status.h"

namespace idle {

class StatusPublisher : public QObject {
public:
    StatusPublisher(std::string path, IdleLog log);
    ~StatusPublisher() override;

    WatcherStatus& status() { return status_; }
    /// The status changed: it is written soon.
    void changed() { later_.start(); }

private:
    void write();

    std::string path_;
    IdleLog log_;
    WatcherStatus status_;
    WatcherStatus written_;
    bool everWritten_ = false;
    bool failed_ = false;  ///< a write failed and was logged: the next failure is not
    QTimer later_;
};

}  // namespace idle
