#include "app/translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/file_bundle.h"

namespace app {

QStringList translationFolders() {
    std::vector<std::string> folders = posix::resourceSearchFolders();
    const char* only = std::getenv("TAVRIN_RESOURCE_DIR");
    if (!(only && *only)) folders.insert(folders.begin(), posix::programFolder());
    QStringList translations;
    for (const std::string& folder : folders)
        if (!folder.empty()) translations.push_back(QString::fromStdString(folder) + QStringLiteral("/translations"));
    return translations;
}

bool loadTranslation(QTranslator& translator, const QLocale& locale, const QString& name, const QStringList& folders) {
    for (const QString& language : locale.uiLanguages()) {
        const QLocale one(language);
        if (one.language() == QLocale::English || one.language() == QLocale::C) return false;
        for (const QString& folder : folders)
            if (translator.load(one, name, QStringLiteral("_"), folder)) return true;
    }
    return false;
}

TextLookup terminalLookup(const QTranslator& translator) {
    return [&translator](const char* context, const char* text) {
        const QString shown = translator.translate(context, text);
        return shown.isEmpty() ? std::string(text) : shown.toStdString();
    };
}

TextLookup applicationLookup() {
    return [](const char* context, const char* text) {
        return QCoreApplication::translate(context, text).toStdString();
    };
}

void printError(const Message& message, const TextLookup& lookup) {
    std::fprintf(stderr, "tavrin: %s\n", message.format(lookup).c_str());
}

}  // namespace app
