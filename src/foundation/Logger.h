// The program's diagnostic log: whole time-stamped lines appended to
// <dir>/app.log, rotated to app.log.1 past 512 KiB. Safe from any thread;
// everything is dropped until init succeeds.
#pragma once

#include <string>

namespace nbr::Log {

// Creates `dir` (with parents) and turns logging on there. On failure the
// previous state is kept (off at start).
void init(const std::string& dir);

// The log folder; empty while logging is off.
const std::string& dir();

void info(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void warn(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void error(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace nbr::Log
