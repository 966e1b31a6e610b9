// qtor-ctl stats: the quality numbers and alarms of a recording, without a sensor.
#pragma once

#include <ostream>
#include <string>

struct StatsRequest {
    std::string file;
    long long last = 0;        // the last N rows; 0 for all of them
    long long alarmAfter = 3;  // records in a row outside before an alarm
    bool json = false;
};

// Prints the numbers per channel and the alarms' events; returns the exit status (CtlExit).
int RunStats(const StatsRequest& request, std::ostream& out, std::ostream& err);
