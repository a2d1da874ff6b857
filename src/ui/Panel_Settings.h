// The rules of the settings window: unit tables, the alert thresholds shown
// in the user's units and stored in the record's, and the clamps applied to
// typed values. Pure; drawn by UIRenderer_Settings.cpp.
#pragma once

#include "foundation/Config.h"

#include <string>

namespace nbr::panel {

// A setting used as an index into a table of `count` entries; a value outside
// the table counts as its first entry.
int tableIndex(int value, int count);

// Wind gust threshold: label unit and factor from km/h to the display unit.
const char* gustUnitLabel(int windUnit);
double gustFactor(int windUnit);

// A threshold as shown in the window, and storing a typed value back.
struct Threshold {
    std::string label;
    double shown = 0;
};
Threshold gustThreshold(const Config& c);
Threshold swingThreshold(const Config& c);
Threshold snowThreshold(const Config& c);
void setGustThreshold(Config& c, double shown);
void setSwingThreshold(Config& c, double shown);
void setSnowThreshold(Config& c, double shown);

int clampPollMinutes(int minutes);
int clampCarouselSeconds(int seconds);

// The "Set size" request: width 700..4000, height 500..3000.
struct SizeRequest {
    int width = 0;
    int height = 0;
};
SizeRequest clampWindowRequest(int width, int height);

// Minute of the day of an hour and minute typed in a time row, each clamped
// to its range.
int timeRowMinutes(int hour, int minute);

}  // namespace nbr::panel
