// Buoys: the nearest buoy's latest wave height and water temperature, from the
// buoy data centre's station table and the buoy's realtime observation file.
#include "service/WeatherService.h"

#include "service/ReplyText.h"
#include "service/ServiceHosts.h"
#include "service/SourceSupport.h"

namespace nbr {

namespace {

constexpr double kBuoyRangeKm = 150.0;
constexpr size_t kTableFields = 7;  // the position is the seventh
constexpr size_t kWaveColumn = 8;
constexpr size_t kWaterColumn = 14;
constexpr double kMissing = -999;
constexpr size_t kMaxBuoyIdLength = 16;

bool skippedLine(std::string_view line) { return line.empty() || line.front() == '#'; }

// The first non-blank character of `text`, dropped from it.
std::optional<char> scanChar(std::string_view& text) {
    replytext::skipBlanks(text);
    if (text.empty()) return std::nullopt;
    const char c = text.front();
    text.remove_prefix(1);
    return c;
}

// "44.794 N 87.313 W ..." -> (44.794, -87.313); nothing unless two numbers
// each followed by a letter lead the field. Anything after them is ignored.
std::optional<std::pair<double, double>> tablePosition(std::string_view field) {
    const auto lat = replytext::scanNumber(field);
    if (!lat) return std::nullopt;
    const auto ns = scanChar(field);
    if (!ns) return std::nullopt;
    const auto lon = replytext::scanNumber(field);
    if (!lon) return std::nullopt;
    const auto ew = scanChar(field);
    if (!ew) return std::nullopt;
    return std::pair{*ns == 'S' ? -*lat : *lat, *ew == 'W' ? -*lon : *lon};
}

std::vector<std::string_view> splitAt(std::string_view line, char sep) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    for (;;) {
        const size_t end = line.find(sep, pos);
        if (end == std::string_view::npos) {
            fields.push_back(line.substr(pos));
            return fields;
        }
        fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
}

std::vector<std::string_view> tokens(std::string_view line) {
    std::vector<std::string_view> out;
    for (;;) {
        replytext::skipBlanks(line);
        if (line.empty()) return out;
        size_t n = 0;
        while (n < line.size() && line[n] != ' ' && line[n] != '\t' && line[n] != '\r' && line[n] != '\f' &&
               line[n] != '\v')
            ++n;
        out.push_back(line.substr(0, n));
        line.remove_prefix(n);
    }
}

// A column's value; kMissing for "MM", for text that is no number and for
// values out of the plausible range (both bounds exclusive).
double column(std::string_view token) {
    if (token == "MM") return kMissing;
    const auto v = replytext::leadingNumber(token);
    return v && *v > -900 && *v < 90 ? *v : kMissing;
}

}  // namespace

// ---- Readers ------------------------------------------------------------------------

std::vector<WeatherService::BuoyStation> WeatherService::parseBuoyTable(const std::string& text) {
    std::vector<BuoyStation> list;
    for (std::string_view line : replytext::lines(text)) {
        if (skippedLine(line)) continue;
        const std::vector<std::string_view> fields = splitAt(line, '|');
        if (fields.size() < kTableFields) continue;
        const auto pos = tablePosition(fields[6]);
        // The id goes into the observation file's path.
        if (!pos || !coordinatesInRange(pos->first, pos->second) || !source::plainId(fields[0], kMaxBuoyIdLength)) continue;
        list.push_back({std::string(fields[0]), std::string(fields[4]), pos->first, pos->second});
    }
    return list;
}

bool WeatherService::parseNdbcRealtime(const std::string& text, double& waveHeight, double& waterTemperature) {
    waveHeight = -1;
    waterTemperature = -999;
    for (std::string_view line : replytext::lines(text)) {
        if (skippedLine(line)) continue;
        // The newest observation comes first and is the only one read.
        const std::vector<std::string_view> cols = tokens(line);
        if (cols.size() <= kWaterColumn) return false;
        const double wave = column(cols[kWaveColumn]);
        const double water = column(cols[kWaterColumn]);
        if (wave != kMissing) waveHeight = wave;
        if (water != kMissing) waterTemperature = water;
        return waveHeight >= 0 || waterTemperature > -900;
    }
    return false;
}

// ---- Fetcher --------------------------------------------------------------------------

void WeatherService::fetchBuoy(const GeoLocation& loc, WeatherData& data) {
    const std::string key = loc.cacheKey();
    if (negHas(key, kNegBuoy)) return;

    std::string id;
    double best = kBuoyRangeKm;
    {
        // Held through the download, so concurrent enrichments wait for this
        // one table instead of fetching their own.
        std::lock_guard<std::mutex> lock(buoyStationsMutex);
        if (!buoyStationsLoaded) {
            const std::string body = httpGet(serviceBase(service::Ndbc) + "/data/stations/station_table.txt");
            buoyStations = parseBuoyTable(body);
            buoyStationsLoaded = !buoyStations.empty();
            // A table without a single station says nothing about this
            // place: no flag, and the next enrichment asks again.
            if (!buoyStationsLoaded) return;
        }
        for (const BuoyStation& s : buoyStations) {
            const double d = haversineKm(loc.latitude, loc.longitude, s.latitude, s.longitude);
            if (d < best) {
                best = d;
                id = s.id;
            }
        }
    }
    if (id.empty()) {
        negSet(key, kNegBuoy);
        return;
    }

    const std::string body = httpGet(serviceBase(service::Ndbc) + "/data/realtime2/" + id + ".txt");
    if (body.empty()) return;
    double wave = -1, water = -999;
    if (!parseNdbcRealtime(body, wave, water)) return;
    TideInfo& t = data.tides;
    t.hasBuoy = true;
    t.buoyId = id;
    t.valid = true;
    t.buoyWaveHeight = wave;
    t.buoyDistanceKm = best;
    t.buoyWaterTemperature = water;
}

}  // namespace nbr
