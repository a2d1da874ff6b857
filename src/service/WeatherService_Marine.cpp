// Marine and tides: the modelled wave height for every place and, in the
// United States, the next tides and the water temperature of the nearest
// tide-prediction station. The buoy step (WeatherService_Buoys.cpp) follows.
#include "service/WeatherService.h"

#include "service/ReplyText.h"
#include "service/ServiceHosts.h"
#include "service/SourceSupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace nbr {

using nlohmann::json;

namespace {

constexpr double kTideStationRangeKm = 100.0;
constexpr size_t kTideEventLimit = 4;
constexpr size_t kMaxStationIdLength = 16;

// A text member, none when absent or null; throws when present with another
// type.
std::optional<std::string> textMember(const json& obj, const char* key) {
    const auto it = obj.find(key);
    if (it == obj.end() || it->is_null()) return std::nullopt;
    return it->get<std::string>();
}

// A number member, none when absent or null; throws when present with
// another type.
std::optional<double> numberMember(const json& obj, const char* key) {
    const auto it = obj.find(key);
    if (it == obj.end() || it->is_null()) return std::nullopt;
    if (!it->is_number()) throw json::type_error::create(302, std::string(key) + " is not a number", &*it);
    return it->get<double>();
}

// "YYYY-MM-DD HH:MM" -> "HH:MM" (hours and minutes read from the twelfth
// character on); empty for any other shape.
std::string clockOf(const std::string& t) {
    if (t.size() < 16) return {};
    std::string_view rest(t);
    rest.remove_prefix(11);
    const auto h = replytext::scanInt(rest);
    if (!h || rest.empty() || rest.front() != ':') return {};
    rest.remove_prefix(1);
    const auto m = replytext::scanInt(rest);
    if (!m) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d", *h, *m);
    return buf;
}

}  // namespace

// ---- Readers ------------------------------------------------------------------------

std::optional<double> WeatherService::parseMarineWave(const std::string& body) {
    const json root = json::parse(body);  // not JSON: thrown, and no flag is set for it
    try {
        if (!root.is_object() || root.value("error", false)) return std::nullopt;
        const auto cur = root.find("current");
        if (cur == root.end()) return std::nullopt;
        if (!cur->is_object()) return std::nullopt;
        const auto w = cur->find("wave_height");
        if (w != cur->end() && w->is_number() && w->get<double>() >= 0) return w->get<double>();
    } catch (const json::exception&) {
        // A value of the wrong type: the place has no usable wave height.
    }
    return std::nullopt;
}

std::vector<WeatherService::TideStation> WeatherService::parseTideStations(const std::string& body) {
    std::vector<TideStation> list;
    try {
        const json root = json::parse(body);
        if (!root.is_object()) return list;
        const auto stations = root.find("stations");
        if (stations == root.end()) return list;
        for (const json& s : *stations) {
            // A station without coordinates is nowhere in particular.
            const std::optional<double> lat = numberMember(s, "lat"), lng = numberMember(s, "lng");
            if (!lat || !lng || !coordinatesInRange(*lat, *lng)) continue;
            TideStation t;
            t.latitude = *lat;
            t.longitude = *lng;
            t.name = textMember(s, "name").value_or(std::string());
            // A station without an id stays (with the id empty): it is there,
            // so the place is not far from every station, but cannot be asked.
            const std::optional<std::string> id = textMember(s, "id");
            if (id && !source::plainId(*id, kMaxStationIdLength)) continue;
            t.id = id.value_or(std::string());
            list.push_back(std::move(t));
        }
    } catch (const json::exception&) {
        // The stations read so far stay.
    }
    return list;
}

std::vector<TideEvent> WeatherService::parseTidePredictions(const std::string& body) {
    std::vector<TideEvent> events;
    try {
        const json root = json::parse(body);
        if (!root.is_object()) return events;
        const auto predictions = root.find("predictions");
        if (predictions == root.end()) return events;
        for (const json& p : *predictions) {
            if (events.size() >= kTideEventLimit) break;
            // An entry without its time or kind (or no object at all) is no
            // tide: only that entry is passed over.
            const std::optional<std::string> t = textMember(p, "t"), type = textMember(p, "type");
            if (!t || !type) continue;
            TideEvent e;
            e.time = clockOf(*t);
            e.high = *type == "H";
            // A height that is missing, not text or not a number is unknown;
            // the tide itself is still worth showing.
            const auto v = p.find("v");
            if (v != p.end() && v->is_string()) e.height = replytext::leadingNumber(v->get_ref<const std::string&>());
            events.push_back(std::move(e));
        }
    } catch (const json::exception&) {
        // The events read so far stay.
    }
    return events;
}

