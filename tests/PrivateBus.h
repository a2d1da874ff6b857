// A dbus-daemon of the test's own, its address in an environment variable
// (the session bus's by default) for the scope.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace nbr::test {

class PrivateBus {
public:
    explicit PrivateBus(const char* variable = "DBUS_SESSION_BUS_ADDRESS") : variable_(variable) {
        FILE* p = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
        if (!p) return;
        char line[512] = {};
        if (std::fgets(line, sizeof line, p)) address_ = line;
        if (std::fgets(line, sizeof line, p)) pid_ = std::atoi(line);
        pclose(p);
        while (!address_.empty() && (address_.back() == '\n' || address_.back() == '\r')) address_.pop_back();
        if (const char* old = std::getenv(variable_)) saved_ = old, had_ = true;
        if (!address_.empty()) setenv(variable_, address_.c_str(), 1);
    }
    ~PrivateBus() {
        if (pid_ > 0 && frozen_) kill(pid_, SIGCONT);
        if (pid_ > 0) kill(pid_, SIGTERM);
        if (had_) setenv(variable_, saved_.c_str(), 1);
        else unsetenv(variable_);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    bool ok() const { return !address_.empty() && pid_ > 0; }
    // Stops the daemon until the object goes: clients still connect, and
    // then nothing answers them.
    void freeze() { frozen_ = pid_ > 0 && kill(pid_, SIGSTOP) == 0; }

private:
    const char* variable_;
    std::string address_, saved_;
    int pid_ = 0;
    bool had_ = false;
    bool frozen_ = false;
};

}  // namespace nbr::test
