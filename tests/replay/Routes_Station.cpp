// The aviation weather service's METAR data: the reports inside the requested
// box, per place ("{{unix}}" is the report time in Unix seconds, on the hour);
// a box around no known place holds no reports.
#include "replay/ReplayServer.h"

namespace nbr::replay {

NIMBREL_REPLAY_ROUTES(awc) {
    server.route("awc", "/api/data/metar", [](ReplayServer& s, const Request& r) {
        if (!r.place) return Reply::json("[]");
        std::string text = s.fill(ReplayServer::fixture("awc/" + r.place->id + ".json"), r.place);
        if (text.empty()) return Reply::json("[]");
        const int64_t now =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        const std::string hour = std::to_string(now - now % 3600);
        for (size_t pos; (pos = text.find("{{unix}}")) != std::string::npos;) text.replace(pos, 8, hour);
        return Reply::json(text);
    });
}

}  // namespace nbr::replay
