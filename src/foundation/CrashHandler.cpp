#include "foundation/CrashHandler.h"

#include <cstdio>
#include <filesystem>

#include "platform/CrashSignals.h"
#include "platform/Files.h"

#include <fcntl.h>
#include <unistd.h>

namespace nbr::crash {

namespace fs = std::filesystem;

namespace {
std::string g_dir;
}

void install(const std::string& dir) {
    if (!platform::createPrivateDirectories(dir)) return;
    if (!platform::installCrashHandlers(dir)) return;
    g_dir = dir;
}

const std::string& dir() { return g_dir; }

void markReportsSeen() {
    if (!g_dir.empty()) detail::markReportsSeenIn(g_dir);
}

std::string pendingReport() { return g_dir.empty() ? std::string() : detail::pendingReportIn(g_dir); }

namespace detail {

void markReportsSeenIn(const std::string& dir) {
    const std::string path = dir + "/.seen";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, platform::kPrivateFileMode);
    if (fd >= 0) {
        ::close(fd);
        // Truncating an already empty file need not touch its time on every
        // file system; set it explicitly.
        std::error_code ec;
        fs::last_write_time(path, fs::file_time_type::clock::now(), ec);
    }
}

std::string pendingReportIn(const std::string& dir) {
    std::error_code ec;
    const fs::file_time_type seen = fs::last_write_time(dir + "/.seen", ec);
    const bool hasMarker = !ec;

    std::string best;
    fs::file_time_type bestTime{};
    fs::directory_iterator it(dir, ec);
    if (ec) return best;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::directory_entry& entry = *it;
        std::error_code typeEc;
        const bool regular = entry.is_regular_file(typeEc);
        if (typeEc) break;
        if (!regular) continue;
        const std::string name = entry.path().filename().string();
        if (name.rfind("crash-", 0) != 0) continue;
        std::error_code timeEc;
        const fs::file_time_type t = entry.last_write_time(timeEc);
        if (timeEc) break;
        if (hasMarker && !(t > seen)) continue;
        if (best.empty() || t > bestTime) {
            best = entry.path().string();
            bestTime = t;
        }
    }
    return best;
}

}  // namespace detail

}  // namespace nbr::crash
