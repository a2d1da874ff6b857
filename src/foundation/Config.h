// The user's settings, saved places and active place, kept in config.json in
// the data folder. Loaded once at start-up and saved at once after every
// change, on the first thread only.
#pragma once

#include "model/WeatherTypes.h"

#include <string>
#include <vector>

namespace nbr {

class Config {
public:
    static constexpr int kNoPos = -100000;  // mini strip never placed

    std::vector<SavedLocation> locations;
    int activeLocationIndex = 0;

    bool useFahrenheit = true;
    int windUnit = 0;      // 0 mph, 1 km/h, 2 m/s, 3 knots
    int pressureUnit = 0;  // 0 inHg, 1 hPa
    int precipUnit = 0;    // 0 inches, 1 mm
    int foregroundPollMinutes = 15;
    int backgroundPollMinutes = 30;
    bool alertsEnabled = true;
    bool rainAlertsEnabled = true;
    bool startMinimized = false;
    bool startInMini = false;
    bool use24hClock = false;
    bool dailyShowDates = false;
    int miniOpacityPct = 100;
    bool miniClickThrough = false;
    int miniStat = 0;
    double alertGustKmh = 64.0;
    double alertSwingC = 8.3;
    double alertSnowCm = 0.0;
    int radarZoom = 5;
    bool radarAutoplay = false;
    int windowW = 0;
    int windowH = 0;
    int miniPosX = kNoPos;
    int miniPosY = kNoPos;
    bool historyEnabled = true;
    int carouselSeconds = 10;
    int themeId = 0;  // 0 dark, 1 light
    bool crispFont = true;
    int notifyMode = 0;  // 0 at once, 1 outside quiet hours, 2 daily digest
    int quietStartMinute = 1320;
    int quietEndMinute = 420;
    int digestMinute = 480;

    // What the last load could not read, for the person to be told; not
    // stored in the file.
    struct Unreadable {
        bool file = false;     // the file did not read through: the settings
                               // after the bad key and every place were dropped
        int placesSkipped = 0; // places left out, each unreadable alone
        std::string copy;      // where the file was kept; empty when no copy could be made
        std::string error;     // why the file could not be opened or read
                               // ("Permission denied"); nothing of it was read
        bool any() const { return file || placesSkipped > 0 || !error.empty(); }
        // The file is left as it is for the rest of the run: it could not be
        // read, or it did not read and no copy of it could be kept.
        bool keepsFile() const { return !error.empty() || (any() && copy.empty()); }
    };
    Unreadable unreadable;
    // Why the last save failed ("Permission denied"); empty once one succeeds.
    std::string saveError;

    // The data folder; every persisted file lives under it.
    static std::string configDir();
    std::string configPath() const;

    // Replaces the members with what config.json holds, as far as it reads.
    // Only a missing file means no settings yet; one that cannot be opened or
    // read changes nothing and `unreadable.error` says why. A file that does
    // not read keeps the settings read before the bad key and drops the
    // places; a place that does not read is left out alone, and the active
    // place stays the entry the file names (the first place when that entry
    // is left out). Either way the file is kept, synced, as config.json.bad
    // (then .bad.1, .bad.2, ...: never over an earlier copy, the newest five
    // kept) and `unreadable` says so. Always true.
    bool load();
    // Writes every member through a temporary file and a rename; false (and
    // `saveError` set, the old file untouched) when that fails, and while
    // `unreadable.keepsFile()`.
    bool save();

    // Saved places. Each operation that changes something saves at once; an
    // index out of range changes nothing and writes nothing.
    // Appends; the first place of an empty list becomes the active one.
    void addLocation(const SavedLocation& place);
    // Replaces the place fields at `index`; its isDefault stays.
    void updateLocation(size_t index, const GeoLocation& place);
    // Erases the place at `index`; the active index then stays, or moves to
    // the new last place when it fell off the end (0 for an empty list).
    void removeLocation(size_t index);
    // Makes `index` active (and saves, also when it already was).
    void setActiveLocationIndex(int index);
};

}  // namespace nbr
