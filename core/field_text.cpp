#include "field_text.h"

std::string QuotedField(std::string_view field) {
    constexpr std::size_t kShown = 24;
    std::string shown(field.substr(0, kShown));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return "\"" + shown + (field.size() > kShown ? "...\"" : "\"");
}
