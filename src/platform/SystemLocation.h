// The desktop's location service (GeoClue 2 on the system bus): one position
// request on a private connection.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace nbr::platform {

// How far a request got.
enum class LocationStep {
    Found,          // both coordinates read
    NoService,      // no system bus, or no location service on it
    NotStarted,     // the service refused to make, configure or start a client
    NoFix,          // no position arrived in time
    NoLocation,     // the announced location object is empty or unreadable
    NoCoordinates,  // the location object has no readable latitude and longitude
    Stopped,        // `stop` was set while waiting
};

struct SystemPosition {
    LocationStep step = LocationStep::NoService;
    double latitude = 0.0;  // degrees, only when Found
    double longitude = 0.0;
    std::string detail;  // the bus's error, for the log; may be empty
};

// Asks the service for the position at city accuracy on behalf of the
// program whose desktop entry is `desktopId`.desktop, then waits at most
// `wait` from the start request for the first position. The whole request,
// connecting and setting up included, ends within `wait` plus two seconds,
// and within 50 ms of `stop` (may be null) being set. Connects to
// DBUS_SYSTEM_BUS_ADDRESS when set, else to the system bus. Blocking; never
// throws.
SystemPosition locateThisComputer(const char* desktopId, std::chrono::milliseconds wait,
                                  const std::atomic<bool>* stop);

}  // namespace nbr::platform
