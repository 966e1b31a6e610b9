#include "json_text.h"

#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence at s[i], or 0 when the bytes there are none
// (overlong forms, surrogates and code points beyond U+10FFFF included).
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const auto at = [&](std::size_t k) {
        return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
    };
    const auto tail = [&](std::size_t k) { return (at(k) & 0xC0u) == 0x80u; };
    const unsigned lead = at(0);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return tail(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned second = at(1);
        const bool ok = lead == 0xE0   ? second >= 0xA0 && second <= 0xBF
                        : lead == 0xED ? second >= 0x80 && second <= 0x9F
                                       : tail(1);
        return ok && tail(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned second = at(1);
        const bool ok = lead == 0xF0   ? second >= 0x90 && second <= 0xBF
                        : lead == 0xF4 ? second >= 0x80 && second <= 0x8F
                                       : tail(1);
        return ok && tail(2) && tail(3) ? 4 : 0;
    }
    return 0;
}

}  // namespace

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        const std::size_t length = Utf8Length(s, i);
        if (length == 0) {
            // A byte that is no UTF-8 would make the output no JSON: the replacement character.
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out.append(s, i, length);
        }
        i += length;
    }
    return out + "\"";
}

std::string PrintableText(const std::string& s) {
    std::string out;
    for (char c : s) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", byte);
            out += esc;
        } else {
            out += c;
        }
    }
    return out;
}
