// Another program of this package, run to its end: qtor-ctl hands what needs Qt Gui to one,
// so that it loads no GUI library itself.
#pragma once

#include <string>
#include <vector>

struct CompanionRun {
    bool started = false;  // false: not found, or it could not be started (`failure` says why)
    bool crashed = false;  // it ended on a signal or a crash
    int status = -1;       // its exit status
    std::string out, err;  // what it wrote on standard output and standard error
    std::string failure;
};

// Runs the program `name` with `args` and waits for its end, its standard input closed. The
// program beside the running one comes first (an installed or a build tree keeps its programs
// together), then the first on PATH. Needs the application object.
CompanionRun RunCompanion(const std::string& name, const std::vector<std::string>& args);
