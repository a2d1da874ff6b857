// The publisher's update document: the version the program already has.
#include "replay/ReplayServer.h"

namespace nbr::replay {

NIMBREL_REPLAY_ROUTES(update) {
    server.route("update", "/nimbrel-latest.json",
                 [](ReplayServer&, const Request&) { return Reply::json(R"({"version":"1.4.1"})"); });
}

}  // namespace nbr::replay
