#include "service/GeoLocator.h"

#include "foundation/Logger.h"
#include "platform/SystemLocation.h"

namespace nbr {

namespace {

// The program's desktop entry (resources/nimbrel.desktop), by which the
// desktop asks the user for permission.
constexpr const char* kDesktopId = "nimbrel";
// 200 looks at the request, 50 ms apart.
constexpr std::chrono::milliseconds kWait{10000};

const char* failureText(platform::LocationStep step) {
    switch (step) {
    case platform::LocationStep::NoService:
        return "OS location unavailable";
    case platform::LocationStep::NotStarted:
        return "Location permission denied or unavailable";
    case platform::LocationStep::NoLocation:
        return "Couldn't read location";
    case platform::LocationStep::NoCoordinates:
        return "Couldn't read coordinates";
    default:
        return "Location request timed out or was denied";
    }
}

}  // namespace

OSLocationResult detectOSLocation(const std::atomic<bool>* stop) {
    const platform::SystemPosition found = platform::locateThisComputer(kDesktopId, kWait, stop);
    OSLocationResult r;
    if (found.step == platform::LocationStep::Found) {
        r.ok = true;
        r.latitude = found.latitude;
        r.longitude = found.longitude;
        return r;
    }
    r.error = failureText(found.step);
    // A request cut short by shutting down is no failure worth a line.
    if (found.step != platform::LocationStep::Stopped)
        Log::warn("location: %s%s%s", r.error.c_str(), found.detail.empty() ? "" : " - ", found.detail.c_str());
    return r;
}

}  // namespace nbr
