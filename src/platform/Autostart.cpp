#include "platform/Autostart.h"

#include <cstdlib>

namespace nbr::platform {

std::string autostartFilePath() {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base
    // directory rules ask.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/autostart/nimbrel.desktop";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/autostart/nimbrel.desktop";
    return {};
}

}  // namespace nbr::platform
