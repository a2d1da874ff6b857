// config.json as the program reads it at start-up: whatever the file holds,
// the load keeps what it read and never ends the program, and the settings it
// gives save again.
#include "FuzzSupport.h"
#include "foundation/Config.h"
#include "platform/Files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("APPDATA", nbr::fuzz::scratchDir().c_str(), 1);
    std::filesystem::create_directories(nbr::Config::configDir());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::Config config;
    const std::string path = config.configPath();
    const std::string input = nbr::fuzz::text(data, size);
    nbr::fuzz::writeFile(path, input);
    config.load();  // an unreadable file is kept whole (beside at most four earlier ones)
    if (config.unreadable.any() && nbr::platform::readFile(config.unreadable.copy) != input) std::abort();
    config.save();
    nbr::Config again;
    again.load();
    if (again.locations.size() != config.locations.size()) std::abort();
    return 0;
}
