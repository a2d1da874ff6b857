#include "service/ServiceHosts.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace nbr {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 24> kHosts{{
    {service::Forecast, "https://api.open-meteo.com"},
    {service::Geocoding, "https://geocoding-api.open-meteo.com"},
    {service::AirQuality, "https://air-quality-api.open-meteo.com"},
    {service::Marine, "https://marine-api.open-meteo.com"},
    {service::Flood, "https://flood-api.open-meteo.com"},
    {service::Ensemble, "https://ensemble-api.open-meteo.com"},
    {service::PreviousRuns, "https://previous-runs-api.open-meteo.com"},
    {service::Seasonal, "https://seasonal-api.open-meteo.com"},
    {service::Archive, "https://archive-api.open-meteo.com"},
    {service::MetNo, "https://api.met.no"},
    {service::Nws, "https://api.weather.gov"},
    {service::Eccc, "https://api.weather.gc.ca"},
    {service::Awc, "https://aviationweather.gov"},
    {service::Coops, "https://api.tidesandcurrents.noaa.gov"},
    {service::Ndbc, "https://www.ndbc.noaa.gov"},
    {service::UsgsWater, "https://waterservices.usgs.gov"},
    {service::UsgsQuake, "https://earthquake.usgs.gov"},
    {service::Emsc, "https://www.seismicportal.eu"},
    {service::Swpc, "https://services.swpc.noaa.gov"},
    {service::Gfz, "https://kp.gfz-potsdam.de"},
    {service::Celestrak, "https://celestrak.org"},
    {service::Wikipedia, "https://en.wikipedia.org"},
    {service::RainViewer, "https://api.rainviewer.com"},
    {service::Update, ""},
}};

std::string readOverride() {
    const char* v = std::getenv("NIMBREL_SERVICE_BASE");
    std::string s = v ? v : "";
    while (!s.empty() && s.back() == '/') s.pop_back();
    return s;
}

std::string& overrideValue() {
    static std::string value = readOverride();
    return value;
}

}  // namespace

const std::string& serviceBaseOverride() { return overrideValue(); }

void reloadServiceBase() { overrideValue() = readOverride(); }

std::string serviceBase(std::string_view id) {
    for (const auto& [sid, host] : kHosts) {
        if (sid != id) continue;
        const std::string& o = serviceBaseOverride();
        if (!o.empty()) return o + "/" + std::string(id);
        return std::string(host);
    }
    return {};
}

bool serviceUrlAllowed(std::string_view url) {
    const std::string& o = serviceBaseOverride();
    if (o.empty()) return true;
    if (url.substr(0, o.size()) != o) return false;
    if (url.size() == o.size()) return true;
    const char next = url[o.size()];
    return next == '/' || next == '?' || next == '#';
}

bool urlOnService(std::string_view url, std::string_view id) {
    const std::string base = serviceBase(id);
    return !base.empty() && url.size() > base.size() && url.substr(0, base.size()) == base &&
           url[base.size()] == '/';
}

}  // namespace nbr
