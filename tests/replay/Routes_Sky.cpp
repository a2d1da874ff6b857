// The satellite element-set service and the encyclopedia's page summaries.
// The element set is the space station's, its epoch moved to a few hours
// before the request so it is always current; summaries are generated from a
// template, with a few articles answering differently (exceptions.json).
#include "replay/Routes_Sky.h"
#include "replay/ReplayServer.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace nbr::replay {

namespace sky {

namespace {

// Modulo-10 sum of a line's first 68 columns: digits count their value, '-'
// counts one.
char checksum(const std::string& line) {
    int sum = 0;
    for (size_t i = 0; i < 68 && i < line.size(); ++i) {
        const char c = line[i];
        if (c >= '0' && c <= '9') sum += c - '0';
        else if (c == '-') sum += 1;
    }
    return static_cast<char>('0' + sum % 10);
}

// "YYDDD.DDDDDDDD": two-digit year and day of the year with its fraction.
std::string epochField(int64_t t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    const int64_t midnight = t - (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
    const double day = tm.tm_yday + 1 + static_cast<double>(t - midnight) / 86400.0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%012.8f", tm.tm_year % 100, day);
    return buf;
}

}  // namespace

std::string issElementSet(int64_t epochUnix) {
    const std::string text = ReplayServer::fixture("celestrak/iss_tle.txt");
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 69 && line[0] == '1') line.replace(18, 14, epochField(epochUnix));
        if (line.size() >= 69 && (line[0] == '1' || line[0] == '2')) line[68] = checksum(line);
        out += line + "\r\n";
    }
    return out;
}

std::string titleOf(const std::string& slug) {
    std::string title = slug;
    for (char& c : title)
        if (c == '_') c = ' ';
    const std::string qualifier = " (constellation)";
    if (title.size() > qualifier.size() &&
        title.compare(title.size() - qualifier.size(), qualifier.size(), qualifier) == 0)
        title.resize(title.size() - qualifier.size());
    return title;
}

}  // namespace sky

namespace {

using nlohmann::json;

int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

NIMBREL_REPLAY_ROUTES(celestrak) {
    server.route("celestrak", "/NORAD/elements/gp.php", [](ReplayServer&, const Request& r) {
        if (r.param("CATNR") != "25544" || r.param("FORMAT") != "TLE") return Reply::text("No GP data found");
        return Reply::text(sky::issElementSet(nowSeconds() - sky::kIssEpochAgeSeconds));
    });
}

NIMBREL_REPLAY_ROUTES(wikipedia) {
    server.route("wikipedia", "/api/rest_v1/page/summary/*", [](ReplayServer& s, const Request& r) {
        const std::string slug = r.path.substr(std::string("/api/rest_v1/page/summary/").size());
        if (slug.empty() || slug.find('/') != std::string::npos) return Reply::notFound();
        const json exceptions = json::parse(ReplayServer::fixture("wikipedia/exceptions.json"));
        const json how = exceptions.contains(slug) ? exceptions[slug] : json::object();
        if (how.contains("status"))
            return Reply::withStatus(how["status"].get<int>(), "{\"type\":\"not_found\",\"title\":\"Not found.\"}");

        const std::string title = sky::titleOf(slug);
        json reply = json::parse(s.fill(ReplayServer::fixture("wikipedia/summary.json"), nullptr));
        reply["title"] = slug;
        reply["displaytitle"] = title;
        reply["titles"] = {{"canonical", slug}, {"normalized", title}, {"display", title}};
        const std::string page = s.base() + "/wikipedia/wiki/" + slug;
        for (const char* site : {"desktop", "mobile"})
            reply["content_urls"][site] = {{"page", page},
                                           {"revisions", page + "?action=history"},
                                           {"edit", page + "?action=edit"},
                                           {"talk", s.base() + "/wikipedia/wiki/Talk:" + slug}};
        if (how.contains("type")) reply["type"] = how["type"];
        std::string extract;
        if (how.contains("extractFile"))
            extract = ReplayServer::fixture("wikipedia/" + how["extractFile"].get<std::string>());
        else extract = title + " is one of the 88 modern constellations. It was among the figures listed by "
                               "astronomers of antiquity or charted by later navigators.";
        if (how.value("noExtract", false)) {
            reply.erase("extract");
            reply.erase("extract_html");
        } else {
            reply["extract"] = extract;
            reply["extract_html"] = "<p>" + extract + "</p>";
        }
        return Reply::json(reply.dump());
    });
}

}  // namespace nbr::replay
