// Crash capture: a fatal signal or an unhandled C++ exception leaves a text
// report "crash-<local time>.txt" (signal, address, backtrace, memory map) in
// the crash folder, and the next start can find it.
#pragma once

#include <string>

namespace nbr::crash {

// Creates `dir` with its parents and, when that succeeds, installs the crash
// handlers writing there. On failure nothing is installed and dir() stays
// empty. Called once at start-up, before anything else runs.
void install(const std::string& dir);

// The crash folder; empty when install did not succeed.
const std::string& dir();

// Marks every report written so far as shown: touches "<dir>/.seen".
void markReportsSeen();

// Full path of the newest file named "crash-*" in the crash folder that was
// written after the last markReportsSeen, or an empty string.
std::string pendingReport();

namespace detail {
// pendingReport and markReportsSeen for a given folder.
std::string pendingReportIn(const std::string& dir);
void markReportsSeenIn(const std::string& dir);
}  // namespace detail

}  // namespace nbr::crash
