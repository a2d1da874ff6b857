// Flood and river gauges: the modelled river discharge at every place, and in
// the United States the latest reading of the nearest active stream gauge.
#include "service/WeatherService.h"

#include "service/ReplyText.h"
#include "service/ServiceHosts.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace nbr {

using nlohmann::json;

namespace {

constexpr double kGaugeRangeKm = 50.0;
constexpr double kGaugeBoxLongitude = 0.5;
constexpr double kGaugeBoxLatitude = 0.4;
constexpr double kNoData = -99998;  // readings below this are the service's no-data values
constexpr double kCubicMetresPerCubicFoot = 0.0283168;
constexpr double kMetresPerFoot = 0.3048;

// The reading of a series that counts: its newest value, when it is a number
// the gauge really measured. Throws the JSON library's errors on a series of
// the wrong shape.
std::optional<double> newestReading(const json& series) {
    const json& readings = series.at("values").at(0).at("value");
    if (readings.is_null() || readings.empty()) return std::nullopt;
    const auto v = replytext::leadingNumber(readings.back().at("value").get_ref<const std::string&>());
    if (!v || *v < kNoData) return std::nullopt;
    return v;
}

}  // namespace

// ---- Readers ------------------------------------------------------------------------

std::optional<FloodInfo> WeatherService::parseFlood(const std::string& body) {
    const json root = json::parse(body);
    if (!root.is_object()) throw json::type_error::create(302, "flood reply is not an object", &root);
    const auto daily = root.find("daily");
    if (daily != root.end() && !daily->is_object() && !daily->is_null())
        throw json::type_error::create(302, "daily has the wrong type", &*daily);
    if (root.value("error", false) || daily == root.end() || !daily->is_object()) return std::nullopt;
    const auto rd = daily->find("river_discharge");
    if (rd == daily->end() || !rd->is_array()) return std::nullopt;

    // The first day stands for now: when it is null, now is unknown (never
    // the next day's value). Other days without a value are skipped: the
    // largest known one is the week's peak. A list without any known day
    // says there is no river here.
    FloodInfo f;
    if (!rd->empty() && rd->front().is_number()) f.riverDischarge = rd->front().get<double>();
    for (const json& v : *rd) {
        if (!v.is_number()) continue;
        const double value = v.get<double>();
        f.riverDischargeMax = f.valid ? std::max(f.riverDischargeMax, value) : value;
        f.valid = true;
    }
    if (!f.valid) return std::nullopt;
    return f;
}

void WeatherService::parseUsgsGauge(const std::string& body, double latitude, double longitude, FloodInfo& flood) {
    const json root = json::parse(body, nullptr, false);
    if (!root.is_object()) return;
    const auto value = root.find("value");
    if (value == root.end() || !value->is_object()) return;
    const auto ts = value->find("timeSeries");
    if (ts == value->end() || !ts->is_array()) return;

    // The nearest site; a series that cannot be read is passed over.
    double best = 1e9;
    std::string site;
    for (const json& series : *ts) {
        try {
            const json& source = series.at("sourceInfo");
            const json& geo = source.at("geoLocation").at("geogLocation");
            const double siteLat = geo.at("latitude").get<double>(), siteLon = geo.at("longitude").get<double>();
            if (!coordinatesInRange(siteLat, siteLon)) continue;
            const double d = haversineKm(latitude, longitude, siteLat, siteLon);
            if (d < best) {
                best = d;
                site = source.at("siteName").get<std::string>();
            }
        } catch (const json::exception&) {
        }
    }
    if (site.empty() || best > kGaugeRangeKm) return;

    // Every series of that site: discharge and gauge height, the later
    // series of a parameter winning.
    for (const json& series : *ts) {
        try {
            if (series.at("sourceInfo").at("siteName").get<std::string>() != site) continue;
            const auto v = newestReading(series);
            if (!v) continue;
            const std::string& code =
                series.at("variable").at("variableCode").at(0).at("value").get_ref<const std::string&>();
            if (code == "00060") flood.gaugeDischarge = *v * kCubicMetresPerCubicFoot;
            else if (code == "00065") flood.gaugeHeight = *v * kMetresPerFoot;
            flood.hasGauge = true;
            flood.gaugeSite = site;
            flood.gaugeDistanceKm = best;
        } catch (const json::exception&) {
        }
    }
}

// ---- Fetchers -------------------------------------------------------------------------

void WeatherService::fetchFlood(const GeoLocation& loc, WeatherData& data) {
    const std::string key = loc.cacheKey();
    if (!negHas(key, kNegRiver)) {
        const std::string body = httpGet(serviceBase(service::Flood) + "/v1/flood?latitude=" +
                                         formatFixed(loc.latitude, 6) + "&longitude=" +
                                         formatFixed(loc.longitude, 6) + "&daily=river_discharge&forecast_days=7");
        if (!body.empty()) {
            try {
                if (const auto f = parseFlood(body)) data.flood = *f;
                else negSet(key, kNegRiver);
            } catch (const std::exception&) {
                // Not readable: no flag, asked again next time.
            }
        }
    }
    fetchStreamGauge(loc, data);
}

void WeatherService::fetchStreamGauge(const GeoLocation& loc, WeatherData& data) {
    if (!replytext::isUnitedStates(loc.country)) return;
    const std::string key = loc.cacheKey();
    if (negHas(key, kNegGauge)) return;
    const std::string body =
        httpGet(serviceBase(service::UsgsWater) + "/nwis/iv/?format=json" + "&bBox=" +
                formatFixed(loc.longitude - kGaugeBoxLongitude, 3) + "," +
                formatFixed(loc.latitude - kGaugeBoxLatitude, 3) + "," +
                formatFixed(loc.longitude + kGaugeBoxLongitude, 3) + "," +
                formatFixed(loc.latitude + kGaugeBoxLatitude, 3) + "&parameterCd=00060,00065&siteStatus=active");
    if (body.empty()) return;
    const bool had = data.flood.hasGauge;
    parseUsgsGauge(body, loc.latitude, loc.longitude, data.flood);
    if (!data.flood.hasGauge && !had && json::accept(body)) negSet(key, kNegGauge);
}

}  // namespace nbr
