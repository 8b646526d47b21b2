#include "app/sheet_texts.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <string>

#include "module/settings/options_sheet.h"

namespace app {
namespace {

constexpr const char* kContext = "OptionsSheet";

// The module's texts, for lupdate, which finds no markers in the module. The settings' titles and
// labels serve the command line's help as well. The tests check that the sheet shows none of them
// in English.
[[maybe_unused]] constexpr const char* kModuleTexts[] = {
    QT_TRANSLATE_NOOP("OptionsSheet", "Tavrin Screensaver Options"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Visual Effects"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Fade Trails"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Neon Glow"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Collision Flash"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Color Drift"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Starfield Background"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Collision Sparks"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Cross-Monitor Sparks"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Ball Curve (Magnus Effect)"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Spin bends the wheel's flight path, the way a struck ball curves. Speed is "
                                      "unaffected, so it still reaches every part of the screen."),
    QT_TRANSLATE_NOOP("OptionsSheet", "Settings"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Trail Length:"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Glow Size:"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Star Count:"),
    QT_TRANSLATE_NOOP("OptionsSheet", "OK"),
    QT_TRANSLATE_NOOP("OptionsSheet", "Cancel"),
    // The version line, as the module makes it with "%1", "%2" and "%3" for its parts.
    QT_TRANSLATE_NOOP("OptionsSheet", "Version: %1 (%2) — built %3"),
};

/// The module's version line with %1, %2, %3 for the version, the build and the date, and the
/// expression that finds those parts in a line.
struct VersionLine {
    std::string pattern = tavrin::sheetVersionLine("%1", "%2", "%3");
    QRegularExpression parts;

    VersionLine() {
        QString expression = QRegularExpression::escape(QString::fromStdString(pattern));
        for (const char* number : {"%1", "%2", "%3"})
            expression.replace(QRegularExpression::escape(QString::fromLatin1(number)), QStringLiteral("(.*)"));
        parts.setPattern(QRegularExpression::anchoredPattern(expression));
    }
};

}  // namespace

QString sheetText(std::string_view text) {
    const std::string english(text);
    const QString translated = QCoreApplication::translate(kContext, english.c_str());
    if (translated != QString::fromStdString(english)) return translated;
    static const VersionLine version;
    const QRegularExpressionMatch match = version.parts.match(translated);
    if (!match.hasMatch()) return translated;
    return QCoreApplication::translate(kContext, version.pattern.c_str())
        .arg(match.captured(1), match.captured(2), match.captured(3));
}

}  // namespace app
