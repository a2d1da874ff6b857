#include "foundation/OsIntegration.h"

#include <cerrno>
#include <fstream>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "foundation/Logger.h"
#include "platform/Autostart.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace nbr::os {

namespace {

constexpr std::uintmax_t kMaxEntryBytes = 64 * 1024;

bool hasControlChar(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

std::string trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    return line.substr(i);
}

void launch(const std::string& target) {
    // A target starting with '-' would be read as an option.
    const std::string arg = (!target.empty() && target[0] == '-') ? "./" + target : target;
    if (!platform::spawnDetached("xdg-open", {arg})) Log::warn("could not start xdg-open for %s", target.c_str());
}

}  // namespace

std::string exePath() { return platform::exePath(); }

bool autostartEnabled() {
    const std::string path = platform::autostartFilePath();
    if (path.empty()) return false;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxEntryBytes) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bool isEntry = false;
    std::string line;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line == "[Desktop Entry]") isEntry = true;
        else if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
    }
    return isEntry;
}

bool setAutostart(bool enable) { return detail::setAutostartFor(enable, platform::exePath()); }

void openFolder(const std::string& path) {
    if (path.empty() || hasControlChar(path)) return;
    launch(path);
}

void openUrl(const std::string& url) {
    if (!detail::isWebUrl(url)) {
        Log::warn("refused to open a link that is not http or https");
        return;
    }
    launch(url);
}

namespace detail {

std::string autostartEntry(const std::string& exe) {
    if (exe.empty() || hasControlChar(exe)) return {};
    // The path is one quoted argument of Exec: inside the quotes '"', '`',
    // '$' and '\' take a backslash and '%' is doubled; then the value's own
    // escaping doubles every backslash.
    std::string quoted = "\"";
    for (char c : exe) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string exec;
    for (char c : quoted) {
        if (c == '\\') exec += '\\';
        exec += c;
    }
    std::ostringstream s;
    s << "[Desktop Entry]\n"
      << "Type=Application\n"
      << "Name=Nimbrel\n"
      << "Exec=" << exec << "\n"
      << "Terminal=false\n"
      << "X-GNOME-Autostart-enabled=true\n";
    return s.str();
}

bool setAutostartFor(bool enable, const std::string& exe) {
    const std::string path = platform::autostartFilePath();
    if (path.empty()) return false;
    if (!enable) {
        if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
        return false;
    }
    const std::string entry = autostartEntry(exe);
    if (entry.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec) return false;
    return platform::writeFileAtomic(path, entry);
}

bool isWebUrl(const std::string& url) {
    if (hasControlChar(url)) return false;
    auto startsWithNoCase = [&](const char* prefix) {
        size_t i = 0;
        for (; prefix[i]; ++i) {
            if (i >= url.size()) return false;
            char c = url[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != prefix[i]) return false;
        }
        return url.size() > i;  // something after the scheme
    };
    return startsWithNoCase("http://") || startsWithNoCase("https://");
}

}  // namespace detail

}  // namespace nbr::os