std::optional<double> WeatherService::parseWaterTemperature(const std::string& body) {
    const json root = json::parse(body);  // not JSON: thrown, and no flag is set for it
    if (!root.is_object()) return std::nullopt;
    const auto data = root.find("data");
    if (data == root.end() || !data->is_array() || data->empty()) return std::nullopt;
    const json& first = data->front();
    if (!first.is_object()) return std::nullopt;
    const auto v = first.find("v");
    if (v == first.end() || !v->is_string()) return std::nullopt;
    return replytext::leadingNumber(v->get_ref<const std::string&>());
}

// ---- Fetcher --------------------------------------------------------------------------

void WeatherService::fetchTidesAndMarine(const GeoLocation& loc, WeatherData& data) {
    TideInfo t;
    const std::string key = loc.cacheKey();

    if (!negHas(key, kNegMarine)) {
        const std::string body = httpGet(serviceBase(service::Marine) + "/v1/marine?latitude=" +
                                         formatFixed(loc.latitude, 6) + "&longitude=" +
                                         formatFixed(loc.longitude, 6) + "&current=wave_height&timezone=auto");
        if (!body.empty()) {
            try {
                if (const auto w = parseMarineWave(body)) {
                    t.waveHeight = *w;
                    t.valid = true;
                } else {
                    negSet(key, kNegMarine);
                }
            } catch (const std::exception&) {
                // Not JSON (a web page, a cut transfer): asked again next time.
            }
        }
    }

    if (replytext::isUnitedStates(loc.country) && !negHas(key, kNegTideStation)) {
        TideStation chosen;
        double best = 1e9;
        bool tooFar = false;
        {
            // Held through the download, so concurrent enrichments wait for
            // this one list instead of fetching their own.
            std::lock_guard<std::mutex> lock(tideStationsMutex);
            const auto now = std::chrono::steady_clock::now();
            const bool retry = tideStationsLoaded && tideStations.empty() &&
                               now - tideStationsAttempt >= kTideStationsRetry;
            if (!tideStationsLoaded || retry) {
                tideStationsLoaded = true;
                tideStationsAttempt = now;
                const std::string body =
                    httpGet(serviceBase(service::Coops) + "/mdapi/prod/webapi/stations.json?type=tidepredictions");
                if (!body.empty()) tideStations = parseTideStations(body);
            }
            // The nearest station of all decides whether the place is far
            // from the coast; the nearest one with an id is asked.
            double nearest = 1e9;
            for (const TideStation& s : tideStations) {
                const double d = haversineKm(loc.latitude, loc.longitude, s.latitude, s.longitude);
                nearest = std::min(nearest, d);
                if (!s.id.empty() && d < best) {
                    best = d;
                    chosen = s;
                }
            }
            if (!tideStations.empty() && nearest > kTideStationRangeKm) {
                negSet(key, kNegTideStation);  // negMutex inside tideStationsMutex: the one allowed order
                tooFar = true;
            }
        }

        // The reply's own date; its first day's only when it wrote no present.
        const std::string today = data.time.size() >= 10 ? data.time.substr(0, 10)
                                  : data.daily.empty()   ? std::string()
                                                         : data.daily.front().date;
        if (!tooFar && !chosen.id.empty() && best <= kTideStationRangeKm && today.size() >= 10) {
            const std::string begin = today.substr(0, 4) + today.substr(5, 2) + today.substr(8, 2);
            const std::string api = serviceBase(service::Coops) + "/api/prod/datagetter?";
            const std::string predictions = httpGet(
                api + "product=predictions&application=Nimbrel&datum=MLLW" +
                "&interval=hilo&units=metric&time_zone=lst_ldt&format=json" + "&begin_date=" + begin +
                "&range=36&station=" + chosen.id);
            if (!predictions.empty()) {
                t.events = parseTidePredictions(predictions);
                if (!t.events.empty()) {
                    t.hasPredictions = true;
                    t.stationName = chosen.name;
                    t.valid = true;
                }
            }

            if (!negHas(key, kNegWaterTemperature)) {
                const std::string body =
                    httpGet(api + "product=water_temperature&application=Nimbrel&date=latest&units=metric"
                                  "&time_zone=lst_ldt&format=json&station=" +
                            chosen.id);
                if (!body.empty()) {
                    try {
                        if (const auto w = parseWaterTemperature(body)) {
                            t.waterTemperature = *w;
                            t.valid = true;
                        } else {
                            negSet(key, kNegWaterTemperature);
                        }
                    } catch (const std::exception&) {
                        // Not JSON: no flag, asked again next time.
                    }
                }
            }
        }
    }

    data.tides = std::move(t);
    fetchBuoy(loc, data);
}

}  // namespace nbr
