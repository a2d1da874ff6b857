// Recording enriched data: verified days from the daily archive, tomorrow's
// forecast of every other source and the nearest station's observation join
// the history log, and today's logged rain chances follow the consensus.
#include "history/HistoryStore.h"

#include "model/WeatherTypes.h"

#include <cmath>

namespace nbr {

namespace {

constexpr size_t kMinTimeLength = 16;  // YYYY-MM-DDTHH:MM
constexpr int kArchiveDaysBack = 90;
constexpr double kMaxStationKm = 30.0;
constexpr double kMinStationTemp = -900.0;
constexpr int64_t kStationIntervalMinutes = 59;  // logged when more apart than this
constexpr double kMinPopUpdate = 0.5;
constexpr const char* kOwnSourceLabel = "openmeteo";

// Value 1 (tomorrow) of a model list, NaN when it has none.
double tomorrowOf(const std::vector<double>& list) {
    return list.size() >= 2 ? list[1] : std::nan("");
}

}  // namespace

void HistoryStore::recordEnriched(WeatherData& data, const std::vector<ArchiveStore::Day>* days) {
    if (dir.empty() || data.time.size() < kMinTimeLength) return;
    const std::string today = data.time.substr(0, 10);
    const std::string yesterday = previousDate(today);
    const std::string key = data.location.cacheKey();
    Log& log = logFor(key);
    std::vector<std::string> pending;

    // Verified days of the last 90 days from the archive, newest first; a day
    // the forecast service already verified keeps its own values.
    if (days && !days->empty() && !yesterday.empty()) {
        const std::string cutoff = ArchiveStore::addDays(today, -kArchiveDaysBack);
        for (auto it = days->rbegin(); it != days->rend(); ++it) {
            if (it->date > yesterday) continue;
            if (!cutoff.empty() && it->date < cutoff) break;
            // A day without both temperatures is no verified day.
            if (log.truthDates.count(it->date) || !knownTemperature(it->tmax) || !knownTemperature(it->tmin)) continue;
            TruthRecord r;
            r.date = it->date;
            r.tmax = it->tmax;
            r.tmin = it->tmin;
            r.precip = it->precip;
            r.fromArchive = true;
            pending.push_back(lineOf(r));
            log.truthDates.insert(r.date);
            log.truth.push_back(std::move(r));
        }
    }

    // Tomorrow's forecast of each source, the first of the day kept.
    if (data.daily.size() >= 2 && !data.daily[1].date.empty()) {
        const DailyForecast& tomorrow = data.daily[1];
        auto addSource = [&](const std::string& model, double tmax, double tmin, double pop) {
            // A value that is no number would be written as null and make the
            // line unreadable.
            // An unknown temperature is no forecast.
            if (!std::isfinite(tmax) || !std::isfinite(tmin) || !knownTemperature(tmax) || !knownTemperature(tmin))
                return;
            MFcstRecord r;
            r.made = today;
            r.date = tomorrow.date;
            r.model = model;
            std::string mkey = keyOf(r);
            if (log.mfcstKeys.count(mkey)) return;
            r.tmax = tmax;
            r.tmin = tmin;
            r.pop = std::isfinite(pop) ? pop : -1;
            pending.push_back(lineOf(r));
            log.mfcstKeys.insert(std::move(mkey));
            log.mfcst.push_back(std::move(r));
        };
        for (const auto& series : data.modelSeries) {
            if (series.highs.size() < 2 || series.lows.size() < 2) continue;
            const double high = series.highs[1], low = series.lows[1];
            if (std::isnan(high) || std::isnan(low)) continue;
            addSource(series.model, high, low, tomorrowOf(series.precipitationProbabilities));
        }
        for (const ProviderForecast* p : {&data.metNorway, &data.nws}) {
            if (p->valid && p->date == tomorrow.date)
                addSource(p->source, p->temperatureMax, p->temperatureMin, p->precipitationProbability);
        }
        // The service's own chance: once a consensus replaced the day's chance,
        // the one it kept aside, even when that is none (-1, left out of
        // scoring); the day's chance only when no consensus ran.
        addSource(kOwnSourceLabel, tomorrow.temperatureMax, tomorrow.temperatureMin,
                  tomorrow.popConsensus ? tomorrow.ownPrecipitationProbability : tomorrow.precipitationProbabilityMax);
    }

    // The nearest station's observation, at most one an hour in this run.
    const StationObs& st = data.station;
    if (st.valid && st.distanceKm >= 0 && st.distanceKm <= kMaxStationKm && st.temperature > kMinStationTemp) {
        const int64_t now = isoToMinutes(data.time);
        bool take = false;
        if (now >= 0) {
            const int64_t last = log.lastStationObsTime.empty() ? -1 : isoToMinutes(log.lastStationObsTime);
            take = last < 0 || now - last > kStationIntervalMinutes;
        }
        if (take) {
            ObsRecord r;
            r.time = data.time;
            r.temp = st.temperature;
            r.hum = data.relativeHumidity;
            r.pres = data.pressureMsl;
            r.wind = st.windSpeed >= 0 ? st.windSpeed : data.windSpeed;
            r.precip = data.precipitation;
            r.code = data.weatherCode;
            pending.push_back(stationLineOf(r));
            log.lastStationObsTime = data.time;
            log.obs.push_back(std::move(r));
        }
    }

    // Today's logged rain chances follow the consensus; the later of two
    // matching days decides.
    bool changed = false;
    for (auto& r : log.fcst) {
        if (r.made != today) continue;
        for (const auto& day : data.daily) {
            if (!day.popConsensus || day.date != r.date || !std::isfinite(day.precipitationProbabilityMax)) continue;
            if (std::fabs(day.precipitationProbabilityMax - r.pop) >= kMinPopUpdate) {
                r.pop = day.precipitationProbabilityMax;
                changed = true;
            }
        }
    }

    // The rewritten file holds the new records too; when it cannot be written
    // the new lines are appended instead.
    if (changed && rewrite(key, log)) pending.clear();
    pruneAndFlush(key, log, pending);

    data.skill = computeSkill(log.fcst, log.truth, log.mfcst, log.hf, log.obs);
    buildHistory(data, log);
}

}  // namespace nbr
