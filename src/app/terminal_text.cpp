#include "app/terminal_text.h"

namespace app {

std::string englishText(const char*, const char* text) { return text; }

std::string Message::format(const TextLookup& lookup) const {
    if (!text) return {};
    const std::string shown = lookup ? lookup(kTerminalContext, text) : std::string(text);
    std::string result;
    result.reserve(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        const char next = i + 1 < shown.size() ? shown[i + 1] : '\0';
        const size_t index = static_cast<size_t>(next - '1');
        if (shown[i] == '%' && next >= '1' && next <= '9' && index < arguments.size()) {
            result += arguments[index];
            ++i;
        } else {
            result += shown[i];
        }
    }
    return result;
}

}  // namespace app
