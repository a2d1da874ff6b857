// The program's own file, and starting other programs.
#pragma once

#include <string>
#include <vector>

namespace nbr::platform {

// Full path of the running executable (/proc/self/exe), or an empty string
// when it cannot be read.
std::string exePath();

// Starts `program` with the arguments `args` as a detached process: no
// shell, the arguments reach it exactly as given. A program name without a
// slash is looked up in PATH. The new process is not a child of this one
// (nothing is left to reap) and inherits no descriptor opened close-on-exec.
// Returns true when the program was started (its exec succeeded).
bool spawnDetached(const std::string& program, const std::vector<std::string>& args);

}  // namespace nbr::platform
