// The operating system's location service: one position request.
#pragma once

#include <string>

namespace nbr {

struct OSLocationResult {
    bool ok = false;  // true only when both coordinates were read
    double latitude = 0.0;
    double longitude = 0.0;
    std::string error;  // empty when ok
};

// The computer's current position. Blocks for at most about ten seconds; run
// it off the first thread. This desktop has no location service the program
// can ask, so the answer is always "OS location unavailable", at once.
OSLocationResult detectOSLocation();

}  // namespace nbr
