#include "idle/gnome_timers_reader.h"

#include <QAbstractEventDispatcher>
#include <array>

// GIO's headers name a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
// The memory backend, for tests.
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>
#pragma pop_macro("signals")

namespace idle {
namespace {

constexpr const char* kSessionSchema = "org.gnome.desktop.session";
constexpr const char* kScreensaverSchema = "org.gnome.desktop.screensaver";
constexpr const char* kPowerSchema = "org.gnome.settings-daemon.plugins.power";
/// idle-delay as GNOME Settings writes it: a uint32 of seconds.
constexpr int64_t kLongestIdleDelayMinutes = 24 * 60;

}  // namespace

/// One schema's settings, when the schema is installed and has a path.
struct SchemaSettings {
    GSettingsSchema* schema = nullptr;
    GSettings* settings = nullptr;
    std::string missing;  ///< why there are none: "no schema org.gnome.desktop.screensaver"

    /// The key's value when the schema has it with the given type; null otherwise (free it with
    /// g_variant_unref).
    GVariant* value(const char* key, const char* type) const {
        if (!settings || !g_settings_schema_has_key(schema, key)) return nullptr;
        GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
        const bool typed = g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey), G_VARIANT_TYPE(type));
        g_settings_schema_key_unref(schemaKey);
        return typed ? g_settings_get_value(settings, key) : nullptr;
    }
};

struct GnomeTimersReader::Gio {
    GSettingsSchemaSource* ownSchemas = nullptr;  ///< a test's folder; else the system's default
    GSettingsBackend* backend = nullptr;          ///< a test's memory; else the default (dconf)
    std::array<SchemaSettings, 3> schemas;        ///< session, screensaver, power

    SchemaSettings& session() { return schemas[0]; }
    SchemaSettings& screensaver() { return schemas[1]; }
    SchemaSettings& power() { return schemas[2]; }

    SchemaSettings open(const char* id) {
        SchemaSettings result;
        GSettingsSchemaSource* source = ownSchemas ? ownSchemas : g_settings_schema_source_get_default();
        if (source) result.schema = g_settings_schema_source_lookup(source, id, TRUE);
        if (!result.schema) {
            result.missing = std::string("no schema ") + id;
            return result;
        }
        // A schema without a path (a relocatable one) would make g_settings_new_full() abort.
        if (!g_settings_schema_get_path(result.schema)) {
            result.missing = std::string("the schema ") + id + " has no path";
            return result;
        }
        result.settings = g_settings_new_full(result.schema, backend, nullptr);
        return result;
    }

    ~Gio() {
        for (SchemaSettings& schema : schemas) {
            if (schema.settings) g_object_unref(schema.settings);
            if (schema.schema) g_settings_schema_unref(schema.schema);
        }
        if (backend) g_object_unref(backend);
        if (ownSchemas) g_settings_schema_source_unref(ownSchemas);
    }
};

GnomeTimersReader::GnomeTimersReader(IdleLog log, const GnomeSettingsSource& source)
    : gio_(std::make_unique<Gio>()), log_(std::move(log)) {
    if (!source.schemaFolder.empty()) {
        GError* error = nullptr;
        gio_->ownSchemas =
            g_settings_schema_source_new_from_directory(source.schemaFolder.c_str(), nullptr, TRUE, &error);
        if (error) g_error_free(error);
    }
    if (source.inMemory) gio_->backend = g_memory_settings_backend_new();
    gio_->session() = gio_->open(kSessionSchema);
    gio_->screensaver() = gio_->open(kScreensaverSchema);
    gio_->power() = gio_->open(kPowerSchema);
    using Changed = void (*)(GSettings*, const char*, gpointer);
    const Changed onChanged = [](GSettings*, const char*, gpointer self) {
        static_cast<GnomeTimersReader*>(self)->settingsChanged();
    };
    for (SchemaSettings& schema : gio_->schemas)
        if (schema.settings) g_signal_connect(schema.settings, "changed", G_CALLBACK(onChanged), this);
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher && !dispatcher->inherits("QEventDispatcherGlib"))
        log_(host::LogLevel::Default,
             "Qt's event loop does not run GLib's here: changes to GNOME's settings are seen at the next idle "
             "period");
    last_ = read();
}

GnomeTimersReader::~GnomeTimersReader() {
    for (SchemaSettings& schema : gio_->schemas)
        if (schema.settings) g_signal_handlers_disconnect_by_data(schema.settings, this);
}

