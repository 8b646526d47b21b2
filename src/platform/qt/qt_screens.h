// Displays of the Qt backend. Qt places screens in one space with y growing downwards and the
// origin at the primary screen's top-left corner; the host's space has its origin at the primary
// display's lower-left corner and y growing upwards.
#pragma once

#include <QList>
#include <QRect>
#include <memory>
#include <vector>

#include "host/services.h"

class QScreen;

namespace qtbackend {

/// A Qt screen geometry (device-independent pixels, y down) in the host's global space, given the
/// primary screen's geometry.
host::CGRect globalFrameFromQt(const QRect& primaryGeometry, const QRect& geometry);

/// One display. Its frame is a copy taken at the last refresh, so the object stays valid (and
/// keeps its identity) after Qt has deleted the QScreen it stood for.
class QtScreen : public host::Screen {
public:
    QtScreen(QScreen* qscreen, host::CGRect frame) : qscreen_(qscreen), frame_(frame) {}
    host::CGRect frame() const override { return frame_; }
    /// The Qt screen this stands for; a key only, never dereferenced after the screen went away.
    QScreen* qscreen() const { return qscreen_; }
    void setFrame(host::CGRect frame) { frame_ = frame; }

private:
    QScreen* qscreen_;
    host::CGRect frame_;
};

/// The displays in Qt's order, one stable object per QScreen for as long as Qt lists it.
class QtScreenList : public host::ScreenList {
public:
    QtScreenList();
    const std::vector<std::shared_ptr<host::Screen>>& screens() const override { return list_; }

    /// Rebuilds the list from the given screens (Qt's order, primary as given): screens seen
    /// before keep their object with an updated frame, new ones get a new object, others leave.
    void refresh(const QList<QScreen*>& qscreens, QScreen* primary);
    /// Rebuilds the list from QGuiApplication.
    void refresh();
    /// The object standing for a Qt screen, or none when it is not listed.
    std::shared_ptr<QtScreen> screenFor(const QScreen* qscreen) const;

private:
    std::vector<std::shared_ptr<host::Screen>> list_;
};

}  // namespace qtbackend
