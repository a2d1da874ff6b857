// The update check: the version text of the publisher's update document, and
// the comparison of two version texts.
#include "service/WeatherService.h"

#include "service/ServiceHosts.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace nbr {

std::string WeatherService::fetchLatestVersion() {
    // The document has no public host: an empty base means there is nothing
    // to check.
    const std::string base = serviceBase(service::Update);
    if (base.empty()) return {};
    const std::string body = httpGet(base + "/nimbrel-latest.json");
    if (body.empty()) return {};
    const nlohmann::json root = nlohmann::json::parse(body, nullptr, false);
    if (!root.is_object()) return {};
    auto it = root.find("version");
    return it != root.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool WeatherService::versionLess(const std::string& a, const std::string& b) {
    int x[3] = {0, 0, 0}, y[3] = {0, 0, 0};
    std::sscanf(a.c_str(), "%d.%d.%d", &x[0], &x[1], &x[2]);
    std::sscanf(b.c_str(), "%d.%d.%d", &y[0], &y[1], &y[2]);
    if (x[0] != y[0]) return x[0] < y[0];
    if (x[1] != y[1]) return x[1] < y[1];
    return x[2] < y[2];
}

}  // namespace nbr
