// Text for machines and terminals: a JSON string that stays JSON whatever the bytes, and a
// field shown on a terminal without obeying what it holds.
#pragma once

#include <string>

// `s` as a JSON string literal, quotes included; a byte that is no UTF-8 becomes U+FFFD.
std::string JsonString(const std::string& s);
// `s` for a terminal: control bytes (escape sequences among them) and DEL shown as \xNN.
std::string PrintableText(const std::string& s);
