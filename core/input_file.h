// Opening a file the user names for reading: only a regular file, since a FIFO without a
// writer blocks the open and a device such as /dev/zero never ends.
#pragma once

#include <fstream>
#include <string>

// Opens `path` into *in (binary); "" on success, else why not: "is a directory", "is not a
// regular file", "cannot be opened".
std::string OpenRegularFile(const std::string& path, std::ifstream* in);
