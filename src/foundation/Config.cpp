#include "foundation/Config.h"

#include "foundation/Logger.h"
#include "platform/Files.h"
#include "platform/Paths.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <system_error>

namespace nbr {

using nlohmann::json;

namespace {

// Largest window edge we accept from the file; the window code clamps further
// to the display it opens on.
constexpr int kMaxWindowEdge = 16384;

// The library's value-with-default lookup for int members (numbers cut toward
// zero, booleans as 0/1), except that a number outside the int range, whole
// or fraction, is a type error instead of a wrapped or undefined conversion.
int intValue(const json& obj, const char* key, int def) {
    if (obj.is_object()) {
        auto it = obj.find(key);
        if (it != obj.end() && it->is_number()) {
            bool inRange = true;
            if (it->is_number_float()) {
                const double d = it->get<double>();
                inRange = d > -2147483649.0 && d < 2147483648.0;
            } else if (it->is_number_unsigned()) {
                inRange = it->get<std::uint64_t>() <= static_cast<std::uint64_t>(INT_MAX);
            } else {
                const std::int64_t v = it->get<std::int64_t>();
                inRange = v >= INT_MIN && v <= INT_MAX;
            }
            if (!inRange)
                throw json::out_of_range::create(406, std::string(key) + " is out of range",
                                                 static_cast<json*>(nullptr));
        }
    }
    return obj.value(key, def);
}

// Reads each setting in declaration order; a bad key throws, leaving the
// members read before it set.
void readSettings(const json& s, Config& c) {
    c.useFahrenheit = s.value("useFahrenheit", true);
    const bool useMph = s.value("useMph", true);
    c.windUnit = intValue(s, "windUnit", useMph ? 0 : 1);
    c.pressureUnit = intValue(s, "pressureUnit", c.useFahrenheit ? 0 : 1);
    c.precipUnit = intValue(s, "precipUnit", c.useFahrenheit ? 0 : 1);
    if (c.windUnit < 0 || c.windUnit > 3) c.windUnit = 0;
    if (c.pressureUnit < 0 || c.pressureUnit > 1) c.pressureUnit = 0;
    c.precipUnit = c.precipUnit == 1 ? 1 : 0;

    c.foregroundPollMinutes = intValue(s, "foregroundPollMinutes", 15);
    c.backgroundPollMinutes = intValue(s, "backgroundPollMinutes", 30);
    c.alertsEnabled = s.value("alertsEnabled", true);
    c.rainAlertsEnabled = s.value("rainAlertsEnabled", true);
    c.startMinimized = s.value("startMinimized", false);
    c.startInMini = s.value("startInMini", false);
    c.use24hClock = s.value("use24hClock", false);
    c.dailyShowDates = s.value("dailyShowDates", false);
    c.miniOpacityPct = intValue(s, "miniOpacityPct", 100);
    c.miniClickThrough = s.value("miniClickThrough", false);
    c.miniStat = intValue(s, "miniStat", 0);
    c.alertGustKmh = s.value("alertGustKmh", 64.0);
    c.alertSwingC = s.value("alertSwingC", 8.3);
    c.alertSnowCm = s.value("alertSnowCm", 0.0);
    c.radarZoom = intValue(s, "radarZoom", 5);
    c.radarAutoplay = s.value("radarAutoplay", false);
    c.windowW = intValue(s, "windowW", 0);
    c.windowH = intValue(s, "windowH", 0);
    c.miniPosX = intValue(s, "miniPosX", Config::kNoPos);
    c.miniPosY = intValue(s, "miniPosY", Config::kNoPos);
    c.historyEnabled = s.value("historyEnabled", true);
    c.carouselSeconds = intValue(s, "carouselSeconds", 10);
    c.themeId = intValue(s, "themeId", 0);
    c.crispFont = s.value("crispFont", true);
    c.notifyMode = intValue(s, "notifyMode", 0);
    if (c.notifyMode < 0 || c.notifyMode > 2) c.notifyMode = 0;
    c.quietStartMinute = intValue(s, "quietStartMinute", 1320);
    c.quietEndMinute = intValue(s, "quietEndMinute", 420);
    c.digestMinute = intValue(s, "digestMinute", 480);
}

SavedLocation readPlace(const json& p) {
    SavedLocation loc;
    loc.name = p.value("name", std::string());
    loc.country = p.value("country", std::string());
    loc.admin1 = p.value("admin1", std::string());
    loc.latitude = p.value("latitude", 0.0);
    loc.longitude = p.value("longitude", 0.0);
    loc.timezone = p.value("timezone", std::string());
    loc.customLabel = p.value("customLabel", false);
    loc.isDefault = p.value("isDefault", false);
    return loc;
}

// Unreadable settings files kept at most; older copies are removed.
constexpr size_t kUnreadableCopies = 5;

// Keeps a copy of the unreadable file `path`, which holds `text`, under a name
// no earlier copy has: <name>.bad, then <name>.bad.1, .bad.2, ... one past the
// highest number there. Only the newest kUnreadableCopies are kept, the
// oldest removed first; the same file found again (it could not be saved over
// since) is not copied twice. The copy is synced with its folder before it
// counts as kept. The copy's path, or empty when it could not be made.
std::string keepUnreadableCopy(const std::string& path, const std::string& text) {
    namespace fs = std::filesystem;
    const fs::path file(path);
    const std::string base = file.filename().string() + ".bad";
    std::map<unsigned long, fs::path> copies;  // by number; <name>.bad is 0
    std::error_code ec;
    for (fs::directory_iterator it(file.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        unsigned long n = 0;
        if (name == base) {
            copies[0] = it->path();
        } else if (name.size() > base.size() + 1 && name.compare(0, base.size() + 1, base + ".") == 0) {
            const char* first = name.data() + base.size() + 1;
            const char* last = name.data() + name.size();
            const auto r = std::from_chars(first, last, n);
            if (r.ec == std::errc() && r.ptr == last && n > 0) copies[n] = it->path();
        }
    }
    if (!copies.empty() && platform::readFile(copies.rbegin()->second) == text) return copies.rbegin()->second;
    const unsigned long next = copies.empty() ? 0 : copies.rbegin()->first + 1;
    const std::string copy = path + ".bad" + (next == 0 ? std::string() : "." + std::to_string(next));
    if (!platform::createFileSynced(copy, text)) {
        Log::warn("config.json could not be copied to %s: %s", copy.c_str(),
                  std::generic_category().message(errno).c_str());
        return {};
    }
    copies[next] = copy;
    while (copies.size() > kUnreadableCopies) {
        fs::remove(copies.begin()->second, ec);
        copies.erase(copies.begin());
    }
    return copy;
}

// Values the rest of the program cannot work with, brought into range.
void correctRanges(Config& c) {
    if (c.activeLocationIndex < 0) c.activeLocationIndex = 0;
    if (c.foregroundPollMinutes <= 0) c.foregroundPollMinutes = 15;
    if (c.backgroundPollMinutes <= 0) c.backgroundPollMinutes = 30;
    c.windowW = std::clamp(c.windowW, 0, kMaxWindowEdge);
    c.windowH = std::clamp(c.windowH, 0, kMaxWindowEdge);
}

}  // namespace

std::string Config::configDir() { return platform::dataDir(); }

std::string Config::configPath() const { return configDir() + "/config.json"; }

bool Config::load() {
    unreadable = {};
    const std::string path = configPath();
    int error = 0;
    const std::optional<std::string> text = platform::readFile(path, &error);
    if (!text && error != ENOENT) {  // not there: no settings yet
        unreadable.error = std::generic_category().message(error);
        Log::warn("config.json could not be read (%s); it is left as it is", unreadable.error.c_str());
    }
    if (!text) return true;
    std::istringstream in(*text);
    try {
        json root;
        in >> root;  // stops after the first complete value
        if (root.is_object() && root.contains("settings")) readSettings(root["settings"], *this);
        activeLocationIndex = intValue(root, "activeLocationIndex", 0);
        if (root.contains("locations")) {
            locations.clear();
            // The index counts the file's entries: a place left out before the
            // active one does not move it; one left out itself gives the first.
            const int named = activeLocationIndex;
            int index = 0;
            for (const json& p : root["locations"]) {
                try {  // a value that is not an object throws too
                    locations.push_back(readPlace(p));
                    if (index == named) activeLocationIndex = static_cast<int>(locations.size()) - 1;
                } catch (const json::exception& e) {
                    ++unreadable.placesSkipped;
                    if (index == named) activeLocationIndex = 0;
                    Log::warn("saved place %d could not be read (%s); left out", index, e.what());
                }
                ++index;
            }
        }
        if (static_cast<int>(locations.size()) <= activeLocationIndex)
            activeLocationIndex = locations.empty() ? 0 : static_cast<int>(locations.size()) - 1;
    } catch (const json::exception& e) {
        locations.clear();
        activeLocationIndex = 0;
        unreadable.file = true;
        Log::warn("config.json could not be read (%s)", e.what());
    }
    if (unreadable.any()) {
        unreadable.copy = keepUnreadableCopy(path, *text);
        if (unreadable.copy.empty()) Log::warn("no copy of config.json could be kept; it is left as it is");
        else Log::warn("config.json kept as %s", unreadable.copy.c_str());
    }
    correctRanges(*this);
    return true;
}

bool Config::save() {
    if (unreadable.keepsFile()) {
        saveError = unreadable.error.empty()
                        ? "no copy of the unreadable config.json could be kept, so it is left as it is"
                        : "config.json could not be read (" + unreadable.error + ") and is left as it is";
        Log::warn("settings not saved: %s", saveError.c_str());
        return false;
    }
    platform::createPrivateDirectories(configDir());

    json settings = {
        {"useFahrenheit", useFahrenheit},
        {"useMph", windUnit == 0},
        {"windUnit", windUnit},
        {"pressureUnit", pressureUnit},
        {"precipUnit", precipUnit},
        {"foregroundPollMinutes", foregroundPollMinutes},
        {"backgroundPollMinutes", backgroundPollMinutes},
        {"alertsEnabled", alertsEnabled},
        {"rainAlertsEnabled", rainAlertsEnabled},
        {"startMinimized", startMinimized},
        {"startInMini", startInMini},
        {"use24hClock", use24hClock},
        {"dailyShowDates", dailyShowDates},
        {"miniOpacityPct", miniOpacityPct},
        {"miniClickThrough", miniClickThrough},
        {"miniStat", miniStat},
        {"alertGustKmh", alertGustKmh},
        {"alertSwingC", alertSwingC},
        {"alertSnowCm", alertSnowCm},
        {"radarZoom", radarZoom},
        {"radarAutoplay", radarAutoplay},
        {"windowW", windowW},
        {"windowH", windowH},
        {"miniPosX", miniPosX},
        {"miniPosY", miniPosY},
        {"historyEnabled", historyEnabled},
        {"carouselSeconds", carouselSeconds},
        {"themeId", themeId},
        {"crispFont", crispFont},
        {"notifyMode", notifyMode},
        {"quietStartMinute", quietStartMinute},
        {"quietEndMinute", quietEndMinute},
        {"digestMinute", digestMinute},
    };
    json places = json::array();
    for (const SavedLocation& l : locations) {
        places.push_back({{"name", l.name},
                          {"country", l.country},
                          {"admin1", l.admin1},
                          {"latitude", l.latitude},
                          {"longitude", l.longitude},
                          {"timezone", l.timezone},
                          {"customLabel", l.customLabel},
                          {"isDefault", l.isDefault}});
    }
    const json root = {{"version", 1},
                       {"settings", std::move(settings)},
                       {"activeLocationIndex", activeLocationIndex},
                       {"locations", std::move(places)}};
    const std::string text = root.dump(2, ' ', false, json::error_handler_t::replace);
    platform::AtomicFileWriter out(configPath());
    out.write(text);
    if (out.commit()) {
        saveError.clear();
        return true;
    }
    saveError = out.error() ? std::generic_category().message(out.error()) : "the file could not be written";
    Log::warn("could not save settings to %s: %s", configPath().c_str(), saveError.c_str());
    return false;
}

void Config::addLocation(const SavedLocation& place) {
    locations.push_back(place);
    if (locations.size() == 1) activeLocationIndex = 0;
    save();
}

void Config::updateLocation(size_t index, const GeoLocation& place) {
    if (index >= locations.size()) return;
    static_cast<GeoLocation&>(locations[index]) = place;
    save();
}

void Config::removeLocation(size_t index) {
    if (index >= locations.size()) return;
    locations.erase(locations.begin() + static_cast<std::ptrdiff_t>(index));
    const int count = static_cast<int>(locations.size());
    if (activeLocationIndex >= count) activeLocationIndex = count > 0 ? count - 1 : 0;
    save();
}

void Config::setActiveLocationIndex(int index) {
    if (index < 0 || index >= static_cast<int>(locations.size())) return;
    activeLocationIndex = index;
    save();
}

}  // namespace nbr
