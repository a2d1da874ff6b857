// The dashboard: draws the whole interface once per frame from the record the
// application hands it, and gathers what the user asked for in a UIActions
// record. First thread only.
#pragma once

#include "foundation/LocationManager.h"
#include "foundation/Config.h"
#include "model/WeatherTypes.h"
#include "ui/Texture.h"
#include "ui/UIActions.h"

#include <chrono>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace nbr {

namespace panel {
struct CardLine;
}

// "HH:MM" with use24, else "H:MM AM" / "H:MM PM".
std::string clockHM(int hour, int minute, bool use24);
// The clock text of the time in a local "YYYY-MM-DDTHH:MM" string; empty when
// the string holds no time.
std::string formatClock(const std::string& isoLocal, bool use24);

// Values in the record's units as text in the units of `config`; the
// renderer's members of the same names apply them to the live settings.
std::string formatTemp(const Config& config, double celsius);
std::string formatTempDelta(const Config& config, double celsiusDelta);
std::string formatSpeed(const Config& config, double kmh);
std::string formatPrecip(const Config& config, double mm);
std::string formatSnow(const Config& config, double cm);
std::string formatPressure(const Config& config, double hPa);
std::string formatVisibility(const Config& config, double metres);

class UIRenderer {
public:
    struct Meteor {
        float x = 0, y = 0;
        float vx = 0, vy = 0;
        float scale = 1;
        float rotation = 0;
        float spin = 0;
        int sprite = 0;
    };

    UIRenderer(LocationManager& locationManager, Config& config);
    ~UIRenderer();
    UIRenderer(const UIRenderer&) = delete;
    UIRenderer& operator=(const UIRenderer&) = delete;

    // Draws one frame; between the GUI library's new-frame and render calls.
    void render(const WeatherData& data, const std::vector<WeatherAlert>& visibleAlerts,
                const std::vector<Notification>& notifications, bool refreshing, const std::string& status);

    // The frame's requests; leaves the renderer's copy empty.
    UIActions consumeActions();
    void setSearchResults(const std::vector<GeoLocation>& results);

    // Values in the record's units, as text in the user's units.
    std::string formatTemp(double celsius) const;
    std::string formatTempDelta(double celsiusDelta) const;
    std::string formatSpeed(double kmh) const;
    std::string formatPrecip(double mm) const;
    std::string formatSnow(double cm) const;
    std::string formatPressure(double hPa) const;
    std::string formatVisibility(double metres) const;

    // One cell of the weather-icon or moon-phase atlas at the cursor; nothing
    // (and no layout advance) for an unknown cell or a missing atlas.
    void drawWeatherIcon(int code, bool night, float size);
    void drawMoonSprite(int phaseIndex, float size);

    LocationManager& locationManager;
    Config& config;
    UIActions actions;
    char searchInput[256] = {};
    bool showSearch = false, showEdit = false;
    char editName[128] = {};
    double editLatitude = 0, editLongitude = 0;
    bool showSettings = false, showNotifications = false, showHistory = false;
    std::vector<GeoLocation> searchResults;
    double coordLatitude = 0, coordLongitude = 0;
    char coordLabel[64] = {};
    std::string detectError;
    std::string newerVersion;
    bool miniMode = false;
    std::chrono::steady_clock::time_point dataFetchedAt{};
    const ForecastSkill* skill = nullptr;
    Texture weatherIcons, moonPhases, constellationAtlas, constellationAtlas2;
    Texture meteorSprites[4];
    int meteorClicks = 0;
    std::vector<Meteor> meteors;
    bool showStars = false, starFactsRequested = false;
    std::unordered_map<std::string, std::string> starFacts;
    bool night = false;
    int carouselIndex = 0;
    bool carouselAutoRotate = true;
    float carouselTimer = 0;

    // ---- Sky carousel, data cards, meteor burst, history and constellation
    // windows, settings (UIRenderer_Sky, _Cards, _Meteors, _HistoryWindow,
    // _Constellations, _Settings) ----
    void renderSkyCarousel(const WeatherData& data);
    void renderSkyCardSky(const WeatherData& data);
    void renderSkyCardAir(const WeatherData& data);
    void renderSkyCardPollen(const WeatherData& data);
    void renderSkyCardTides(const WeatherData& data);
    void renderSkyCardRiver(const WeatherData& data);
    void renderSkyCardAlmanac(const WeatherData& data);
    void renderSkyCardTrends(const WeatherData& data);
    void renderSkyCardRecords(const WeatherData& data);
    void renderSkyCardPlan(const WeatherData& data);
    void renderSkyCardQuakes(const WeatherData& data);
    void renderSkyCardWinter(const WeatherData& data);
    void renderSkyCardDiscussion(const WeatherData& data);
    // Draws the card of a carousel kind (see panel::SkyCardKind).
    void renderSkyCard(int kind, const WeatherData& data);
    void spawnMeteorShower();
    void renderMeteorEffect();
    void renderHistoryWindow(const WeatherData& data);
    void renderHistoryChart(const std::vector<HistoryDay>& history);
    void renderStarsWindow(const WeatherData& data);
    void renderSettingsPopup();

    std::mt19937 meteorRng;  // seeded on the first burst
    bool meteorRngSeeded = false;
    int settingsWinW = 0, settingsWinH = 0;  // the size entry, taken when the window opens
    bool settingsAutostart = false;          // the launch-at-startup box, read when the window opens
    bool historyChartScrolled = false;       // the chart has been scrolled to its newest day

private:
    void renderBody(const WeatherData& data);
    // One text item of a card with its colour, tooltip and placement; true
    // when it was clicked.
    bool drawCardLine(const panel::CardLine& line);
    void drawCardLines(const std::vector<panel::CardLine>& lines);
    // Cells of a three-column table.
    void drawCardTable(const char* id, const std::vector<panel::CardLine>& cells);
    // Opens the modal `name` while its flag is set: centred on the main
    // viewport each time it opens, sized width x height (scaled by the font
    // size) on first use. `justOpened` tells whether it opened this frame;
    // true when its content is to be drawn (then end it with EndPopup).
    // `open` goes false when its close box is clicked.
    bool beginModal(const char* name, float width, float height, bool* open, bool* justOpened = nullptr);
};

// Heights of the dashboard's body rows for a content area of the given size
// (see UIRenderer::render).
struct BodyLayout {
    float H = 0;       // body height
    float top = 0;     // height of the current-conditions / right-column row
    float dailyH = 0;  // height of the daily row
};
BodyLayout layoutBody(float availX, float availY, float frameHeightWithSpacing, float lineHeightWithSpacing,
                      float cellPaddingY, float itemSpacingY);

// Whether it is night at the place: local hour before 6 or after 18.
bool isNightAt(long long epochSeconds, int utcOffsetSeconds);

}  // namespace nbr
