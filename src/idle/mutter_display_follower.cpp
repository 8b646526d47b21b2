// Mutter's display power saving (org.gnome.Mutter.DisplayConfig on the session bus): GNOME's
// power daemon sets PowerSaveMode to turn every display off once the session has been idle long
// enough (0 on, 1 standby, 2 suspend, 3 off, -1 unknown). While they are dark a saver draws for
// nobody.
#include "idle/followed_service.h"
#include "idle/followers.h"

namespace idle {
namespace {

class MutterDisplayFollower : public SessionFollower {
public:
    MutterDisplayFollower(const QDBusConnection& bus, IdleLog log)
        : SessionFollower(Effect::Cover),
          log_(std::move(log)),
          mutter_(bus, QStringLiteral("org.gnome.Mutter.DisplayConfig")) {
        mutter_.followProperty(QStringLiteral("/org/gnome/Mutter/DisplayConfig"),
                               QStringLiteral("org.gnome.Mutter.DisplayConfig"), QStringLiteral("PowerSaveMode"),
                               QMetaType::fromType<int>(), [this](const QVariant& value, const std::string& error) {
                                   if (!error.empty() && !complained_)
                                       log_(host::LogLevel::Error, "Mutter answers PowerSaveMode with " + error +
                                                                       "; the displays count as on");
                                   complained_ = complained_ || !error.empty();
                                   apply(value.isValid() ? value.toInt() : -1);
                               });
    }

    QString name() const override { return QStringLiteral("Mutter's display power saving (PowerSaveMode)"); }

private:
    void apply(int mode) {
        static const char* const kModes[] = {"standby", "suspend", "off"};
        if (mode >= 1 && mode <= 3)
            setActive(true, std::string("every display is dark (Mutter's power saving: ") + kModes[mode - 1] + ")");
        else
            setActive(false);
    }

    IdleLog log_;
    FollowedService mutter_;
    bool complained_ = false;
};

}  // namespace

std::unique_ptr<SessionFollower> followMutterDisplayPower(const QDBusConnection& sessionBus, const IdleLog& log) {
    return std::make_unique<MutterDisplayFollower>(sessionBus, log);
}

}  // namespace idle
