// logind's idle inhibitors (system bus): while a program holds one ("systemd-inhibit --what=idle",
// a video player), no saver starts, as swayidle and hypridle run no command then. The manager's
// BlockInhibited lists what is blocked and changes through PropertiesChanged; who holds the
// inhibitors and why comes from ListInhibitors, for the log.
#include <QDBusArgument>

#include "idle/followed_service.h"
#include "idle/inhibitor_list.h"
#include "idle/followers.h"

namespace idle {
namespace {

class LogindInhibitorFollower : public SessionFollower {
public:
    LogindInhibitorFollower(const QDBusConnection& bus, IdleLog log)
        : SessionFollower(Effect::KeepAway), log_(std::move(log)), logind_(bus, logind::kService) {
        logind_.followProperty(logind::kPath, logind::kManager, QStringLiteral("BlockInhibited"),
                               QMetaType::fromType<QString>(), [this](const QVariant& value, const std::string& error) {
                                   if (!error.empty()) complain("answers BlockInhibited with " + error);
                                   apply(value.toString());
                               });
    }

    QString name() const override { return QStringLiteral("logind's idle inhibitors"); }

private:
    void apply(const QString& blocked) {
        const unsigned changes = ++changes_;
        if (!blocksIdle(blocked)) {
            setActive(false);
            return;
        }
        logind_.call(logind::kPath, logind::kManager, QStringLiteral("ListInhibitors"), {},
                     [this, changes](const QDBusMessage& reply) {
                         if (changes == changes_) setActive(true, holders(reply));
                     });
    }

    /// "kept awake by mpv: Playing video", from the idle inhibitors that block.
    std::string holders(const QDBusMessage& reply) {
        bool wellFormed = false;
        std::vector<std::string> found;
        for (const Inhibitor& i : logindIdleInhibitorsIn(reply, &wellFormed))
            found.push_back(i.application + ": " + i.reason);
        if (!wellFormed) complain("answers ListInhibitors with " + replyError(reply));
        if (found.empty()) return "kept awake by an idle inhibitor of logind";
        std::string text = "kept awake by " + found.front();
        if (found.size() > 1) text += " (and " + std::to_string(found.size() - 1) + " more)";
        return text;
    }

    /// One line for the first nonsense, none for the rest.
    void complain(const std::string& what) {
        if (complained_) return;
        complained_ = true;
        log_(host::LogLevel::Error, "logind " + what);
    }

    IdleLog log_;
    FollowedService logind_;
    unsigned changes_ = 0;  ///< counts what came, to drop older answers
    bool complained_ = false;
};

}  // namespace

std::unique_ptr<SessionFollower> followLogindIdleInhibitors(const QDBusConnection& systemBus, const IdleLog& log) {
    return std::make_unique<LogindInhibitorFollower>(systemBus, log);
}

}  // namespace idle
