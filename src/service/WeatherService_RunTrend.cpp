// The run-to-run trend: per day of the record, how the newest model run's
// high and rain total differ from what the run of two days before (or, where
// that one does not cover the day, of one day before) said for it.
#include "service/WeatherService.h"

#include "service/OpenMeteoReply.h"
#include "service/ServiceHosts.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace nbr {

using nlohmann::json;

namespace {

constexpr size_t kMaxRequestDays = 7;
constexpr int kMinHoursPerDay = 20;  // a run covers a day with this many hourly values of each kind

// One run's hours on one day.
struct RunDay {
    double tempMax = -1e9;
    int tempCount = 0;
    double precipSum = 0;
    int precipCount = 0;

    bool covered() const { return tempCount >= kMinHoursPerDay && precipCount >= kMinHoursPerDay; }
};

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

// Calls add(day, value) for every numeric hour of `key` that falls on a
// record day.
template <typename Add>
void eachHour(const json& hourly, const char* key, const std::vector<int>& dayOf, Add add) {
    auto it = hourly.find(key);
    if (it == hourly.end() || !it->is_array()) return;
    const size_t count = std::min(dayOf.size(), it->size());
    for (size_t h = 0; h < count; ++h) {
        const json& e = (*it)[h];
        if (dayOf[h] >= 0 && e.is_number()) add(static_cast<size_t>(dayOf[h]), e.get<double>());
    }
}

std::vector<RunDay> aggregate(const json& hourly, const Run& run, const std::vector<int>& dayOf, size_t days) {
    std::vector<RunDay> out(days);
    eachHour(hourly, run.temperatureKey, dayOf, [&](size_t d, double v) {
        out[d].tempMax = std::max(v, out[d].tempMax);
        ++out[d].tempCount;
    });
    eachHour(hourly, run.precipitationKey, dayOf, [&](size_t d, double v) {
        out[d].precipSum += v;
        ++out[d].precipCount;
    });
    return out;
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
    const std::vector<int> dayOf = dayOfEachTime(*time, data.daily);

    std::array<std::vector<RunDay>, kRuns.size()> runs;
    for (size_t r = 0; r < kRuns.size(); ++r) runs[r] = aggregate(*hourly, kRuns[r], dayOf, n);

    for (size_t d = 0; d < n; ++d) {
        const RunDay& now = runs[0][d];
        if (!now.covered()) continue;
        // The oldest run that covers the day shows the most change.
        for (size_t back = kRuns.size() - 1; back >= 1; --back) {
            const RunDay& old = runs[back][d];
            if (!old.covered()) continue;
            // Values near the largest double overflow the sums or the
            // differences: such a comparison is no trend.
            const double tempDelta = now.tempMax - old.tempMax;
            const double precipDelta = now.precipSum - old.precipSum;
            if (!std::isfinite(tempDelta) || !std::isfinite(precipDelta)) continue;
            DailyForecast& day = data.daily[d];
            day.hasRunTrend = true;
            day.runTrendDaysBack = static_cast<int>(back);
            day.runTrendTempDelta = tempDelta;
            day.runTrendPrecipDelta = precipDelta;
            break;
        }
    }
}

}  // namespace nbr
