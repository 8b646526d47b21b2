// The options sheet in the user's language. The module is plain C++ and keeps its sheet's texts in
// English; the Qt controls show them through sheetText, in the translation context "OptionsSheet",
// and the module reads back its own texts.
#pragma once

#include <QString>
#include <string_view>

namespace app {

/// The text a sheet control shows for a text of the module: the translation of a text listed in
/// sheet_texts.cpp, the version line with its parts put into the translated line, and anything
/// else (a slider's value) as it is.
QString sheetText(std::string_view text);

}  // namespace app
