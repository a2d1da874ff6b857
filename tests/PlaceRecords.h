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
    d.cloudCover = 20;
    d.relativeHumidity = 55;
    d.daily.resize(7);
    for (size_t i = 0; i < d.daily.size(); ++i) {
        d.daily[i].date = januaryDay(15 + static_cast<int>(i));
        d.daily[i].temperatureMax = 2 + static_cast<double>(i);
        d.daily[i].temperatureMin = -6 + static_cast<double>(i);
        d.daily[i].precipitationProbabilityMax = 10;
    }
    d.hourly.resize(24);
    for (int h = 0; h < 24; ++h) d.hourly[static_cast<size_t>(h)].time = "2026-01-15T" + std::to_string(10 + h % 14) + ":00";
    d.airQuality.valid = true;
    d.normals = {true, 3, -5};
    d.seasonalAnomaly = {true, 40, 0.8};
    d.analogs = {true, 11, 10, 3.5, -4.5, -1.2, 36, {1, 2.5, 4, 6, 3, 2, 5, 4.5, 3.5, 2, 6}};
    d.insights.valid = true;
    d.insights.years = 30;
    d.insights.recordHigh = 17.2;
    d.insights.recordHighYear = 1995;
    d.insights.recordLow = -21.1;
    d.insights.recordLowYear = 2004;
    d.insights.hasLastYear = true;
    d.insights.lastYearHigh = 1;
    d.insights.lastYearLow = -7;
    d.insights.lastYearPrecip = 3.2;
    d.insights.streakDays = 4;
    d.insights.monthRain = 38;
    d.insights.monthRainTypical = 90;
    d.insights.monthRainByYear = {70, 120, 95, 40, 88, 101, 64};
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

    switch (place) {
    case Place::Boston:
        d.location.name = "Boston";
        d.location.country = "US";
        d.location.latitude = 42.3601;
        d.location.longitude = -71.0589;
        d.utcOffsetSeconds = -5 * 3600;
        d.airQuality.usAqi = 58;
        d.airQuality.pm2_5 = 14.2;
        d.airQuality.pm10 = 22;
        d.airQuality.ozone = 48;
        d.airQuality.nitrogenDioxide = 31;
        d.airQuality.sulphurDioxide = 3;
        d.airQuality.carbonMonoxide = 240;
        d.tides.valid = d.tides.hasPredictions = true;
        d.tides.stationName = "Boston, MA";
        d.tides.events = {{"03:41", true, 3.1}, {"09:55", false, 0.2}, {"16:02", true, 2.9}, {"22:10", false, 0.4}};
        d.tides.waveHeight = 0.9;
        d.tides.waterTemperature = 4.5;
        d.flood.valid = true;
        d.flood.riverDischarge = 12.4;
        d.flood.riverDischargeMax = 21;
        d.flood.hasGauge = true;
        d.flood.gaugeSite = "CHARLES RIVER AT WALTHAM, MA";
        d.flood.gaugeDistanceKm = 15;
        d.flood.gaugeDischarge = 9.6;
        d.flood.gaugeHeight = 1.2;
        d.nws = {true, "nws", "2026-01-16", 4, -4, 20};
        d.quakes.valid = true;
        d.quakes.events = {{4.1, 310, "12 km SW of Milo, Maine", 40}, {2.6, 120, "3 km N of Rye, NH", 70}};
        d.hourly[0].snowDepth = 0.05;
        d.hourly[0].freezingLevelHeight = 320;
        for (auto& h : d.hourly) h.snowfall = 0.2;
        d.afdOffice = "BOX";
        d.afdIssued = "2026-01-15T13:45:00-05:00";
        d.afdText = "FXUS61 KBOX 151845\nAFDBOX\n\n.SYNOPSIS...\nHigh pressure builds in tonight with cold and "
                    "dry conditions.\nA clipper brings light snow Friday night.\n\n&&\n";
        d.issComputed = true;
        d.issPasses = {{1768523400, 1768523700, 1768524000, 62, 230, 45, true},
                       {1768529300, 1768529500, 1768529700, 24, 270, 20, true}};
        break;
    case Place::Oslo:
        d.location.name = "Oslo";
        d.location.country = "NO";
        d.location.latitude = 59.9139;
        d.location.longitude = 10.7522;
        d.utcOffsetSeconds = 3600;
        d.airQuality.usAqi = 22;
        d.airQuality.pm2_5 = 4;
        d.airQuality.pm10 = 9;
        d.airQuality.ozone = 61;
        d.airQuality.birchPollen = 45;
        d.airQuality.alderPollen = 12;
        d.airQuality.grassPollen = 3;
        d.metNorway = {true, "metno", "2026-01-16", 1.5, -7.2, -1};
        d.hasAurora = true;
        d.auroraProbability = 34;
        d.kpIndex = 4.3;
        d.hourly[0].snowDepth = 0.32;
        d.hourly[0].freezingLevelHeight = 0;
        for (auto& h : d.hourly) h.snowfall = 0.4;
        break;
    case Place::Halifax:
        d.location.name = "Halifax";
        d.location.country = "CA";
        d.location.latitude = 44.6488;
        d.location.longitude = -63.5752;
        d.utcOffsetSeconds = -4 * 3600;
        d.airQuality.usAqi = 112;
        d.airQuality.pm2_5 = 41;
        d.airQuality.pm10 = -1;
        d.airQuality.ozone = 30;
        d.tides.valid = d.tides.hasPredictions = true;
        d.tides.stationName = "Halifax";
        d.tides.events = {{"05:12", true, 1.9}, {"11:20", false, 0.3}};
        d.tides.waveHeight = 1.8;
        d.tides.hasBuoy = true;
        d.tides.buoyId = "44258";
        d.tides.buoyDistanceKm = 22;
        d.tides.buoyWaveHeight = 2.1;
        d.tides.buoyWaterTemperature = 3.2;
        d.quakes.valid = true;
        d.quakes.events = {{5.3, 420, "Laurentian Slope", 18}};
        d.solar = {true, "X2.1", 2, 210};
        break;
    }
    return d;
}

}  // namespace nbr::test
