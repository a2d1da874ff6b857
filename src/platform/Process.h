// The program's own file, and starting other programs.
#pragma once

#include <string>
#include <vector>

namespace nbr::platform {

// Full path of the running executable (/proc/self/exe), or an empty string
// when it cannot be read.
std::string exePath();

// Sets an environment variable for this process alone. The programs that
// spawnDetached starts get the value the process was given (or none) for as
// long as the variable holds the value set here. Call it while no other
// thread reads the environment.
void setOwnEnvironment(const char* name, const std::string& value);

// Starts `program` with the arguments `args` as a detached process: no
// shell, the arguments reach it exactly as given. A program name without a
// slash is looked up in PATH. The new process is not a child of this one
// (nothing is left to reap), inherits no descriptor opened close-on-exec, and
// gets the environment as this process was given it (setOwnEnvironment).
// Returns true when the program was started (its exec succeeded).
bool spawnDetached(const std::string& program, const std::vector<std::string>& args);

}  // namespace nbr::platform
