// What qtor-ctl's commands end with and print: the exit statuses and JSON strings.
#pragma once

#include <string>

#include "json_text.h"

// Exit statuses, as documented in the usage text.
enum CtlExit : int {
    kCtlOk = 0,
    kCtlDiffers = 1,  // a read-back or a comparison differs
    kCtlUsage = 2,
    kCtlLink = 3,  // cannot open, time-out, wrong sync word, short reply
    kCtlFile = 4,
    kCtlLocked = 5,  // a maintenance key is set, and none or a wrong one was given
};
