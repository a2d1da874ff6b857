// The refresh pipeline on the worker: the base forecast answered at once,
// then the enriched, analysed and corrected record with every alert.
#include "app/App.h"

#include "foundation/Logger.h"

#include <cmath>
#include <cstdlib>

namespace nbr {

namespace {

constexpr const char* kOwnVersion = "1.4.1";
constexpr double kNeighborRadiusKm = 50.0;
constexpr int kOwnScoredDaysEnough = 9;

int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The same date a year earlier, as text ("2024-05-01" -> "2023-05-01"); ""
// when the date does not start with a four-digit year.
std::string yearBefore(const std::string& date) {
    if (date.size() < 10) return {};
    for (int i = 0; i < 4; ++i)
        if (date[i] < '0' || date[i] > '9') return {};
    return std::to_string(std::atoi(date.substr(0, 4).c_str()) - 1) + date.substr(4);
}

// Observed highs of consecutive days ending on `end`, oldest first (at most
// three), from the history rows.
std::vector<double> observedRun(const std::vector<HistoryDay>& rows, const std::string& end) {
    std::vector<double> series;
    std::string cur = end;
    for (auto it = rows.rbegin(); it != rows.rend() && series.size() < 3; ++it) {
        if (it->date > cur) continue;
        if (it->date != cur || !it->hasObserved) break;
        series.insert(series.begin(), it->observedHigh);
        cur = HistoryStore::previousDate(cur);
    }
    return series;
}

}  // namespace

std::string forecastFailureText(const WeatherService::ForecastFailure& f) {
    using Failure = WeatherService::ForecastFailure;
    if (f.kind == Failure::Unreachable) return "Couldn't reach the weather service - check your connection.";
    if (f.kind == Failure::Unreadable) return "The weather service sent a reply that could not be read.";
    std::string text = f.status == 404 ? "The weather service has no forecast for this place"
                                       : "The weather service answered with an error";
    if (f.status < 200 || f.status > 299) text += " (HTTP " + std::to_string(f.status) + ")";
    return text + ".";
}

bool retrySoon(const WeatherService::ForecastFailure& f) {
    using Failure = WeatherService::ForecastFailure;
    return f.kind == Failure::Unreachable || (f.kind == Failure::Answered && f.status >= 500 && f.status <= 599);
}

void App::handleFetchWeather(const WorkRequest& request) {
    WeatherService::ForecastFailure failure;
    std::optional<WeatherData> fetched = weatherService.fetchWeather(request.location, &failure);
    if (!fetched) {
        WorkResult res;
        res.kind = request.kind;
        res.place = request.location;
        res.request = request.number;
        res.error = forecastFailureText(failure);
        res.retrySoon = retrySoon(failure);
        Log::warn("weather fetch failed for %s (%.4f,%.4f): %s", request.location.name.c_str(),
                  request.location.latitude, request.location.longitude, res.error.c_str());
        resultQueue.push(std::move(res));
        return;
    }
    WeatherData& data = *fetched;

    // Quick stage: the base forecast, corrected when learning is on.
    if (request.historyEnabled) {
        historyStore.record(data);
        maybeSeedFromNeighbor(request, data);
    } else {
        HistoryStore::removeCorrection(data);
    }
    std::vector<WeatherAlert> rules;
    if (request.alertsEnabled) rules = alertEngine.evaluate(data, request.tuning, 0);
    {
        WorkResult quick;
        quick.kind = request.kind;
        quick.place = request.location;
        quick.request = request.number;
        quick.weather = data;
        quick.alerts = rules;
        resultQueue.push(std::move(quick));
    }
    if (!workerRunning.load()) return;

    // Enrichment on raw forecast values.
    HistoryStore::removeCorrection(data);
    weatherService.enrichWeather(request.location, data);
    WeatherService::applyPopConsensus(data);

    const std::string today = data.time.size() > 9 ? data.time.substr(0, 10) : std::string();
    const std::string yesterday = HistoryStore::previousDate(today);
    if (yesterday.empty()) {
        if (request.historyEnabled) historyStore.recordEnriched(data, nullptr);
    } else {
        const ArchiveStore::Fetcher fetch = [this](const std::string& url) { return weatherService.httpGet(url); };
        const std::vector<ArchiveStore::Day>* days = archiveStore.ensure(
            request.location.cacheKey(), request.location.latitude, request.location.longitude, yesterday, fetch);
        if (request.historyEnabled) historyStore.recordEnriched(data, days);
        if (days && !days->empty()) applyArchive(*days, today, yesterday, data);
    }

    if (request.historyEnabled) {
        maybeSeedFromNeighbor(request, data);
        HistoryStore::applyCorrection(data, data.skill);
    }

    WorkResult final;
    final.kind = request.kind;
    final.place = request.location;
    final.request = request.number;
    if (request.alertsEnabled) {
        // The record's place carries the zone its forecast just named: times
        // without an offset are read on that clock, on a place's first refresh too.
        final.alerts = weatherService.fetchOfficialAlerts(data.location);
        final.alerts.insert(final.alerts.end(), rules.begin(), rules.end());
        for (WeatherAlert& a : alertEngine.evaluateSkyEvents(data, unixNow())) final.alerts.push_back(std::move(a));
    }
    final.weather = std::move(data);
    if (!updateChecked) {
        updateChecked = true;  // before the fetch: a failure is not retried this run
        const std::string published = weatherService.fetchLatestVersion();
        if (!published.empty() && WeatherService::versionLess(kOwnVersion, published))
            final.newerVersion = published;
    }
    resultQueue.push(std::move(final));
}

void App::applyArchive(const std::vector<ArchiveStore::Day>& days, const std::string& today,
                       const std::string& yesterday, WeatherData& data) {
    data.normals = ArchiveStore::normalsFor(days, today.substr(5, 5));
    for (HistoryDay& row : data.history) {
        const std::string key = yearBefore(row.date);
        if (key.empty()) continue;
        for (const ArchiveStore::Day& d : days) {
            if (d.date != key) continue;
            row.hasLastYear = true;
            row.lastYearHigh = d.tmax;
            break;
        }
    }
    data.insights = ArchiveStore::computeInsights(days, today);
    if (!data.seasonalDates.empty())
        data.seasonalAnomaly = ArchiveStore::computeSeasonalAnomaly(days, data.seasonalDates, data.seasonalHighs);
    // The run of observed highs ends yesterday or, failing that, the day before.
    const std::string dayBefore = HistoryStore::previousDate(yesterday);
    for (std::string end = yesterday; !end.empty() && !(end < dayBefore); end = HistoryStore::previousDate(end)) {
        const std::vector<double> series = observedRun(data.history, end);
        if (series.size() >= 2) {
            data.analogs = ArchiveStore::computeAnalogs(days, series, end);
            break;
        }
    }
}

void App::maybeSeedFromNeighbor(const WorkRequest& request, WeatherData& data) {
    if (!request.historyEnabled || data.skill.leads[1].n > kOwnScoredDaysEnough || request.savedLocations.empty())
        return;
    const std::string own = request.location.cacheKey();
    double best = kNeighborRadiusKm;
    const SavedLocation* nearest = nullptr;
    for (const SavedLocation& p : request.savedLocations) {
        if (p.cacheKey() == own) continue;
        const double d = haversineKm(request.location.latitude, request.location.longitude, p.latitude, p.longitude);
        if (d < best) {
            best = d;
            nearest = &p;
        }
    }
    if (!nearest) return;
    // A neighbour lends its skill only with more scored days than a place
    // needs to stand on its own.
    const ForecastSkill nb = historyStore.neighborSkill(nearest->cacheKey());
    if (nb.leads[1].n <= kOwnScoredDaysEnough) return;
    HistoryStore::removeCorrection(data);
    HistoryStore::applyCorrection(data, nb);
    data.skill = nb;
}

}  // namespace nbr
