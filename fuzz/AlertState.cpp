// alert_state.json as start-up reads it: any content loads as far as it can
// and never ends the program; what loads saves again.
#include "FuzzSupport.h"
#include "desktop/AlertEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = nbr::fuzz::scratchDir() + "/alert_state.json";
    nbr::fuzz::writeFile(path, nbr::fuzz::text(data, size));
    // Saved places for an older file's keys of a name alone to go to.
    static const std::vector<nbr::SavedLocation> saved = {
        nbr::SavedLocation{{"Springfield", "US", "Illinois", 39.8, -89.65, "", false}},
        nbr::SavedLocation{{"k", "", "", 0, 0, "", false}}};
    nbr::AlertEngine engine;
    engine.setStatePath(path, saved);
    for (const std::string& key : engine.acknowledgedKeys(0)) engine.acknowledge(key, {}, 0);
    return 0;
}
