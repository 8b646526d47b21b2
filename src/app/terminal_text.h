// Texts the program prints for the user on the terminal (the help, usage errors): English in the
// source, shown in the user's language where they are printed. This part is plain C++, so that the
// command line is read (and fuzzed) without Qt; the program passes a lookup into its translations.
#pragma once

#include <functional>
#include <string>
#include <vector>

/// Marks an English text for the translators and gives it unchanged. lupdate reads it as
/// QT_TRANSLATE_NOOP (CMakeLists.txt passes the alias); the text is looked up where it is shown.
#define TAVRIN_TRANSLATE_NOOP(context, text) text

namespace app {

/// The translation context of the terminal's texts.
inline constexpr const char* kTerminalContext = "CommandLine";

/// The user's language's text for an English text of a translation context; the English text
/// itself when there is none.
using TextLookup = std::function<std::string(const char* context, const char* text)>;

/// The lookup of a program without translations: every text stays English.
std::string englishText(const char* context, const char* text);

/// A message for the user: an English text of kTerminalContext with %1, %2... for its arguments.
struct Message {
    Message(const char* text = nullptr, std::vector<std::string> arguments = {})
        : text(text), arguments(std::move(arguments)) {}

    const char* text;  ///< marked with TAVRIN_TRANSLATE_NOOP; none when there is no message
    std::vector<std::string> arguments;

    bool empty() const { return text == nullptr; }
    /// The text as `lookup` finds it, with %1...%9 replaced by the arguments in one pass (an
    /// argument holding "%1" stays as it is); a number without an argument stays as written.
    std::string format(const TextLookup& lookup = englishText) const;
};

}  // namespace app
