// The area forecast discussion of the US forecast office responsible for the
// place: the forecasters' own text, cached per office.
#include "service/WeatherService.h"

#include "service/ServiceHosts.h"
#include "service/SourceSupport.h"

namespace nbr {

using nlohmann::json;
using source::member;

namespace {

constexpr double kAfdReuseSeconds = 1800;
constexpr size_t kMaxOfficeLength = 8;

}  // namespace

void WeatherService::fetchForecastDiscussion(const GeoLocation& loc, WeatherData& data) {
    if (!source::usPlace(loc)) return;
    const std::string base = serviceBase(service::Nws);
    const std::string points =
        httpGet(base + "/points/" + formatFixed(loc.latitude, 6) + "," + formatFixed(loc.longitude, 6));
    if (points.empty()) return;
    const std::string office = parseAfdOffice(points);
    if (office.empty()) return;

    {
        std::lock_guard<std::mutex> lock(afdCacheMutex);
        const auto hit = afdCache.find(office);
        if (hit != afdCache.end() && source::secondsSince(hit->second.stamp) < kAfdReuseSeconds) {
            data.afdText = hit->second.text;
            data.afdOffice = hit->second.office;
            data.afdIssued = hit->second.issued;
            return;
        }
    }

    const std::string list = httpGet(base + "/products/types/AFD/locations/" + office);
    if (list.empty()) return;
    const AfdListing first = parseAfdList(list);
    // The product URL comes from the reply: it must lead back to the service.
    if (first.url.empty() || !urlOnService(first.url, service::Nws)) return;
    const std::string product = httpGet(first.url);
    if (product.empty()) return;
    std::string text = parseAfdProduct(product);
    if (text.empty()) return;

    data.afdText = text;
    data.afdOffice = office;
    data.afdIssued = first.issued;
    std::lock_guard<std::mutex> lock(afdCacheMutex);
    afdCache[office] = AfdCacheEntry{std::chrono::steady_clock::now(), std::move(text), office, first.issued};
}

std::string WeatherService::parseAfdOffice(const std::string& body) {
    const json j = json::parse(body, nullptr, false);
    const json* props = source::object(j, "properties");
    if (!props) return {};
    std::string office = source::textOr(*props, "cwa");
    if (office.empty()) office = source::textOr(*props, "gridId");
    return source::plainId(office, kMaxOfficeLength) ? office : std::string();
}

WeatherService::AfdListing WeatherService::parseAfdList(const std::string& body) {
    const json j = json::parse(body, nullptr, false);
    const json* graph = member(j, "@graph");
    if (!graph || !graph->is_array()) return {};
    // Newest first: the first entry with a product link; its time is only
    // shown, so an entry without one (null, or of another type) is still read.
    for (const json& entry : *graph) {
        const auto url = source::text(entry, "@id");
        if (url && !url->empty()) return {*url, source::textOr(entry, "issuanceTime")};
    }
    return {};
}

std::string WeatherService::parseAfdProduct(const std::string& body) {
    const json j = json::parse(body, nullptr, false);
    return source::textOr(j, "productText");
}

}  // namespace nbr
