// A place's history file, read back at the first use in a run and scored:
// lines of any shape are skipped, never thrown out of the store.
#include "FuzzSupport.h"
#include "history/HistoryStore.h"
#include "model/WeatherTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::HistoryStore store;
    store.dir = nbr::fuzz::scratchDir();
    const std::string key = "Fuzz@1.0000,2.0000";
    nbr::fuzz::writeFile(store.pathFor(key), nbr::fuzz::text(data, size));
    const nbr::HistoryStore::Log& log = store.logFor(key);
    (void)nbr::HistoryStore::computeSkill(log.fcst, log.truth, log.mfcst, log.hf, log.obs);
    nbr::WeatherData record;
    nbr::HistoryStore::buildHistory(record, log);
    return 0;
}
