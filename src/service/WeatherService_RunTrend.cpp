// The run-to-run trend: per day of the record, how the newest model run's
// high and rain total differ from what the run of two days before (or, where
// that one knows less of the day, of one day before) said for it. A day's
// high or total over an unknown hour is unknown, and its change NaN.
#include "service/WeatherService.h"

#include "service/OpenMeteoReply.h"
#include "service/ServiceHosts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace nbr {

using nlohmann::json;

namespace {

constexpr size_t kMaxRequestDays = 7;

struct Run {
    const char* temperatureKey;
    const char* precipitationKey;
};

// Newest first; the index is the run's age in days.
constexpr std::array<Run, 3> kRuns{{
    {"temperature_2m", "precipitation"},
    {"temperature_2m_previous_day1", "precipitation_previous_day1"},
    {"temperature_2m_previous_day2", "precipitation_previous_day2"},
}};

// One run's days of one quantity; a day with an unknown hour is unknown.
using RunDays = std::vector<std::optional<DayValues>>;

RunDays runDays(const json& hourly, const char* key, const std::vector<HourOfDay>& dayOf, size_t days) {
    const auto it = hourly.find(key);
    return it == hourly.end() ? RunDays(days) : dayValues(*it, dayOf, days);
}

// The change of one quantity from an old run to the newest; NaN when either
// is unknown or the difference overflows.
double change(const std::optional<DayValues>& now, const std::optional<DayValues>& old, double DayValues::*value) {
    const double delta = now && old ? *now.*value - *old.*value : std::numeric_limits<double>::quiet_NaN();
    return std::isfinite(delta) ? delta : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

void WeatherService::fetchRunTrend(const GeoLocation& loc, WeatherData& data) {
    if (data.daily.empty()) return;
    const size_t days = std::min(data.daily.size(), kMaxRequestDays);
    const std::string url = serviceBase(service::PreviousRuns) + "/v1/forecast?latitude=" +
                            formatFixed(loc.latitude, 6) + "&longitude=" + formatFixed(loc.longitude, 6) +
                            "&hourly=temperature_2m,temperature_2m_previous_day1,temperature_2m_previous_day2,"
                            "precipitation,precipitation_previous_day1,precipitation_previous_day2"
                            "&models=best_match&forecast_days=" +
                            std::to_string(days) + "&timezone=auto";
    const std::string body = httpGet(url);
    if (body.empty()) return;
    try {
        parseRunTrend(body, data);
    } catch (...) {
    }
}

void WeatherService::parseRunTrend(const std::string& body, WeatherData& data) {
    const size_t n = data.daily.size();
    json root;
    if (n == 0 || !readOpenMeteoRoot(body, root)) return;
    const json* hourly = objectMember(root, "hourly");
    if (!hourly) return;
    const auto time = hourly->find("time");
    if (time == hourly->end() || !time->is_array() || time->empty()) return;
    const std::vector<HourOfDay> dayOf = dayOfEachTime(*time, data.daily);

    std::array<RunDays, kRuns.size()> highs, rain;
    for (size_t r = 0; r < kRuns.size(); ++r) {
        highs[r] = runDays(*hourly, kRuns[r].temperatureKey, dayOf, n);
        rain[r] = runDays(*hourly, kRuns[r].precipitationKey, dayOf, n);
    }

    // Each quantity stands on its own columns: a day whose rain is unknown in
    // a run keeps the change of its high, with the rain change NaN.
    for (size_t d = 0; d < n; ++d) {
        // The run that tells the most changes; of equals the oldest, which
        // shows the most change.
        int bestKnown = 0;
        for (size_t back = kRuns.size() - 1; back >= 1; --back) {
            const double tempDelta = change(highs[0][d], highs[back][d], &DayValues::high);
            const double precipDelta = change(rain[0][d], rain[back][d], &DayValues::total);
            const int known = knownChange(tempDelta) + knownChange(precipDelta);
            if (known <= bestKnown) continue;
            bestKnown = known;
            DailyForecast& day = data.daily[d];
            day.hasRunTrend = true;
            day.runTrendDaysBack = static_cast<int>(back);
            day.runTrendTempDelta = tempDelta;
            day.runTrendPrecipDelta = precipDelta;
        }
    }
}

}  // namespace nbr
