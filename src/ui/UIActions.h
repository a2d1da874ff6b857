// What the user asked for during one frame: filled by the dashboard, taken
// once per main-loop turn by the application and acted on in field order.
#pragma once

#include "model/WeatherTypes.h"

#include <string>

namespace nbr {

struct UIActions {
    bool refresh = false;
    bool locationChanged = false;  // the places bar already switched the active place
    std::string searchQuery;       // non-empty: search places by this text
    GeoLocation newLocation;
    bool addLocation = false;
    bool removeActive = false;
    bool detectLocation = false;
    bool updateActive = false;
    GeoLocation editedLocation;
    bool toggleRadar = false;
    float radarBelow = 0;  // lower edge of the button that asked for the radar: its window opens below it
    bool settingsChanged = false;
    std::string acknowledgeKey;  // deduplication key of the alert to acknowledge
    bool clearNotifications = false;
    bool markAllRead = false;
    bool toggleMini = false;
    bool fetchStarFacts = false;
    bool resizeWindow = false;
    int width = 0;  // already clamped to 700..4000
    int height = 0;  // already clamped to 500..3000
};

}  // namespace nbr
