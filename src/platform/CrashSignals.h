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

// An alternate signal stack for the calling thread, for the thread's whole
// life: the handlers above run on it, so a stack overflow of this thread still
// leaves a report. Every thread the program starts makes one first thing in
// its body; the stack is released when the object goes out of scope. Harmless
// when no handlers are installed.
class ThreadCrashStack {
public:
    ThreadCrashStack();
    ~ThreadCrashStack();
    ThreadCrashStack(const ThreadCrashStack&) = delete;
    ThreadCrashStack& operator=(const ThreadCrashStack&) = delete;

private:
    void* stack_ = nullptr;
};

}  // namespace nbr::platform
