#include "app/translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

#include "platform/posix/file_bundle.h"

namespace app {

QStringList translationFolders() {
    QStringList folders;
    const std::vector<std::string> resources = posix::resourceSearchFolders();
    const std::string program = posix::programFolder();
    if (!std::getenv("TAVRIN_RESOURCE_DIR") || !*std::getenv("TAVRIN_RESOURCE_DIR"))
        if (!program.empty()) folders.push_back(QString::fromStdString(program) + QStringLiteral("/translations"));
    for (const std::string& folder : resources)
        folders.push_back(QString::fromStdString(folder) + QStringLiteral("/translations"));
    return folders;
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
    return [](const char* context, const char* text) { return QCoreApplication::translate(context, text).toStdString(); };
}

void printError(const Message& message, const TextLookup& lookup) {
    std::fprintf(stderr, "tavrin: %s\n", message.format(lookup).c_str());
}

}  // namespace app
