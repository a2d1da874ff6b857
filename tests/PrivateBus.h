// A dbus-daemon of the test's own, its address in an environment variable
// (the session bus's by default) for the scope. The daemon is the test's own
// child, ended and reaped with the object, stopped or not.
#pragma once

#include "DisplayHarness.h"

#include <csignal>
#include <cstdlib>
#include <string>

namespace nbr::test {

class PrivateBus {
public:
    explicit PrivateBus(const char* variable = "DBUS_SESSION_BUS_ADDRESS") : variable_(variable) {
        int fds[2];
        if (pipe(fds) != 0) return;
        daemon_ = Child(spawnWith({"dbus-daemon", "--session", "--nofork", "--print-address=3"}, {}, "", fds[1]));
        close(fds[1]);
        // The address arrives as a line once the daemon listens.
        char c = 0;
        while (daemon_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') address_ += c;
        close(fds[0]);
        if (const char* old = std::getenv(variable_)) saved_ = old, had_ = true;
        if (!address_.empty()) setenv(variable_, address_.c_str(), 1);
    }
    ~PrivateBus() {
        if (had_) setenv(variable_, saved_.c_str(), 1);
        else unsetenv(variable_);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    bool ok() const { return !address_.empty(); }
    // Stops the daemon until the object goes: clients still connect, and
    // then nothing answers them.
    void freeze() {
        if (daemon_ > 0) kill(daemon_, SIGSTOP);
    }

private:
    const char* variable_;
    std::string address_, saved_;
    Child daemon_;
    bool had_ = false;
};

}  // namespace nbr::test
