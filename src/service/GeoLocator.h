// The operating system's location service: one position request.
#pragma once

#include <atomic>
#include <string>

namespace nbr {

struct OSLocationResult {
    bool ok = false;  // true only when both coordinates were read
    double latitude = 0.0;
    double longitude = 0.0;
    std::string error;  // empty when ok
};

// The computer's current position from the desktop's location service, which
// may ask the user for permission first. Blocks for at most about ten seconds
// (less once `stop` is set); run it off the first thread. Failures come back
// as one of the texts "OS location unavailable", "Location permission denied
// or unavailable", "Location request timed out or was denied", "Couldn't read
// location" and "Couldn't read coordinates", each logged in one line.
OSLocationResult detectOSLocation(const std::atomic<bool>* stop = nullptr);

}  // namespace nbr
