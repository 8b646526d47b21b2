// The program in the user's language: Qt translation files (tavrin_de.qm...), made by the build from
// translations/tavrin_<language>.ts and installed with the pictures, and the lookup of the terminal's
// texts, which are printed before the application exists.
#pragma once

#include <QString>
#include <QStringList>

#include "app/terminal_text.h"

class QLocale;
class QTranslator;

namespace app {

/// Where the program's .qm files are looked for, in order: `translations` in each folder of
/// posix::resourceSearchFolders() (only $TAVRIN_RESOURCE_DIR when set, as for the pictures), after
/// the program's own folder's `translations`, where the build puts them.
QStringList translationFolders();

/// Loads into `translator` the file `<name>_<language>.qm` of the first of the locale's UI languages
/// that has one in one of `folders`. English, the language of the source texts, ends the search:
/// a user who puts it before German reads English. False when the texts stay English.
bool loadTranslation(QTranslator& translator, const QLocale& locale, const QString& name, const QStringList& folders);

/// The terminal's lookup through `translator`, which may be used before any application exists.
TextLookup terminalLookup(const QTranslator& translator);

/// The terminal's lookup through the application's translators.
TextLookup applicationLookup();

/// Prints "tavrin: <message>" on standard error, in the user's language as `lookup` finds it.
void printError(const Message& message, const TextLookup& lookup = applicationLookup());

}  // namespace app
