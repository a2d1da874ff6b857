// The dashboard: draws the whole interface once per frame from the record the
// application hands it, and gathers what the user asked for in a UIActions
// record. First thread only.
#pragma once

#include "foundation/LocationManager.h"
#include "foundation/Config.h"
#include "foundation/PlaceTime.h"
#include "model/LastAnswer.h"
#include "model/WeatherTypes.h"
#include "ui/PanelText.h"
#include "ui/Texture.h"
#include "ui/UIActions.h"
#include "ui/Units.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace nbr {

namespace panel {
struct CardLine;
struct HourCells;
struct Toast;
}

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
    // A search's answer: the places found, or why it failed (`failure`).
    void setSearchResults(const std::vector<GeoLocation>& results, const std::string& failure = {});

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

    // ---- Places bar, first-run prompt, search and edit windows (UIRenderer_Places.cpp) ----
    void renderLocationBar(const WeatherData& data, int unread);
    void renderFirstRunPrompt();
    void renderSearchPopup();
    void renderEditPopup();
    // What the windows' buttons do, callable without a click.
    void openSearch();                    // the bar's "+"
    void submitSearch();                  // the window's Search button or Enter
    void searchFromPrompt();              // the first-run prompt's Search or Enter: also opens the window
    void pickSearchResult(size_t index);  // a line of the results list
    void addCoordinates();                // "Add coordinates" (nothing while the entry is not valid)
    void openEdit();                      // the bar's "edit"
    void saveEdit();                      // "Save" or Enter (nothing unless it may be saved)
    // What the search window shows in place of its results list.
    panel::Line searchWindowNote() const;

    // ---- Current conditions (UIRenderer_Current.cpp) ----
    void renderCurrentConditions(const WeatherData& data);
    void renderCurrentHeader(const WeatherData& data);
    void renderCurrentMetrics(const WeatherData& data);

    // ---- Hourly and daily forecast, sun tracker (UIRenderer_Forecast.cpp) ----
    // `clock`: how the record's times read at the place (the hour that holds
    // the present time, the hours and sun times it shows).
    void renderHourlyForecast(std::span<const HourlyForecast> hourly, const RecordClock& clock);
    // A panel's title and, in its place, the note that it has nothing to show
    // (nothing drawn without a note).
    void renderRunOut(const char* title, const std::string& note);
    void renderHourlyChart(std::span<const HourlyForecast> hourly, float columnWidth, float leftInset);
    void renderHourlyTooltip(const HourlyForecast& hour, const RecordClock& clock);
    // `today`: the place's date, whose column is called "Today".
    void renderDailyForecast(std::span<const DailyForecast> daily, const std::string& today,
                             const RecordClock& clock);
    void renderDailyTooltip(const DailyForecast& day, const RecordClock& clock);
    void renderSunTracker(const WeatherData& data);

    // ---- Status bar, toasts, mini strip, notification centre (UIRenderer_Status.cpp) ----
    void renderStatusBar(bool refreshing, const std::string& status);
    // `placeCountry`: the shown place's country, which names official alerts.
    void renderToasts(const std::vector<WeatherAlert>& visibleAlerts, const WeatherData& data);
    // How the alert is worded in this frame (see panel::alertWording).
    AlertWording alertWording(const WeatherAlert& a, const WeatherData& data) const;
    void renderMiniStrip(const WeatherData& data, bool refreshing);
    void renderNotificationCenter(const std::vector<Notification>& notifications, const WeatherData& data);
    static constexpr const char* kToastsWindow = "##toasts";

    LocationManager& locationManager;
    Config& config;
    UIActions actions;
    char searchInput[256] = {};
    bool showSearch = false, showEdit = false;
    char editName[128] = {};
    double editLatitude = 0, editLongitude = 0;
    bool showSettings = false, showNotifications = false, showHistory = false;
    std::vector<GeoLocation> searchResults;
    // Searches asked for and not answered yet; whether one was answered since
    // the window opened, and the last one's failure.
    int searchesPending = 0;
    bool searchAnswered = false;
    std::string searchError;
    double coordLatitude = 0, coordLongitude = 0;
    char coordLabel[64] = {};
    std::string detectError;
    std::string newerVersion;
    bool miniMode = false;
    std::chrono::system_clock::time_point dataFetchedAt{};
    const ForecastSkill* skill = nullptr;
    const WeatherData* record = nullptr;  // the record of the frame being built
    Texture weatherIcons, moonPhases, constellationAtlas, constellationAtlas2;
    Texture meteorSprites[4];
    int meteorClicks = 0;
    std::vector<Meteor> meteors;
    bool showStars = false, starFactsRequested = false;
    std::unordered_map<std::string, std::string> starFacts;
    bool night = false;
    // The record's entry of the place's date in this frame; null when it
    // holds none.
    const DailyForecast* todayEntry = nullptr;
    // The clock a frame's texts are worked out from (tests set their own),
    // the wall-clock second of the frame being built (a panel drawn on its
    // own before any frame takes the renderer's start), and the first second at
    // which a frame would show something different only because time passed:
    // a clock's minute, a countdown's, the data's age. Until then a frame
    // built again would equal the last one.
    std::function<std::int64_t()> wallSeconds = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    std::int64_t frameSecond = wallSeconds();
    std::int64_t timedChange = 0;
    void changesAt(std::int64_t second) { timedChange = std::min(timedChange, second); }
    // The sky's figures (moon, planets, showers, scores) are worked out for
    // the frame's whole minute, so they change with it.
    std::int64_t skyMinute() const { return frameSecond - ((frameSecond % 60) + 60) % 60; }
    int carouselIndex = 0;
    bool carouselAutoRotate = true;
    float carouselTimer = 0;
    bool carouselHovered = false;  // the card was hovered in the last frame
    int carouselFirstTab = 0;      // the first tab shown on a row too short for all

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

    // Texts of unchanged panels, kept from frame to frame by their inputs.
    LastAnswer<std::vector<panel::HourCells>> hourStripMemo;
};

// Heights of the dashboard's body rows for a content area of the given size
// (see UIRenderer::render).
struct BodyLayout {
    float H = 0;       // body height
    float top = 0;     // height of the current-conditions / right-column row
    float dailyH = 0;  // height of the daily row
};
// The style's measures the layout depends on.
struct BodyMetrics {
    float frameHeight = 0;  // a line of framed controls
    float textHeight = 0;   // a line of text, without spacing
    float itemSpacingY = 0;
    float windowPaddingX = 0, windowPaddingY = 0;  // inside a bordered region
    float cellPaddingX = 0, cellPaddingY = 0;      // of a table cell
};
BodyLayout layoutBody(float availX, float availY, const BodyMetrics& metrics);

// One alert's toast as drawn: its label, its place's title and its text cut
// to a few lines, each wrapped at the text's width, and the height the toast
// takes in the toasts' window, its separator included. Inside a frame of the
// GUI library.
struct ToastBox {
    std::string label, place, text;
    std::string whole;  // the text uncut where it was shortened: hovering shows it
    float height = 0;
};
ToastBox toastBox(const std::string& label, const panel::Toast& toast, float textWidth);
// The width of the toasts' texts in their window, beside the warning sign
// and clear of the close button, with or without the window's scroll bar.
float toastTextWidth(bool scrolls);
inline constexpr float kToastsWidth = 330;

}  // namespace nbr
