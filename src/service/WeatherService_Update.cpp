// The update check: the version text of the publisher's update document, and
// the comparison of two version texts.
#include "service/WeatherService.h"

#include "service/ReplyText.h"
#include "service/ServiceHosts.h"

#include <nlohmann/json.hpp>

#include <array>
#include <string_view>

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

namespace {

// "major.minor.patch": missing parts, and every part from one that does not
// read as a whole number on, count as 0 (1.4 is 1.4.0); a suffix after the
// third number is ignored.
std::array<long long, 3> versionParts(std::string_view text) {
    std::array<long long, 3> parts{};
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (text.empty() || text.front() != '.') break;
            text.remove_prefix(1);
        }
        const auto n = replytext::scanLong(text);
        if (!n) break;
        parts[i] = *n;
    }
    return parts;
}

}  // namespace

bool WeatherService::versionLess(const std::string& a, const std::string& b) {
    return versionParts(a) < versionParts(b);
}

}  // namespace nbr
