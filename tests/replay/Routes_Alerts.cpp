// Official alerts: the US service for Boston, Canada's collection for
// Halifax and MetAlerts for Oslo; an empty collection for any other known
// place.
#include "replay/ReplayServer.h"

namespace nbr::replay {

namespace {

Reply alertsFor(const ReplayServer& s, const Request& r, const char* folder, const char* placeId, const char* file) {
    if (!r.place) return Reply::notFound();
    if (r.place->id != placeId) return Reply::json("{\"type\":\"FeatureCollection\",\"features\":[]}");
    return s.fixtureReply(std::string(folder) + "/" + file, r.place);
}

}  // namespace

NIMBREL_REPLAY_ROUTES(alerts) {
    server.route("nws", "/alerts/active", [](ReplayServer& s, const Request& r) {
        return alertsFor(s, r, "nws", "boston", "alerts_boston.json");
    });
    server.route("eccc", "/collections/alerts/items", [](ReplayServer& s, const Request& r) {
        return alertsFor(s, r, "eccc", "halifax", "alerts_halifax.json");
    });
    server.route("metno", "/weatherapi/metalerts/2.0/current.json", [](ReplayServer& s, const Request& r) {
        return alertsFor(s, r, "metno", "oslo", "metalerts_oslo.json");
    });
}

}  // namespace nbr::replay
