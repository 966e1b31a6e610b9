// What qtor-ctl's commands end with and print: the exit statuses and JSON strings.
#pragma once

#include <string>

// Exit statuses, as documented in the usage text.
enum CtlExit : int {
    kCtlOk = 0,
    kCtlDiffers = 1,  // a read-back or a comparison differs
    kCtlUsage = 2,
    kCtlLink = 3,  // cannot open, time-out, wrong sync word, short reply
    kCtlFile = 4,
};

// `s` as a JSON string literal, quotes included; a byte that is no UTF-8 becomes U+FFFD.
std::string JsonString(const std::string& s);
// `s` for a terminal: control bytes (escape sequences among them) and DEL shown as \xNN.
std::string PrintableText(const std::string& s);
