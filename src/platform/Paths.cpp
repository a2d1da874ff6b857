#include "platform/Paths.h"

#include <cstdlib>

namespace nbr::platform {

namespace {
const char* nonEmptyEnv(const char* name) {
    const char* v = std::getenv(name);
    return (v && *v) ? v : nullptr;
}
}  // namespace

std::string dataDir() {
    if (const char* appData = nonEmptyEnv("APPDATA")) return std::string(appData) + "/Nimbrel";
    if (const char* xdg = nonEmptyEnv("XDG_DATA_HOME")) return std::string(xdg) + "/Nimbrel";
    if (const char* home = nonEmptyEnv("HOME")) return std::string(home) + "/.local/share/Nimbrel";
    return "./";
}

}  // namespace nbr::platform
