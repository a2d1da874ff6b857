// The program's diagnostic log: whole time-stamped lines appended to
// <dir>/app.log, rotated to app.log.1 past 512 KiB. Safe from any thread.
// Lines are dropped until init is called; a line that cannot be written to
// the file (or any line after an init that found no folder) goes to standard
// error instead.
#pragma once

#include <string>

namespace nbr::Log {

// Creates `dir` (with parents) and turns logging on there. On failure the
// previous folder is kept; with none, lines go to standard error.
void init(const std::string& dir);

// The log folder; empty while logging is off.
const std::string& dir();

void info(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void warn(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void error(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace nbr::Log
