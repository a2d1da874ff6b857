#include "model/WeatherCodes.h"

#include "model/ReplyTime.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <optional>

namespace nbr {
namespace {

struct CodeRow {
    int code;
    const char* longText;
    const char* shortText;
    int dayCell;
    int nightCell;  // -1: the day cell serves the night too
};

constexpr CodeRow kCodes[] = {
    {0, "Clear Sky", "Clear", 0, 24},
    {1, "Mainly Clear", "Clear", 1, 25},
    {2, "Partly Cloudy", "PtCloud", 2, 26},
    {3, "Overcast", "Cloudy", 3, 27},
    {45, "Fog", "Fog", 4, -1},
    {48, "Rime Fog", "Fog", 4, -1},
    {51, "Light Drizzle", "Drizzle", 10, -1},
    {53, "Moderate Drizzle", "Drizzle", 10, -1},
    {55, "Dense Drizzle", "Drizzle", 7, -1},
    {56, "Freezing Drizzle", "Sleet", 18, -1},
    {57, "Heavy Freezing Drizzle", "Sleet", 18, -1},
    {61, "Slight Rain", "Rain", 6, -1},
    {63, "Moderate Rain", "Rain", 7, -1},
    {65, "Heavy Rain", "HvyRain", 8, -1},
    {66, "Freezing Rain", "Sleet", 18, -1},
    {67, "Heavy Freezing Rain", "Sleet", 18, -1},
    {71, "Slight Snow", "Snow", 22, -1},
    {73, "Moderate Snow", "Snow", 19, -1},
    {75, "Heavy Snow", "HvySnow", 20, -1},
    {77, "Snow Grains", "Snow", 22, -1},
    {80, "Slight Showers", "Showers", 9, 28},
    {81, "Moderate Showers", "Showers", 9, 28},
    {82, "Violent Showers", "Showers", 8, -1},
    {85, "Light Snow Showers", "SnowShw", 21, -1},
    {86, "Heavy Snow Showers", "SnowShw", 21, -1},
    {95, "Thunderstorm", "Storm", 12, 29},
    {96, "Thunderstorm w/ Hail", "Hail", 17, -1},
    {99, "Severe Thunderstorm w/ Hail", "Hail", 17, -1},
};

const CodeRow* findCode(int code) {
    for (const CodeRow& row : kCodes)
        if (row.code == code) return &row;
    return nullptr;
}

constexpr double kWetMm = 0.05;
constexpr int64_t kStepSeconds = 15 * 60;

bool isWet(const MinutelyForecast& step) { return step.precipitation > kWetMm; }

}  // namespace

bool namedCode(int code) { return findCode(code) != nullptr; }

const char* weatherCodeToString(int code) {
    const CodeRow* row = findCode(code);
    return row ? row->longText : "Unknown";
}

const char* conditionText(int code) { return knownCode(code) ? weatherCodeToString(code) : "--"; }

const char* weatherCodeToShortString(int code) {
    const CodeRow* row = findCode(code);
    return row ? row->shortText : "--";
}

int weatherCodeToIconCell(int code, bool night) {
    const CodeRow* row = findCode(code);
    if (!row) return -1;
    return night && row->nightCell >= 0 ? row->nightCell : row->dayCell;
}

const char* uvCategory(double uv) {
    if (std::isnan(uv)) return "--";
    if (uv < 3) return "Low";
    if (uv < 6) return "Moderate";
    if (uv < 8) return "High";
    if (uv < 11) return "Very High";
    return "Extreme";
}

namespace {

struct AqiBand {
    double upTo;  // closed at the top
    const char* category;
    const char* guidance;
};

constexpr AqiBand kAqiBands[] = {
    {50, "Good", "Good - air is clean, enjoy the outdoors."},
    {100, "Moderate", "Moderate - fine for most; sensitive folks ease up."},
    {150, "Unhealthy (Sensitive)", "Sensitive groups: limit prolonged exertion."},
    {200, "Unhealthy", "Unhealthy - everyone limit prolonged exertion."},
    {300, "Very Unhealthy", "Very unhealthy - stay indoors if you can."},
};
constexpr AqiBand kAqiHazardous = {INFINITY, "Hazardous", "Hazardous - avoid outdoor exertion."};

// Null for a negative or NaN value: no reading.
const AqiBand* aqiBand(double aqi) {
    if (!(aqi >= 0)) return nullptr;
    for (const AqiBand& band : kAqiBands)
        if (aqi <= band.upTo) return &band;
    return &kAqiHazardous;
}

}  // namespace

const char* aqiCategory(double usAqi) {
    const AqiBand* band = aqiBand(usAqi);
    return band ? band->category : "--";
}

const char* aqiHealthGuidance(double usAqi) {
    const AqiBand* band = aqiBand(usAqi);
    return band ? band->guidance : "";
}

int classifyPressureTrend(double deltaHpa) {
    if (deltaHpa >= 1.0) return 2;
    if (deltaHpa <= -1.0) return 0;
    return 1;
}

const char* windDirectionToString(double degrees) {
    static const char* const kPoints[8] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    if (degrees < 0 || !std::isfinite(degrees)) return "N/A";
    // The remainder lies in [0, 360), so the sector is 0..7 before the modulo.
    const double sector = std::fmod(degrees + 22.5, 360.0) / 45.0;
    return kPoints[static_cast<int>(sector) % 8];
}

bool isSnowCode(int code) { return (code >= 71 && code <= 77) || code == 85 || code == 86; }

// The named codes below 51 (clear sky to fog) are those of no precipitation.
bool isDryWeather(int code, double precipitation) {
    return namedCode(code) && code < 51 && !(precipitation > kWetMm);
}

PrecipNowcast computePrecipNowcast(const WeatherData& data, int64_t now) {
    const std::vector<MinutelyForecast>& steps = data.minutely15;
    PrecipNowcast out;
    // The step holding the present; none when no step does.
    std::size_t current = steps.size();
    int64_t reach = 0;  // the end of the last step told so far
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::optional<int64_t> start = replyInstant(data, steps[i].time);
        if (start && *start <= now && now - *start < kStepSeconds) {
            current = i;
            reach = *start + kStepSeconds;
        }
    }
    // A step of unknown precipitation is neither wet nor dry: nothing is said.
    if (current == steps.size() || !knownAmount(steps[current].precipitation)) return out;
    const bool wetNow = isWet(steps[current]);
    out.state = wetNow ? PrecipNowcast::Continuing : PrecipNowcast::Dry;
    const auto nameBy = [&out](int code) {
        out.snow = isSnowCode(code);
        out.named = knownCode(code);
    };
    if (wetNow) nameBy(steps[current].weatherCode);
    // The record tells only as far as its steps follow on from the present
    // with their precipitation known; no change is claimed beyond.
    for (std::size_t i = current + 1; i < steps.size(); ++i) {
        const std::optional<int64_t> start = replyInstant(data, steps[i].time);
        if (!start || *start != reach || !knownAmount(steps[i].precipitation)) break;
        if (isWet(steps[i]) != wetNow) {
            out.state = wetNow ? PrecipNowcast::EndsSoon : PrecipNowcast::StartsSoon;
            const int64_t ahead = (*start - now + 59) / 60;
            out.minutes = ahead <= INT_MAX ? static_cast<int>(ahead) : INT_MAX;
            out.changeStep = static_cast<int>(i);
            if (!wetNow) nameBy(steps[i].weatherCode);
            return out;
        }
        reach = *start + kStepSeconds;
    }
    const int64_t told = (reach - now) / 60;
    out.reachMinutes = told <= INT_MAX ? static_cast<int>(told) : INT_MAX;
    return out;
}

}  // namespace nbr
