#include "idle/status_publisher.h"

#include <unistd.h>

namespace idle {

StatusPublisher::StatusPublisher(std::string path, IdleLog log) : path_(std::move(path)), log_(std::move(log)) {
    later_.setSingleShot(true);
    later_.setInterval(0);
    connect(&later_, &QTimer::timeout, this, &StatusPublisher::write);
}

StatusPublisher::~StatusPublisher() {
    if (everWritten_) ::unlink(path_.c_str());
}

void StatusPublisher::write() {
    if (everWritten_ && status_ == written_) return;
    std::string why;
    if (!writeWatcherStatus(path_, status_, &why)) {
        if (!failed_) log_(host::LogLevel::Error, why + ": 'tavrin --idle-status' cannot tell what the watcher does");
        failed_ = true;
        return;
    }
    failed_ = false;
    everWritten_ = true;
    written_ = status_;
}

}  // namespace idle
