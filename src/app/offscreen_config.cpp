#include "app/offscreen_config.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace app {
namespace {

/// Largest screens file read: far more than any real description needs.
constexpr qint64 kMaxScreensFileSize = 1 << 20;
/// Screens lie within this distance of the origin, so sums of coordinates stay in range.
constexpr int kMaxCoordinate = 1 << 20;

bool readInteger(const QJsonObject& object, const char* key, bool required, int lower, int upper, int* value,
                 std::string* error, size_t index) {
    const QJsonValue v = object.value(QLatin1String(key));
    const std::string where = "screen " + std::to_string(index) + ": '" + key + "'";
    if (v.isUndefined()) {
        if (!required) return true;
        *error = where + " is missing";
        return false;
    }
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d) || d < lower || d > upper) {
        *error = where + " must be a whole number from " + std::to_string(lower) + " to " + std::to_string(upper);
        return false;
    }
    *value = static_cast<int>(d);
    return true;
}

}  // namespace

bool readScreensFile(const std::string& path, std::vector<OffscreenScreen>* screens, std::string* error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot read the screens file '" + path + "': " + file.errorString().toStdString();
        return false;
    }
    if (file.size() > kMaxScreensFileSize) {
        *error = "the screens file '" + path + "' is too large";
        return false;
    }
    const QByteArray text = file.read(kMaxScreensFileSize + 1);
    return parseScreens(std::string_view(text.constData(), static_cast<size_t>(text.size())), path, screens, error);
}

bool parseScreens(std::string_view text, const std::string& path, std::vector<OffscreenScreen>* screens,
                  std::string* error) {
    if (text.size() > static_cast<size_t>(kMaxScreensFileSize)) {
        *error = "the screens file '" + path + "' is too large";
        return false;
    }
    QJsonParseError parseError{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = "the screens file '" + path + "' is not valid JSON: " + parseError.errorString().toStdString() +
                 " at offset " + std::to_string(parseError.offset);
        return false;
    }
    const QJsonArray list = document.object().value(QLatin1String("screens")).toArray();
    if (!document.isObject() || list.isEmpty()) {
        *error = "the screens file '" + path + "' has no \"screens\" list";
        return false;
    }
    if (static_cast<size_t>(list.size()) > kMaxScreens) {
        *error = "the screens file '" + path + "' lists more than " + std::to_string(kMaxScreens) + " screens";
        return false;
    }
    screens->clear();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const size_t index = static_cast<size_t>(i);
        if (!list[i].isObject()) {
            *error = "screen " + std::to_string(index) + " is not an object";
            return false;
        }
        const QJsonObject object = list[i].toObject();
        OffscreenScreen screen;
        screen.name = object.value(QLatin1String("name")).toString().toStdString();
        if (screen.name.empty()) screen.name = "Screen" + std::to_string(index);
        if (!readInteger(object, "x", false, -kMaxCoordinate, kMaxCoordinate, &screen.x, error, index) ||
            !readInteger(object, "y", false, -kMaxCoordinate, kMaxCoordinate, &screen.y, error, index) ||
            !readInteger(object, "width", true, 1, kMaxSide, &screen.width, error, index) ||
            !readInteger(object, "height", true, 1, kMaxSide, &screen.height, error, index))
            return false;
        const QJsonValue dpr = object.value(QLatin1String("dpr"));
        if (!dpr.isUndefined()) {
            const double d = dpr.toDouble(std::nan(""));
            if (!dpr.isDouble() || !(d > 0) || d > kMaxDevicePixelRatio) {
                *error = "screen " + std::to_string(index) + ": 'dpr' must be a number above 0 and at most " +
                         std::to_string(static_cast<int>(kMaxDevicePixelRatio));
                return false;
            }
            screen.dpr = d;
        }
        if (screen.width * screen.dpr > kMaxSide || screen.height * screen.dpr > kMaxSide) {
            *error = "screen " + std::to_string(index) + " has more than " + std::to_string(kMaxSide) +
                     " pixels on a side";
            return false;
        }
        screens->push_back(screen);
    }
    return true;
}

std::string offscreenConfiguration(const std::vector<OffscreenScreen>& screens) {
    QJsonArray list;
    for (const OffscreenScreen& s : screens) {
        QJsonObject object;
        object.insert(QLatin1String("name"), QString::fromStdString(s.name));
        object.insert(QLatin1String("x"), s.x);
        object.insert(QLatin1String("y"), s.y);
        object.insert(QLatin1String("width"), s.width);
        object.insert(QLatin1String("height"), s.height);
        object.insert(QLatin1String("logicalDpi"), 96);
        object.insert(QLatin1String("logicalBaseDpi"), 96);
        object.insert(QLatin1String("dpr"), s.dpr);
        list.append(object);
    }
    QJsonObject root;
    root.insert(QLatin1String("screens"), list);
    return QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString();
}

std::string selectOffscreenPlatform(const std::vector<OffscreenScreen>& screens, std::string* error) {
    // The platform name and its parameters are separated by ':', so the file's path must not
    // hold one; a file of our own in the temporary folder is also safe from what the user named.
    std::string folder = QDir::tempPath().toStdString();
    if (folder.find(':') != std::string::npos) folder = "/tmp";
    std::string path = folder + "/tavrin-screens-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        *error = "cannot create a temporary file in " + folder + ": " + std::strerror(errno);
        return {};
    }
    const std::string json = offscreenConfiguration(screens);
    size_t done = 0;
    while (done < json.size()) {
        const ssize_t n = ::write(fd, json.data() + done, json.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(path.c_str());
            return {};
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    const std::string platform = "offscreen:configfile=" + path;
    ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    return path;
}

}  // namespace app
