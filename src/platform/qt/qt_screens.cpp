#include "platform/qt/qt_screens.h"

#include <QGuiApplication>
#include <QScreen>

namespace qtbackend {

host::CGRect globalFrameFromQt(const QRect& primaryGeometry, const QRect& geometry) {
    // Measured from the primary's top-left, a screen's bottom edge lies at (y + height) downwards;
    // the host counts upwards from the primary's bottom edge.
    const double x = static_cast<double>(geometry.x()) - primaryGeometry.x();
    const double bottomDown = static_cast<double>(geometry.y()) + geometry.height() - primaryGeometry.y();
    const double y = static_cast<double>(primaryGeometry.height()) - bottomDown;
    return host::NSMakeRect(x, y, geometry.width(), geometry.height());
}

QtScreenList::QtScreenList() { refresh(); }

void QtScreenList::refresh() {
    if (!qGuiApp) {
        list_.clear();
        return;
    }
    refresh(QGuiApplication::screens(), QGuiApplication::primaryScreen());
}

void QtScreenList::refresh(const QList<QScreen*>& qscreens, QScreen* primary) {
    const QRect primaryGeometry = primary ? primary->geometry() : QRect();
    std::vector<std::shared_ptr<host::Screen>> next;
    next.reserve(static_cast<size_t>(qscreens.size()));
    for (QScreen* q : qscreens) {
        const host::CGRect frame = globalFrameFromQt(primaryGeometry, q->geometry());
        std::shared_ptr<QtScreen> screen = screenFor(q);
        if (screen)
            screen->setFrame(frame);
        else
            screen = std::make_shared<QtScreen>(q, frame);
        next.push_back(std::move(screen));
    }
    list_ = std::move(next);
}

std::shared_ptr<QtScreen> QtScreenList::screenFor(const QScreen* qscreen) const {
    if (!qscreen) return nullptr;
    for (const auto& s : list_) {
        auto* qs = static_cast<QtScreen*>(s.get());
        if (qs->qscreen() == qscreen) return std::static_pointer_cast<QtScreen>(s);
    }
    return nullptr;
}

}  // namespace qtbackend
