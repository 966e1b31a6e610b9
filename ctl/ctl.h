// qtor-ctl: the sensor from scripts, on the program's link layer and without widgets.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "ctl_output.h"

extern const char* const kCtlUsageText;

// Runs one command line (the arguments after the program name). What the command prints goes
// to `out`, messages to `err`; returns the exit status. Needs the Qt application object.
int RunCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same, a key for `lock set` and `lock clear` read from `in` (a terminal without echo when
// `in` is standard input and that is a terminal).
int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);
