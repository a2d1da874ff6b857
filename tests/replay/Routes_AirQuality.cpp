// The air-quality service: current values per place.
#include "replay/ReplayServer.h"

namespace nbr::replay {

NIMBREL_REPLAY_ROUTES(airquality) {
    server.route("airquality", "/v1/air-quality", [](ReplayServer& s, const Request& r) {
        if (!r.place) return Reply::notFound();
        return s.fixtureReply("airquality/" + r.place->id + ".json", r.place);
    });
}

}  // namespace nbr::replay
