// What a reader of a text file says of the first line it refuses.
#pragma once

#include <string>

struct LineRefusal {
    long long errorLine = 0;  // 1-based; 0 when every line was taken
    std::string reason;       // why that line is refused
    bool Ok() const { return errorLine == 0; }
    // "line 7: 15 values, expected 18"
    std::string Error() const { return "line " + std::to_string(errorLine) + ": " + reason; }
};
