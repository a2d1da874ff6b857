// Fatal-signal and std::terminate handlers that leave a text report behind.
#pragma once

#include <string>

namespace nbr::platform {

// Installs handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT (on an
// alternate stack, so a stack overflow of the calling thread is caught too)
// and a std::terminate handler. Each writes "crash-<stamp>.txt" into the
// existing folder `dir`, with <stamp> the local time as YYYYmmdd-HHMMSS, and
// then lets the process die the default way (so the exit status still names
// the signal). Returns false, installing nothing, when the report's path would
// not fit the handlers' fixed buffers.
bool installCrashHandlers(const std::string& dir);

}  // namespace nbr::platform
