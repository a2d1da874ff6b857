#include "service/WeatherService.h"

#include "model/Constellations.h"
#include "model/Satellite.h"
#include "model/Utf8.h"
#include "platform/Files.h"
#include "service/ServiceHosts.h"

#include <nlohmann/json.hpp>

#include <sstream>
#include <thread>

namespace nbr {

namespace {

using nlohmann::json;

// How long a downloaded element set is used before it is fetched again.
constexpr int64_t kTleReuseSeconds = 12 * 3600;
// An element set whose epoch is older than this predicts passes too poorly.
constexpr double kTleMaxAgeDays = 5.0;
constexpr int kPassWindowHours = 72;
// The summary of an encyclopedia article: cut near this length.
constexpr size_t kSummaryLimit = 320;
constexpr size_t kSummaryFallbackCut = 300;
constexpr size_t kSummaryMinSentenceEnd = 81;

int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Outside text may hold anything: invalid UTF-8 becomes U+FFFD instead of
// making the dump throw.
std::string dumpCompact(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

void trimLineEnd(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
}

}  // namespace

// ---- Space-station passes ---------------------------------------------------------

void WeatherService::fetchIssPasses(const GeoLocation& place, WeatherData& data) {
    fetchIssPassesAt(place, data, unixNow());
}

void WeatherService::fetchIssPassesAt(const GeoLocation& place, WeatherData& data, int64_t now) {
    // Younger than 12 hours; a stamp in the future (the clock was set back
    // since) is stale, or the set would never be fetched again.
    const auto fresh = [now](int64_t stamp) { return stamp <= now && stamp > now - kTleReuseSeconds; };
    std::string line1, line2;
    {
        std::lock_guard<std::mutex> lock(tleMutex);
        if (!tleLine1.empty() && fresh(tleFetchedAt)) {
            line1 = tleLine1;
            line2 = tleLine2;
        } else if (!issTlePath.empty()) {
            if (const auto text = platform::readFile(issTlePath)) {
                const json j = json::parse(*text, nullptr, false);
                if (j.is_object()) {
                    const auto t = j.find("t");
                    const int64_t stamp = t != j.end() && t->is_number_integer() ? t->get<int64_t>() : 0;
                    if (fresh(stamp)) {
                        const auto str = [&](const char* key) {
                            const auto it = j.find(key);
                            return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
                        };
                        line1 = str("l1");
                        line2 = str("l2");
                        tleLine1 = line1;
                        tleLine2 = line2;
                        tleFetchedAt = stamp;
                    }
                }
            }
        }
    }

    if (line1.empty() || line2.empty()) {
        const std::string body =
            httpGet(serviceBase(service::Celestrak) + "/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE");
        std::string got1, got2;
        std::istringstream in(body);
        for (std::string line; std::getline(in, line);) {
            trimLineEnd(line);
            if (line.rfind("1 ", 0) == 0) got1 = line;
            else if (line.rfind("2 ", 0) == 0) got2 = line;
        }
        if (got1.empty() || got2.empty()) return;
        line1 = got1;
        line2 = got2;
        std::lock_guard<std::mutex> lock(tleMutex);
        tleLine1 = line1;
        tleLine2 = line2;
        tleFetchedAt = now;
        if (!issTlePath.empty()) {
            // Members in the order l1, l2, t (the object's keys are sorted).
            const json j = {{"l1", line1}, {"l2", line2}, {"t", now}};
            platform::writeFileAtomic(issTlePath, dumpCompact(j));
        }
    }

    const Tle tle = parseTle(line1, line2);
    if (!tle.valid || jdFromEpoch(now) - tle.epochJd > kTleMaxAgeDays) return;
    data.issPasses = keepVisiblePasses(findPasses(tle, place.latitude, place.longitude, now, kPassWindowHours));
    data.issComputed = true;
}

std::vector<IssPass> WeatherService::keepVisiblePasses(const std::vector<IssPass>& passes) {
    std::vector<IssPass> kept;
    for (const IssPass& p : passes) {
        if (kept.size() >= kIssPassLimit) break;
        if (p.visible) kept.push_back(p);
    }
    return kept;
}

// ---- Constellation facts ----------------------------------------------------------

std::unordered_map<std::string, std::string> WeatherService::fetchStarFacts() {
    std::unordered_map<std::string, std::string> facts;
    if (!starFactsPath.empty()) {
        if (const auto text = platform::readFile(starFactsPath)) {
            const json j = json::parse(*text, nullptr, false);
            if (j.is_object())
                for (const auto& [name, value] : j.items())
                    if (value.is_string()) facts[name] = value.get<std::string>();
        }
    }

    bool changed = false;
    for (const Constellation& c : constellations()) {
        if (abortFlag.load()) break;
        if (facts.count(c.name)) continue;
        const std::string body =
            httpGet(serviceBase(service::Wikipedia) + "/api/rest_v1/page/summary/" + c.articleSlug);
        if (body.empty()) continue;
        std::string summary = parseWikiSummary(body);
        if (summary.empty()) continue;
        facts[c.name] = std::move(summary);
        changed = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // be gentle with the service
    }

    if (changed && !starFactsPath.empty()) {
        json j = json::object();  // sorted keys
        for (const auto& [name, text] : facts) j[name] = text;
        platform::writeFileAtomic(starFactsPath, dumpCompact(j));
    }
    return facts;
}

std::string WeatherService::parseWikiSummary(const std::string& body) {
    const json j = json::parse(body, nullptr, false);
    if (!j.is_object()) return {};
    const auto it = j.find("extract");
    if (it == j.end() || !it->is_string()) return {};
    std::string text = it->get<std::string>();
    if (text.size() <= kSummaryLimit) return text;

    // Prefer ending at a full sentence; a very short first sentence is not
    // worth it, then the text is cut on a character boundary instead.
    const size_t stop = text.rfind(". ", kSummaryLimit);
    if (stop != std::string::npos && stop >= kSummaryMinSentenceEnd) {
        text.resize(stop + 1);
        return text;
    }
    return utf8Cut(text, kSummaryFallbackCut) + "...";
}

}  // namespace nbr
