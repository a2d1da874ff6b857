// The buoy data centre: its station table and each buoy's realtime file, the
// observation times of which ("{{obs:N}}", N ten-minute steps back from the
// latest) are filled in at request time. A buoy without a file gets 404.
#include "replay/ReplayServer.h"

#include <cctype>
#include <ctime>

namespace nbr::replay {

namespace {

// "YYYY MM DD hh mm" in UTC, `steps` ten-minute steps before the latest.
std::string observationTime(int64_t steps) {
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const std::time_t t = static_cast<std::time_t>(now - now % 600 - steps * 600);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y %m %d %H %M", &tm);
    return buf;
}

std::string fillObservationTimes(std::string text) {
    for (size_t pos; (pos = text.find("{{obs:")) != std::string::npos;) {
        const size_t end = text.find("}}", pos);
        if (end == std::string::npos) break;
        text.replace(pos, end + 2 - pos, observationTime(std::strtoll(text.c_str() + pos + 6, nullptr, 10)));
    }
    return text;
}

}  // namespace

NIMBREL_REPLAY_ROUTES(ndbc) {
    server.route("ndbc", "/data/stations/station_table.txt", [](ReplayServer&, const Request&) {
        return Reply::text(ReplayServer::fixture("ndbc/station_table.txt"));
    });
    server.route("ndbc", "/data/realtime2/*.txt", [](ReplayServer&, const Request& r) {
        const std::string prefix = "/data/realtime2/";
        const std::string id = r.path.substr(prefix.size(), r.path.size() - prefix.size() - 4);
        for (char c : id)
            if (!std::isalnum(static_cast<unsigned char>(c))) return Reply::notFound();
        const std::string text = ReplayServer::fixture("ndbc/" + id + ".txt");
        if (text.empty()) return Reply::withStatus(404, "<html><body><h1>Not Found</h1></body></html>");
        return Reply::text(fillObservationTimes(text));
    });
}

}  // namespace nbr::replay
