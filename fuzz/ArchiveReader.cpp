// The daily archive's two readers of outside data: the archive service's
// reply and the place's archive file. Each input is read as both, then
// merged by a download and run through the analytics: a line or reply of any
// shape adds nothing, and never throws or ends the program.
#include "FuzzSupport.h"
#include "history/ArchiveStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = nbr::fuzz::text(data, size);
    nbr::ArchiveStore store;
    store.dir = nbr::fuzz::scratchDir();
    const std::string key = "Fuzz@1.0000,2.0000";
    nbr::fuzz::writeFile(store.pathFor(key), input);
    (void)nbr::ArchiveStore::parseArchive(input);
    const auto* days = store.ensure(key, 1, 2, "2024-05-10", [&](const std::string&) { return input; });
    if (!days) return 0;
    (void)nbr::ArchiveStore::normalsFor(*days, "05-01");
    (void)nbr::ArchiveStore::computeInsights(*days, "2024-05-11");
    (void)nbr::ArchiveStore::computeSeasonalAnomaly(*days, {"2024-06-01", "2024-06-02"}, {20.5, 21});
    (void)nbr::ArchiveStore::computeAnalogs(*days, {18, 19.5, 21}, "2024-05-10");
    return 0;
}
