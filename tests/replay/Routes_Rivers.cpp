// The flood forecast (modelled river discharge per place) and the stream-gauge
// service (per place, by the centre of the requested box; a box around no
// known place gets the service's empty reply).
#include "replay/ReplayServer.h"

namespace nbr::replay {

NIMBREL_REPLAY_ROUTES(flood) {
    server.route("flood", "/v1/flood", [](ReplayServer& s, const Request& r) {
        if (!r.place) return Reply::notFound();
        return s.fixtureReply("flood/" + r.place->id + ".json", r.place);
    });
}

NIMBREL_REPLAY_ROUTES(usgswater) {
    server.route("usgswater", "/nwis/iv/", [](ReplayServer& s, const Request& r) {
        const std::string file = r.place ? "usgswater/" + r.place->id + ".json" : std::string();
        if (file.empty() || ReplayServer::fixture(file).empty())
            return Reply::json("{\"name\":\"ns1:timeSeriesResponseType\",\"value\":{\"queryInfo\":{},"
                               "\"timeSeries\":[]},\"nil\":false}");
        return s.fixtureReply(file, r.place);
    });
}

}  // namespace nbr::replay
