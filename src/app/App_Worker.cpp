#include "app/App.h"

#include "foundation/Logger.h"
#include "service/GeoLocator.h"

namespace nbr {

void App::requestWeatherUpdate(const GeoLocation& place) {
    WorkRequest r;
    r.kind = WorkKind::FetchWeather;
    r.location = place;
    r.alertsEnabled = config.alertsEnabled;
    r.useFahrenheit = config.useFahrenheit;
    r.historyEnabled = config.historyEnabled;
    r.tuning = AlertTuning{config.alertGustKmh, config.alertSwingC, config.alertSnowCm};
    r.savedLocations = locationManager.locations();
    requestQueue.push(std::move(r));
    std::lock_guard<std::mutex> lock(dataMutex);
    fetchInProgress = true;
}

void App::requestGeocode(const std::string& text) {
    WorkRequest r;
    r.kind = WorkKind::Geocode;
    r.query = text;
    requestQueue.push(std::move(r));
}

void App::requestDetectLocation() {
    WorkRequest r;
    r.kind = WorkKind::DetectLocation;
    requestQueue.push(std::move(r));
}

void App::backgroundWorkerLoop() {
    while (workerRunning.load()) {
        std::optional<WorkRequest> req = requestQueue.waitPop(workerWakeInterval);
        if (!req) continue;
        if (!workerRunning.load()) return;
        switch (req->kind) {
        case WorkKind::FetchWeather:
            handleFetchWeather(*req);
            break;
        case WorkKind::Geocode: {
            WorkResult res;
            res.kind = WorkKind::Geocode;
            res.searchResults = weatherService.geocode(req->query);
            resultQueue.push(std::move(res));
            break;
        }
        case WorkKind::DetectLocation: {
            WorkResult res;
            res.kind = WorkKind::DetectLocation;
            const OSLocationResult found = detectOSLocation();
            if (found.ok) {
                GeoLocation here;
                here.name = "My Location";
                here.latitude = found.latitude;
                here.longitude = found.longitude;
                res.detected = here;
            } else {
                res.error = found.error.empty() ? "Couldn't detect location" : found.error;
            }
            resultQueue.push(std::move(res));
            break;
        }
        case WorkKind::FetchStarFacts: {
            WorkResult res;
            res.kind = WorkKind::FetchStarFacts;
            res.starFacts = weatherService.fetchStarFacts();
            resultQueue.push(std::move(res));
            break;
        }
        default:
            break;
        }
    }
}

void App::handleFetchWeather(const WorkRequest& request) {
    std::optional<WeatherData> data = weatherService.fetchWeather(request.location);
    WorkResult res;
    res.kind = request.kind;
    if (!data) {
        Log::warn("weather fetch failed for %s (%.4f,%.4f)", request.location.name.c_str(),
                  request.location.latitude, request.location.longitude);
        res.error = "Couldn't reach the weather service - check your connection.";
    } else {
        res.weather = std::move(data);
    }
    resultQueue.push(std::move(res));
}

void App::updateFromBackground() {
    while (std::optional<WorkResult> res = resultQueue.tryPop()) {
        if (!res->newerVersion.empty() && renderer) renderer->newerVersion = res->newerVersion;
        switch (res->kind) {
        case WorkKind::FetchWeather: {
            std::lock_guard<std::mutex> lock(dataMutex);
            fetchInProgress = false;
            if (!res->weather) {
                status = res->error.empty() ? "Update failed" : res->error;
                break;
            }
            status.clear();
            weather = std::move(*res->weather);
            alerts = std::move(res->alerts);
            alertsDirty = true;
            break;
        }
        case WorkKind::Geocode:
            if (renderer) renderer->setSearchResults(res->searchResults);
            break;
        case WorkKind::DetectLocation:
            if (res->detected) {
                locationManager.addLocation(*res->detected);
                locationManager.setActive(static_cast<int>(locationManager.locations().size()) - 1);
                requestWeatherUpdate(locationManager.activeLocation());
                if (renderer) renderer->detectError.clear();
            } else if (renderer) {
                renderer->detectError = res->error.empty() ? "Couldn't detect location" : res->error;
            }
            break;
        case WorkKind::FetchStarFacts:
            if (renderer) renderer->starFacts = std::move(res->starFacts);
            break;
        default:
            break;
        }
    }
}

}  // namespace nbr
