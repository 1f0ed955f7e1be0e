#pragma once

// What both modes of the command share: the message on stderr and writing
// the output whole.

#include <string>

namespace qc {

// "quorvel-fxc: message" on stderr; returns the command's failure code, 1.
int Fail(const std::string& message);

// Writes `text` to a temporary name beside `path` and renames it, so that a
// failure never leaves half a file; false with a message in `error`.
bool WriteWhole(const std::string& path, const std::string& text, std::string& error);

// The column (1-based) of the first 'quoted' name of a front end's message
// within the source line it names; 1 when it is not there.
int ColumnOfQuotedName(const std::string& message, const std::string& line);

} // namespace qc
