// How a file's field appears in a message about it: short and without control characters, so
// the message stays one readable line whatever the file holds.
#pragma once

#include <string>
#include <string_view>

// The field in double quotes, cut after 24 characters ("..."), control characters as '?'.
std::string QuotedField(std::string_view field);
