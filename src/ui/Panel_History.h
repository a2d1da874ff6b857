// What the forecast-history window shows: the logging status, the accuracy
// tables and the chart of observed highs and lows against the day-ahead
// forecast. Pure; drawn by UIRenderer_HistoryWindow.cpp.
#pragma once

#include "foundation/Config.h"
#include "model/WeatherTypes.h"
#include "ui/Panel_Cards.h"

#include <string>
#include <vector>

namespace nbr::panel {

// One table row: plain cells, then the last cell with its colour and tooltip.
struct TableRow {
    std::vector<std::string> cells;
    CardLine last;
};

struct HistoryView {
    bool noHistory = false;  // only the "no local history" message
    std::string loggingLine;  // empty when the logging start is unknown
    CardLine status;
    bool skillValid = false;
    std::vector<TableRow> leads;    // Lead, Days scored, Typical miss | Tendency
    bool hasRainLine = false;
    CardLine rainLine;
    bool hasCalibration = false;
    std::vector<TableRow> popBins;  // Forecast said, Days | Actually rained
    std::vector<TableRow> models;   // Model, Days scored, Typical miss | Rain skill
};

HistoryView historyView(const WeatherData& data, const Config& config);

// Geometry of the chart: 46 px per day, 130 px tall.
inline constexpr float kChartColumn = 46.0f;
inline constexpr float kChartHeight = 130.0f;

// The chart's value scale, in display degrees.
struct ChartScale {
    bool enough = false;  // at least two days
    float min = 0;
    float max = 0;
};

// Display degrees of a Celsius value.
float chartDegrees(double celsius, bool fahrenheit);
ChartScale historyChartScale(const std::vector<HistoryDay>& days, bool fahrenheit);
// Screen x of the centre of day i and y of a value, from the chart's origin.
float chartX(float originX, size_t i);
float chartY(float originY, float value, const ChartScale& scale);
// The day under the mouse, or -1.
int chartColumnAt(float originX, float originY, float mouseX, float mouseY, size_t days);
// "MM/DD" of a date, empty for a date shorter than 10 characters.
std::string chartDateLabel(const std::string& date);
// The hover text of one day.
std::vector<CardLine> chartTooltip(const HistoryDay& day, const Config& config);

}  // namespace nbr::panel
