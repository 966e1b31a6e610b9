// Numeric text files of the run-time contract: one value per line.
#pragma once

#include <cstdint>
#include <string>

// Writes one value per line, right-aligned in a field `width` wide. The file is written
// beside the target and renamed over it, so it is replaced whole or not at all.
// Returns 0, or a negative value when it could not be written.
int ArrayToFile(const std::string& path, const std::uint32_t* values, int count, int width);
int ArrayToFile(const std::string& path, const std::uint16_t* values, int count, int width);

// Reads up to `count` whitespace-separated unsigned numbers (LF or CR LF). Returns how many
// were read; reading stops at the first item that is not a number. Negative when the file
// cannot be opened.
int FileToArray(const std::string& path, std::uint32_t* values, int count);