DesktopTimers GnomeTimersReader::read() {
    DesktopTimers timers;
    timers.desktop = "GNOME";
    timers.whereToChange = "Settings → Power (Screen Blank, Automatic Suspend), and Privacy → Screen";
    GVariant* idleDelay = gio_->session().value("idle-delay", "u");
    if (!idleDelay) {
        timers.unknownWhy = gio_->session().settings
                                ? std::string("its ") + kSessionSchema + " has no idle-delay of seconds"
                                : "its settings cannot be read (" + gio_->session().missing +
                                      "; package gsettings-desktop-schemas)";
        return timers;
    }
    timers.known = true;
    const uint32_t blank = g_variant_get_uint32(idleDelay);
    g_variant_unref(idleDelay);
    if (blank > 0) timers.blank = blank;
    if (g_settings_is_writable(gio_->session().settings, "idle-delay")) timers.fix = DesktopTimers::Fix::GnomeIdleDelay;

    std::vector<std::string> unread;
    GVariant* lockEnabled = gio_->screensaver().value("lock-enabled", "b");
    GVariant* lockDelay = gio_->screensaver().value("lock-delay", "u");
    if (lockEnabled && lockDelay) {
        if (timers.blank && g_variant_get_boolean(lockEnabled)) timers.lock = *timers.blank + g_variant_get_uint32(lockDelay);
    } else {
        unread.push_back("the lock (" +
                         (gio_->screensaver().settings ? std::string("no lock-enabled or lock-delay")
                                                       : gio_->screensaver().missing) +
                         ")");
    }
    if (lockEnabled) g_variant_unref(lockEnabled);
    if (lockDelay) g_variant_unref(lockDelay);

    bool sleepRead = true;
    for (const bool battery : {false, true}) {
        GVariant* timeout = gio_->power().value(battery ? "sleep-inactive-battery-timeout" : "sleep-inactive-ac-timeout", "i");
        GVariant* type = gio_->power().value(battery ? "sleep-inactive-battery-type" : "sleep-inactive-ac-type", "s");
        if (timeout && type) {
            const int32_t seconds = g_variant_get_int32(timeout);
            if (seconds > 0 && std::string(g_variant_get_string(type, nullptr)) != "nothing")
                (battery ? timers.sleepOnBattery : timers.sleepOnAc) = seconds;
        } else {
            sleepRead = false;
        }
        if (timeout) g_variant_unref(timeout);
        if (type) g_variant_unref(type);
    }
    if (!sleepRead)
        unread.push_back("the sleep (" +
                         (gio_->power().settings ? std::string("no sleep-inactive timeout or type") : gio_->power().missing) +
                         ")");
    for (size_t i = 0; i < unread.size(); ++i) timers.unread += (i ? "; " : "") + unread[i];
    return timers;
}

void GnomeTimersReader::settingsChanged() {
    DesktopTimers now = read();
    if (now == last_) return;
    last_ = std::move(now);
    emit changed();
}

void GnomeTimersReader::recheck() { settingsChanged(); }

bool GnomeTimersReader::letBlankAfter(int64_t minutes, std::string* why) {
    auto refuse = [why](std::string reason) {
        if (why) *why = std::move(reason);
        return false;
    };
    GSettings* session = gio_->session().settings;
    if (!session || !g_settings_schema_has_key(gio_->session().schema, "idle-delay"))
        return refuse("GNOME's idle-delay cannot be read here");
    if (minutes < 1 || minutes > kLongestIdleDelayMinutes) return refuse("not a time GNOME's idle-delay takes");
    if (!g_settings_is_writable(session, "idle-delay")) return refuse("GNOME's idle-delay is locked by the administrator");
    if (!g_settings_set_value(session, "idle-delay", g_variant_new_uint32(static_cast<uint32_t>(minutes * 60))))
        return refuse("GNOME's idle-delay did not take the value");
    // The write goes to dconf-service over the session bus: it is made (or refused, and the old
    // value back) before this returns.
    g_settings_sync();
    GVariant* kept = gio_->session().value("idle-delay", "u");
    const bool written = kept && g_variant_get_uint32(kept) == minutes * 60;
    if (kept) g_variant_unref(kept);
    if (!written) return refuse("GNOME's settings did not keep the new idle-delay");
    log_(host::LogLevel::Default, "set GNOME's idle-delay to " + std::to_string(minutes * 60) + " seconds");
    settingsChanged();
    return true;
}

}  // namespace idle
