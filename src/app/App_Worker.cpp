#include "app/App.h"

#include "foundation/Logger.h"
#include "service/GeoLocator.h"

namespace nbr {

void App::requestWeatherUpdate(const GeoLocation& place, bool scheduled) {
    WorkRequest r;
    r.kind = WorkKind::FetchWeather;
    r.location = place;
    r.alertsEnabled = config.alertsEnabled;
    r.historyEnabled = config.historyEnabled;
    r.tuning = AlertTuning{config.alertGustKmh, config.alertSwingC, config.alertSnowCm};
    r.savedLocations = locationManager.locations();
    r.number = ++newestWeatherRequest;
    requestQueue.push(std::move(r));
    frameBuild.changed = true;  // the status bar says so
    retryWaiting = false;       // this is the next try
    if (!scheduled) failedTries = 0;
    std::lock_guard<std::mutex> lock(dataMutex);
    if (!scheduled || status.empty()) fetchInProgress = true;
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
        // A rename is done even while stopping: the files follow the name saved.
        if (!workerRunning.load() && req->kind != WorkKind::RenamePlace) return;
        switch (req->kind) {
        case WorkKind::FetchWeather:
            handleFetchWeather(*req);
            break;
        case WorkKind::Geocode: {
            WorkResult res;
            res.kind = WorkKind::Geocode;
            if (std::optional<std::vector<GeoLocation>> found = weatherService.searchPlaces(req->query))
                res.searchResults = std::move(*found);
            else
                res.error = "Couldn't reach the place search - check your connection.";
            resultQueue.push(std::move(res));
            break;
        }
        case WorkKind::DetectLocation: {
            WorkResult res;
            res.kind = WorkKind::DetectLocation;
            const OSLocationResult found = detectOSLocation(&weatherService.abortFlag);
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
        case WorkKind::RenamePlace:
            movePlaceFiles(*req);
            break;
        default:
            break;
        }
    }
}

}  // namespace nbr
