// qtor-ctl: the sensor from scripts, on the program's link layer and without widgets.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Exit statuses, as documented in the usage text.
enum CtlExit : int {
    kCtlOk = 0,
    kCtlDiffers = 1,  // a read-back or a comparison differs
    kCtlUsage = 2,
    kCtlLink = 3,  // cannot open, time-out, wrong sync word, short reply
    kCtlFile = 4,
};

extern const char* const kCtlUsageText;

// `s` as a JSON string literal, quotes included.
std::string JsonString(const std::string& s);

// Runs one command line (the arguments after the program name). What the command prints goes
// to `out`, messages to `err`; returns the exit status. Needs the Qt application object.
int RunCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
