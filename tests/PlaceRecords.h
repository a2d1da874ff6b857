// Weather records made for the dashboard's tests: Boston, Oslo and Halifax
// with every enrichment block filled the way the data service fills it, and
// skill and chart rows built by the history store from a made-up log.
#pragma once

#include "history/HistoryStore.h"
#include "model/WeatherTypes.h"

#include <cstdio>
#include <string>

namespace nbr::test {

// Day `d` counted from 2026-01-00 (so 32 is February 1st), up to March.
inline std::string januaryDay(int d) {
    char buf[32];
    if (d > 59) std::snprintf(buf, sizeof buf, "2026-03-%02d", d - 59);
    else if (d > 31) std::snprintf(buf, sizeof buf, "2026-02-%02d", d - 31);
    else std::snprintf(buf, sizeof buf, "2026-01-%02d", d);
    return buf;
}

// Skill block and chart rows of a log of `days` observed days, each forecast
// the day before `warm` degrees too warm; two-day-ahead forecasts for the
// first `lead2` days.
inline void addHistory(WeatherData& data, int days, double warm, int lead2) {
    HistoryStore::Log log;
    for (int d = 2; d < 2 + days; ++d) {
        log.truth.push_back({januaryDay(d), 20.0 + d % 3, 10.0 - d % 2, 1.0, false});
        log.fcst.push_back({januaryDay(d - 1), januaryDay(d), 1, 20.0 + d % 3 + warm, 10.0 - d % 2 + warm, 30, 1.0, 3});
        if (d - 2 < lead2 && d >= 3) log.fcst.push_back({januaryDay(d - 2), januaryDay(d), 2, 21, 10, 30, 1.0, 3});
    }
    data.skill = HistoryStore::computeSkill(log.fcst, log.truth, log.mfcst, log.hf, log.obs);
    HistoryStore::buildHistory(data, log);
}

inline WeatherData historyRecord(int days, double warm, int lead2) {
    WeatherData data;
    addHistory(data, days, warm, lead2);
    return data;
}

enum class Place { Boston, Oslo, Halifax };

inline const char* placeName(Place p) {
    return p == Place::Boston ? "boston" : p == Place::Oslo ? "oslo" : "halifax";
}

inline WeatherData placeRecord(Place place) {
    WeatherData d;
    d.time = "2026-01-15T14:00";
    // A calm, clear and dry afternoon at 0 degC.
    d.temperature = d.apparentTemperature = d.dewPoint = 0;
    d.weatherCode = 0;
    d.precipitation = d.rain = d.snowfall = d.windSpeed = d.windDirection = d.windGusts = 0;
    d.cloudCover = 20;
    d.relativeHumidity = 55;
    d.daily.resize(7);
    for (size_t i = 0; i < d.daily.size(); ++i) {
        d.daily[i].date = januaryDay(15 + static_cast<int>(i));
        d.daily[i].weatherCode = 0;
        d.daily[i].temperatureMax = 2 + static_cast<double>(i);
        d.daily[i].temperatureMin = -6 + static_cast<double>(i);
        d.daily[i].precipitationSum = d.daily[i].rainSum = d.daily[i].snowfallSum = d.daily[i].uvIndexMax = 0;
        d.daily[i].precipitationProbabilityMax = 10;
    }
    d.hourly.resize(24);
    for (int h = 14; h < 38; ++h) {  // from the hour holding the record's present
        HourlyForecast& e = d.hourly[size_t(h - 14)];
        e.time = januaryDay(15 + h / 24) + (h % 24 < 10 ? "T0" : "T") + std::to_string(h % 24) + ":00";
        e.temperature = e.precipitation = e.snowfall = e.precipitationProbability = e.uvIndex = 0;
        e.weatherCode = 0;
        e.windSpeed = e.windDirection = 0;
    }
    d.normals = {true, 3, -5};
    d.seasonalAnomaly = {true, 40, 0.8};
    d.analogs = {true, 11, 10, 3.5, -4.5, -1.2, 36, {1, 2.5, 4, 6, 3, 2, 5, 4.5, 3.5, 2, 6}};
    d.insights = {true, 30, 17.2, -21.1, 1995, 2004, true, 1, -7, 3.2, 4, true, 38, 90, {70, 120, 95, 40, 88, 64}};
    d.kpIndex = 3;
    d.kpForecastMax = 5.67;
    d.solar = {true, "M1.4", 7, 165};
    addHistory(d, 20, 0.8, 8);
    d.skill.loggingSince = "2026-01-02";
    d.skill.daysRecorded = 20;
    d.skill.models = {{"icon_seamless", 18, 1.4, 14, 0.11}, {"nws", 15, 1.9, 12, 0.16}, {"ens", 9, 2.2, 5, -1}};
    d.skill.popBins[0] = {14, 1};
    d.skill.popBins[1] = {12, 4};
    d.skill.rainSamples = 12;
    d.skill.rainFactor = 0.8;
    auto snow = [&](double depthM, double freezingM, double perHourCm) {
        d.hourly[0].snowDepth = depthM;
        d.hourly[0].freezingLevelHeight = freezingM;
        for (auto& h : d.hourly) h.snowfall = perHourCm;
    };

    switch (place) {
    case Place::Boston:
        d.location = {"Boston", "US", "Massachusetts", 42.3601, -71.0589, "America/New_York", false};
        d.utcOffsetSeconds = -5 * 3600;
        d.airQuality = {true, 58, -1, 14.2, 22, 48, 31, 3, 240, -1, -1, -1, -1, -1, -1};
        d.tides = {true, true, "Boston, MA", {{"03:41", true, 3.1}, {"09:55", false, 0.2}, {"16:02", true, 2.9}},
                   0.9, 4.5, false, "", 0, -1, -999};
        d.flood = {true, 12.4, 21, true, "CHARLES RIVER AT WALTHAM, MA", 15, 9.6, 1.2};
        d.nws = {true, "nws", "2026-01-16", 4, -4, 20};
        d.quakes = {true, {{4.1, 310, "12 km SW of Milo, Maine", 40}, {2.6, 120, "3 km N of Rye, NH", 70}}};
        snow(0.05, 320, 0.2);
        d.afdOffice = "BOX";
        d.afdIssued = "2026-01-15T13:45:00-05:00";
        d.afdText = "FXUS61 KBOX 151845\nAFDBOX\n\n.SYNOPSIS...\nHigh pressure builds in tonight with cold and "
                    "dry conditions.\nA clipper brings light snow Friday night.\n\n&&\n";
        d.issComputed = true;
        d.issPasses = {{1768523400, 1768523700, 1768524000, 62, 230, 45, true}};
        break;
    case Place::Oslo:
        d.location = {"Oslo", "NO", "Oslo", 59.9139, 10.7522, "Europe/Oslo", false};
        d.utcOffsetSeconds = 3600;
        d.airQuality = {true, 22, -1, 4, 9, 61, -1, -1, -1, 12, 45, 3, -1, -1, -1};
        d.metNorway = {true, "metno", "2026-01-16", 1.5, -7.2, -1};
        d.hasAurora = true;
        d.auroraProbability = 34;
        d.kpIndex = 4.3;
        snow(0.32, 0, 0.4);
        break;
    case Place::Halifax:
        d.location = {"Halifax", "CA", "Nova Scotia", 44.6488, -63.5752, "America/Halifax", false};
        d.utcOffsetSeconds = -4 * 3600;
        d.airQuality = {true, 112, -1, 41, -1, 30, -1, -1, -1, -1, -1, -1, -1, -1, -1};
        d.tides = {true, true, "Halifax", {{"05:12", true, 1.9}, {"11:20", false, 0.3}}, 1.8, -999, true, "44258",
                   22, 2.1, 3.2};
        d.quakes = {true, {{5.3, 420, "Laurentian Slope", 18}}};
        d.solar = {true, "X2.1", 2, 210};
        break;
    }
    return d;
}

}  // namespace nbr::test
