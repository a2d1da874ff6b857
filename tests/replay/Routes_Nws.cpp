// The US National Weather Service's points lookup, office forecast and
// forecast-discussion products. Only Boston's office (BOX) is known; the
// replies name this server in their URLs.
#include "replay/ReplayServer.h"

namespace nbr::replay {

NIMBREL_REPLAY_ROUTES(nwsForecastOffice) {
    server.route("nws", "/points/*", [](ReplayServer& s, const Request& r) {
        if (!r.place || r.place->id != "boston") return Reply::notFound();
        return s.fixtureReply("nws/points-boston.json", r.place);
    });
    server.route("nws", "/gridpoints/BOX/71,90/forecast", [](ReplayServer& s, const Request&) {
        return s.fixtureReply("nws/forecast-BOX.json", placeById("boston"));
    });
    server.route("nws", "/products/types/AFD/locations/BOX", [](ReplayServer& s, const Request&) {
        return s.fixtureReply("nws/afd-list-BOX.json", placeById("boston"));
    });
    server.route("nws", "/products/4f1c7b0e-2d1a-4c55-9f7e-0a6b3c2d1e01", [](ReplayServer& s, const Request&) {
        return s.fixtureReply("nws/afd-BOX.json", placeById("boston"));
    });
}

}  // namespace nbr::replay
