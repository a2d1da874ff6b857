// Value types of forecast verification and the climate archive that the
// weather record carries: the skill block, the history chart rows and the
// archive analytics. Written by the history store, read everywhere else.
#pragma once

#include <string>
#include <vector>

namespace nbr {

struct LeadSkill {
    int n = 0;  // scored days used (newest at most 45)
    double biasHigh = 0;  // median of forecast minus observed high
    double biasLow = 0;
    double maeHigh = 0;
    double maeLow = 0;
};

// Day-ahead rain-chance bin of 20 percentage points.
struct PopBin {
    int n = 0;
    int rainy = 0;  // of those, days with at least 1.0 mm observed
};

struct HourBias {
    int n = 0;
    double bias = 0;  // median of forecast minus observed temperature
};

struct ModelSkillEntry {
    std::string model;  // source label: "openmeteo", "nws", a model id, "ens", "metnorway"
    int days = 0;
    double mae = 0;
    int brierN = 0;
    double brier = -1;  // mean Brier score, -1 when there are no samples
};

struct ForecastSkill {
    bool valid = false;
    int daysRecorded = 0;
    std::string loggingSince;
    LeadSkill leads[7] = {};   // index = lead in days; 1..6 used
    PopBin popBins[5] = {};    // 0-19, 20-39, 40-59, 60-79, 80-100
    std::vector<ModelSkillEntry> models;
    HourBias hourBias[24] = {};
    bool seeded = false;  // borrowed from a nearby place
    int rainSamples = 0;
    double rainFactor = 1.0;
};

struct HistoryDay {
    std::string date;
    bool hasObserved = false;
    double observedHigh = 0;
    double observedLow = 0;
    bool hasForecast = false;
    double forecastHigh = 0;
    double forecastLow = 0;
    bool hasLastYear = false;
    double lastYearHigh = 0;
};

struct ArchiveNormals {
    bool valid = false;
    double tmax = 0;
    double tmin = 0;
};

struct SeasonalAnomaly {
    bool valid = false;
    int n = 0;
    double anomaly = 0;
};

struct AnalogOutlook {
    bool valid = false;
    int matches = 0;
    int years = 0;
    double nextHighAvg = 0;
    double nextLowAvg = 0;
    double trendAvg = 0;
    double rainPct = 0;
    std::vector<double> nextHighs;
};

struct ArchiveInsights {
    bool valid = false;
    int years = 0;
    double recordHigh = 0;
    double recordLow = 0;
    int recordHighYear = 0;
    int recordLowYear = 0;
    bool hasLastYear = false;
    double lastYearHigh = 0;
    double lastYearLow = 0;
    double lastYearPrecip = 0;
    int streakDays = 0;
    bool streakAbove = true;
    double monthRain = -1;
    double monthRainTypical = -1;
    std::vector<double> monthRainByYear;
};

}  // namespace nbr
