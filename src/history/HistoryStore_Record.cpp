// Recording a refresh: logs what a fresh weather record shows (the current
// observation, yesterday's verified day, the forecasts for the next six days
// and the hourly temperatures), then scores and corrects the record.
#include "history/HistoryStore.h"

#include "model/ReplyTime.h"
#include "model/WeatherTypes.h"

namespace nbr {

namespace {

constexpr size_t kMinTimeLength = 16;    // YYYY-MM-DDTHH:MM
constexpr int64_t kObsIntervalMinutes = 60;
constexpr size_t kMaxLead = 6;
constexpr size_t kLoggedHours = 24;

}  // namespace

void HistoryStore::record(WeatherData& data) {
    if (dir.empty() || data.time.size() < kMinTimeLength) return;
    const std::string today = data.time.substr(0, 10);

    // The logged values are the service's own, without our correction.
    removeCorrection(data);

    const std::string key = data.location.cacheKey();
    Log& log = logFor(key);
    std::vector<std::string> pending;

    // At most one observation per hour of observation time; a clock that
    // went back, or a temperature the service did not give, logs nothing.
    const int64_t now = isoToMinutes(data.time);
    if (now >= 0 && knownTemperature(data.temperature)) {
        const int64_t last = log.lastObsTime.empty() ? -1 : isoToMinutes(log.lastObsTime);
        if (last < 0 || now - last >= kObsIntervalMinutes) {
            ObsRecord r;
            r.time = data.time;
            r.temp = data.temperature;
            r.hum = data.relativeHumidity;
            r.pres = data.pressureMsl;
            r.wind = data.windSpeed;
            r.precip = data.precipitation;
            r.code = data.weatherCode;
            pending.push_back(lineOf(r));
            log.lastObsTime = data.time;
            log.obs.push_back(std::move(r));
        }
    }

    // Yesterday's verified day, with both temperatures known; the first
    // truth of a date stays.
    if (data.hasYesterday && knownTemperature(data.yesterdayHigh) && knownTemperature(data.yesterdayLow)) {
        const std::string yesterday = previousDate(today);
        if (!yesterday.empty() && !log.truthDates.count(yesterday)) {
            TruthRecord r;
            r.date = yesterday;
            r.tmax = data.yesterdayHigh;
            r.tmin = data.yesterdayLow;
            r.precip = data.yesterdayPrecip;
            pending.push_back(lineOf(r));
            log.truthDates.insert(yesterday);
            log.truth.push_back(std::move(r));
        }
    }

    // The first forecast made each day for each of the next six dates; a day
    // whose high or low the service did not give is no forecast (a later
    // refresh may log it).
    for (size_t lead = 1; lead < data.daily.size() && lead <= kMaxLead; ++lead) {
        const DailyForecast& day = data.daily[lead];
        if (day.date.empty() || !knownTemperature(day.temperatureMax) || !knownTemperature(day.temperatureMin))
            continue;
        FcstRecord r;
        r.made = today;
        r.date = day.date;
        std::string fkey = keyOf(r);
        if (log.fcstKeys.count(fkey)) continue;
        r.lead = static_cast<int>(lead);
        r.tmax = day.temperatureMax;
        r.tmin = day.temperatureMin;
        r.pop = day.precipitationProbabilityMax;
        r.precip = day.precipitationSum;
        r.code = day.weatherCode;
        pending.push_back(lineOf(r));
        log.fcstKeys.insert(std::move(fkey));
        log.fcst.push_back(std::move(r));
    }

    // The first forecast seen for each date and hour, of the day from the
    // reply's present; an hour without a temperature is no forecast.
    const std::optional<int64_t> present = replyInstant(data, data.time);
    for (const auto& hour : hoursFrom(data, present.value_or(0), kLoggedHours)) {
        if (!knownTemperature(hour.temperature)) continue;
        HFcstRecord r;
        if (!readHour(hour.time, r.hour) || r.hour < 0 || r.hour > 23) continue;
        r.date = hour.time.substr(0, 10);
        std::string hkey = keyOf(r);
        if (log.hfKeys.count(hkey)) continue;
        r.temp = hour.temperature;
        pending.push_back(lineOf(r));
        log.hfKeys.insert(std::move(hkey));
        log.hf.push_back(std::move(r));
    }

    pruneAndFlush(key, log, pending);

    data.skill = computeSkill(log.fcst, log.truth, log.mfcst, log.hf, log.obs);
    buildHistory(data, log);
    applyCorrection(data, data.skill);
}

}  // namespace nbr
