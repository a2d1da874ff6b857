// Where each web service lives. Every fetcher builds its URL as
// serviceBase(id) + the path and query of its source, so one table decides the
// scheme and host of them all.
//
// Service ids (also the first path segment of each service on a stand-in
// server, see NIMBREL_SERVICE_BASE below):
//   forecast      Open-Meteo forecast API
//   geocoding     Open-Meteo geocoding API
//   airquality    Open-Meteo air-quality API
//   marine        Open-Meteo marine API
//   flood         Open-Meteo flood API
//   ensemble      Open-Meteo ensemble API
//   previousruns  Open-Meteo previous-runs API
//   seasonal      Open-Meteo seasonal API
//   archive       Open-Meteo historical archive API
//   metno         MET Norway weather API (Locationforecast, MetAlerts)
//   nws           US National Weather Service API
//   eccc          Environment and Climate Change Canada weather API
//   awc           NOAA Aviation Weather Center data API
//   coops         NOAA Tides and Currents (CO-OPS) APIs
//   ndbc          NOAA National Data Buoy Center
//   usgswater     USGS Water Services
//   usgsquake     USGS earthquake catalogue
//   emsc          EMSC earthquake catalogue
//   swpc          NOAA Space Weather Prediction Center services
//   gfz           GFZ Potsdam Kp index service
//   celestrak     CelesTrak element sets
//   wikipedia     English Wikipedia REST API
//   rainviewer    RainViewer radar API
//   update        the update-information document (no public host: empty base)
//
// NIMBREL_SERVICE_BASE (for example "http://127.0.0.1:41234"), when set and
// not empty, replaces every base with "<value>/<id>", and while it is set the
// HTTP client refuses every URL that does not start with it. It is read once on
// first use; reloadServiceBase() reads it again (tests, while no other thread
// uses the table).
#pragma once

#include <string>
#include <string_view>

namespace nbr {

namespace service {
inline constexpr std::string_view Forecast = "forecast";
inline constexpr std::string_view Geocoding = "geocoding";
inline constexpr std::string_view AirQuality = "airquality";
inline constexpr std::string_view Marine = "marine";
inline constexpr std::string_view Flood = "flood";
inline constexpr std::string_view Ensemble = "ensemble";
inline constexpr std::string_view PreviousRuns = "previousruns";
inline constexpr std::string_view Seasonal = "seasonal";
inline constexpr std::string_view Archive = "archive";
inline constexpr std::string_view MetNo = "metno";
inline constexpr std::string_view Nws = "nws";
inline constexpr std::string_view Eccc = "eccc";
inline constexpr std::string_view Awc = "awc";
inline constexpr std::string_view Coops = "coops";
inline constexpr std::string_view Ndbc = "ndbc";
inline constexpr std::string_view UsgsWater = "usgswater";
inline constexpr std::string_view UsgsQuake = "usgsquake";
inline constexpr std::string_view Emsc = "emsc";
inline constexpr std::string_view Swpc = "swpc";
inline constexpr std::string_view Gfz = "gfz";
inline constexpr std::string_view Celestrak = "celestrak";
inline constexpr std::string_view Wikipedia = "wikipedia";
inline constexpr std::string_view RainViewer = "rainviewer";
inline constexpr std::string_view Update = "update";
}  // namespace service

// Scheme and host (and port) of the service with this id, without a trailing
// slash; "<override>/<id>" while NIMBREL_SERVICE_BASE is set. Empty for an
// unknown id and for the update document without an override.
std::string serviceBase(std::string_view id);

// The value of NIMBREL_SERVICE_BASE without trailing slashes; empty when unset.
const std::string& serviceBaseOverride();

// Reads NIMBREL_SERVICE_BASE again.
void reloadServiceBase();

// Whether a transfer to this URL is allowed: always while no override is set;
// otherwise only URLs on the override's server (the override followed by the
// end, '/', '?' or '#').
bool serviceUrlAllowed(std::string_view url);

// Whether an absolute URL (one taken from a reply) points into the service
// with this id: its base followed by '/'. Replies must not send the program
// to another host or scheme.
bool urlOnService(std::string_view url, std::string_view id);

}  // namespace nbr
