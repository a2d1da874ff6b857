// What the constellation guide lists: the constellations in season at the
// place, where each stands tonight (at 22:00 local during the day, else now),
// best placed first, and whether the sky is likely too cloudy. Pure; drawn by
// UIRenderer_Constellations.cpp.
#pragma once

#include "foundation/Config.h"
#include "model/Constellations.h"
#include "model/WeatherTypes.h"
#include "ui/Panel_Cards.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace nbr::panel {

struct StarRow {
    const Constellation* c = nullptr;
    double altitude = 0;
    double azimuth = 0;
};

struct StarGuide {
    int64_t when = 0;        // the moment positions are computed for
    std::string timeLabel;   // "at 22:00", "at 10pm" or "now"
    int month = 1;           // local month 1..12
    std::vector<StarRow> rows;  // highest first
    bool poorSky = false;
    std::string poorReason;
    std::string header;
    std::string subheader;
    std::string footer;  // empty unless the sky is poor
};

StarGuide starGuide(const WeatherData& data, const Config& config, int64_t now);

// The disabled position line of a row; at most 63 bytes.
std::string starPositionText(const StarRow& row, const std::string& timeLabel);
// Alpha of the picture's tint.
float starTintAlpha(double altitude, bool poorSky);
// The hover text of a row; the summary comes from `facts` when known.
std::vector<CardLine> starTooltip(const StarRow& row, const std::string& timeLabel,
                                  const std::unordered_map<std::string, std::string>& facts);
// The encyclopedia article of a constellation.
std::string starArticleUrl(const Constellation& c);

}  // namespace nbr::panel
