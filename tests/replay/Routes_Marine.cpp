// The marine forecast and the tides service: wave heights per place; the
// tide-station list, predictions and water temperatures per station (a station
// without a file answers as the service does when it has no data).
#include "replay/ReplayServer.h"

#include <nlohmann/json.hpp>

#include <cctype>

namespace nbr::replay {

namespace {

using nlohmann::json;

// The known place a tide station belongs to, for filling in its local dates.
const Place* placeOfStation(const std::string& id) {
    const json list = json::parse(ReplayServer::fixture("coops/stations.json"), nullptr, false);
    if (!list.is_object() || !list.contains("stations")) return nullptr;
    for (const json& s : list["stations"])
        if (s.value("id", "") == id) return placeAt(s.value("lat", 0.0), s.value("lng", 0.0));
    return nullptr;
}

bool safeName(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

}  // namespace

NIMBREL_REPLAY_ROUTES(marine) {
    server.route("marine", "/v1/marine", [](ReplayServer& s, const Request& r) {
        if (!r.place) return Reply::notFound();
        return s.fixtureReply("marine/" + r.place->id + ".json", r.place);
    });
}

NIMBREL_REPLAY_ROUTES(coops) {
    server.route("coops", "/mdapi/prod/webapi/stations.json", [](ReplayServer& s, const Request& r) {
        if (r.param("type") != "tidepredictions") return Reply::json("{\"count\":0,\"units\":null,\"stations\":[]}");
        return s.fixtureReply("coops/stations.json", nullptr);
    });
    server.route("coops", "/api/prod/datagetter", [](ReplayServer& s, const Request& r) {
        const std::string product = r.param("product"), station = r.param("station");
        if (!safeName(product) || !safeName(station)) return s.fixtureReply("coops/no_data.json", nullptr);
        const std::string file = "coops/" + product + "_" + station + ".json";
        if (ReplayServer::fixture(file).empty()) return s.fixtureReply("coops/no_data.json", nullptr);
        return s.fixtureReply(file, placeOfStation(station));
    });
}

}  // namespace nbr::replay
