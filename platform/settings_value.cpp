// What a settings value means, the same for every platform's INI reader.
#include "platform/settings.h"

namespace zelmo {
namespace {

constexpr const char* kBlanks = " \t";

// text without the blanks around it.
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

// Neither SimpleIni nor the Windows profile functions know inline comments, though people (and
// our own README) write them; both readers pass their raw values through here. The quotes around
// a whole value go first, as the Windows functions take them off before we see the value.
std::string profileValue(const std::string& raw) {
    std::string value = trimmed(raw);
    const bool quoted =
        value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    if (quoted) value = value.substr(1, value.size() - 2);
    for (std::size_t at = 0; at < value.size(); ++at) {
        const bool commentMark = value[at] == ';' || value[at] == '#';
        if (commentMark && (at == 0 || value[at - 1] == ' ' || value[at - 1] == '\t'))
            return trimmed(value.substr(0, at));
    }
    return value;
}

}  // namespace zelmo
