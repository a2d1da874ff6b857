#include "platform/Paths.h"

#include "platform/Process.h"

#include <cstdlib>
#include <filesystem>

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

std::string resourceDir() {
    const std::string exe = exePath();
    const std::string folder = exe.substr(0, exe.rfind('/') + 1);  // "" when unknown
    const std::string beside = folder + "resources/";
    const std::string installed = folder + NIMBREL_SHARE_FROM_BIN "/";
    std::error_code ec;
    if (!std::filesystem::is_directory(beside, ec) && !folder.empty() && std::filesystem::is_directory(installed, ec))
        return installed;
    return beside;
}

}  // namespace nbr::platform
