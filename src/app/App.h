// The application object: owns the settings, the data service, the window
// with its OpenGL context and GUI library, the dashboard, the background
// worker and its queues. One per process, on the process entry's stack.
//
// Member functions are spread over one source file per concern:
//   App_Startup.cpp  construction, initialize, shutdown
//   App_Window.cpp   window, OpenGL context, GUI library, theme and fonts
//   App_Loop.cpp     main loop, frame pacing, events, actions, mini mode
//   App_Worker.cpp   work requests, the worker, applying its results
//   App_FrameSkip.cpp  leaving out frames identical to the one on screen
//   App_Places.cpp   what follows a saved place through an edit or a removal
//   App_Shown.cpp    the record shown for the active place, and the tray's view of it
#pragma once

#include "app/ThreadSafeQueue.h"
#include "desktop/AlertEngine.h"
#include "desktop/NotificationManager.h"
#include "desktop/SystemTray.h"
#include "foundation/Config.h"
#include "foundation/LocationManager.h"
#include "history/ArchiveStore.h"
#include "history/HistoryStore.h"
#include "model/WeatherTypes.h"
#include "platform/Image.h"
#include "platform/gui/Window.h"
#include "service/WeatherService.h"
#include "ui/RadarView.h"
#include "ui/UIRenderer.h"

#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

struct SDL_Window;
struct SDL_Cursor;
union SDL_Event;
struct ImDrawData;
struct ImVec4;

namespace nbr {

// Whether a loop turn builds a frame. Everything the dashboard shows follows
// its inputs and the wall clock, and the last frame built names the second
// from which the clock would change it (`timedChange`: a clock's or a
// countdown's minute, the data's age). So a turn in which nothing happened,
// before that second, would build that same frame again; it is skipped once
// the frames have settled (the last one built changed nothing) and nothing
// moves on its own. A wall clock set back builds at once.
struct FrameBuildState {
    bool changed = true;       // events, results, actions or lists changed this turn
    bool lastDiffered = true;  // the last frame built differed from the one before
    bool moving = false;       // radar, meteors, a text cursor, a held button, the carousel's turn
    std::chrono::steady_clock::duration sinceInput{};
    std::int64_t second = 0;   // wall-clock second now and at the last frame built
    std::int64_t builtSecond = -1;
    std::int64_t timedChange = 0;
};
bool frameBuildNeeded(const FrameBuildState& s);

class App {
public:
    using Clock = std::chrono::steady_clock;

    struct WorkKind {
        enum : int { FetchWeather = 0, Geocode = 1, DetectLocation = 2, FetchStarFacts = 3, RenamePlace = 4 };
    };

    struct WorkRequest {
        int kind = WorkKind::FetchWeather;
        GeoLocation location;
        std::string query;
        bool alertsEnabled = true;
        bool historyEnabled = true;
        AlertTuning tuning;
        std::vector<SavedLocation> savedLocations;
        // FetchWeather: which weather request this is (newestWeatherRequest
        // when made); every result answering it carries the number back.
        std::uint64_t number = 0;
        // RenamePlace: the key the place's stored files go by until now, and
        // whether another saved place still goes by it (its files are copied).
        std::string oldKey;
        bool keepOld = false;
    };

    struct WorkResult {
        int kind = WorkKind::FetchWeather;
        // FetchWeather: the place asked about, which an answer or a failure
        // is applied to (a record's own place when not given).
        std::optional<GeoLocation> place;
        // FetchWeather: the number of the request answered.
        std::uint64_t request = 0;
        std::optional<WeatherData> weather;
        std::vector<WeatherAlert> alerts;
        std::vector<GeoLocation> searchResults;
        std::optional<GeoLocation> detected;
        std::string error;
        // FetchWeather failure: for want of the network or by the service's
        // fault (5xx), so worth trying again soon.
        bool retrySoon = false;
        std::string newerVersion;
        std::unordered_map<std::string, std::string> starFacts;
    };

    App();
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // ---- Start-up and shut-down (App_Startup.cpp) ----
    bool initialize();
    void shutdown();
    // Starts the worker thread (workerRunning set first).
    void startWorker();
    // Stops the worker: clears workerRunning, aborts transfers, wakes it with
    // an empty request and joins it.
    void stopWorker();

    // ---- Window and GUI library (App_Window.cpp) ----
    bool initSDL();
    float displayScale() const;
    platform::RgbaImage createBadgeIcon(const std::string& text) const;
    void applyTheme();
    bool initImGui();
    void rebuildFonts();
    // Shows the mouse cursor the GUI library asked for in the last frame,
    // telling the window system only when it differs from the one shown (the
    // backend would set it, and flush the display connection, every frame).
    void updateMouseCursor();
    // "Set size": the window takes the asked size as far as the usable area
    // of its display allows (its frame included) and is moved to lie wholly
    // on it; the settings keep the size it got.
    void resizeOnDisplay(int w, int h);

    // ---- Main loop (App_Loop.cpp) ----
    void run();
    // One turn of the loop: events (waiting up to waitMs for the first; the
    // ones the frame cannot take in wait in SDL's queue for the next turn),
    // tray, results, notifications, the scheduled refresh and the frame.
    void turn(int waitMs);
    // Hands the frame the queued events it can take in (InputBatch); false
    // when none was queued.
    bool handleQueuedEvents();
    int frameTimeoutMs();
    bool frameBuildDue();
    void renderFrame();
    void buildFrame();  // one frame of the GUI library, not drawn
    void processEvents();
    void handleSdlEvent(const SDL_Event& e);
    // The scheduled-refresh step of a loop turn; false when the turn ends
    // there because the window is hidden.
    bool scheduledRefresh();
    // Whether the place's day has ended since the shown record was made (a
    // new day's forecast is due); true once per record and place's date, so
    // at every place midnight while no newer record comes.
    bool placeDayTurned();
    void minimizeToTray();
    void restoreFromTray();
    void applyMiniMode(bool on);
    void applyMiniWindowStyle();
    // Whether a desktop notification area shows the program's icon, so that
    // a hidden window can be brought back from there.
    bool trayHostVisible() const;
    // Follows the host coming and going: a hidden window comes back and the
    // mini strip's click-through is applied or lifted at once.
    void followTrayHost();

    // ---- Frame skipping (App_FrameSkip.cpp) ----
    // Whether the frame just built must be drawn and presented: its draw data
    // (with the colour the window is cleared with) differs from the last
    // presented frame's, or a window event arrived since. When true, the
    // frame counts as presented from then on.
    bool framePresentNeeded(const ImDrawData& drawData, const ImVec4& clearColor);

    // ---- Worker (App_Worker.cpp) ----
    // A refresh of `place`. One the person asked for (Refresh, a place
    // switched to or edited) starts the wait of retries afresh; a scheduled
    // one leaves the status line telling a failure until a try succeeds.
    void requestWeatherUpdate(const GeoLocation& place, bool scheduled = false);
    void requestGeocode(const std::string& text);
    void requestDetectLocation();
    void backgroundWorkerLoop();

    // ---- Applying results (App_Results.cpp) ----
    void updateFromBackground();
    // A weather result of the active place: record, status, tray texts and
    // badge, the zone the reply names kept on the saved place, new alerts
    // filed once per key, the rain-soon notice, the list cut to 50. A result
    // (answer or failure) of a place no longer shown is left out; so is the
    // failure of a request older than the newest, and an older request's
    // record does not end the newer one's "Updating...".
    void applyWeatherResult(WorkResult& res);
    // Files "Rain Soon" when the nowcast has rain starting within 30 minutes.
    // The caller holds dataMutex.
    void fileRainNotice(std::chrono::system_clock::time_point now);
    // "%.0fF" or "%.0fC" of a Celsius value, by the unit setting.
    std::string formatTemp(double celsius) const;

    // ---- The shown record (App_Shown.cpp) ----
    // What the dashboard shows for the active place (recordToShow); the tray
    // follows when that changes.
    const WeatherData& shownRecord();
    // The tray's tooltip, badge and flyout card of the shown record: its
    // weather, or (for the empty record of a place) the place's name alone.
    void showInTray(const WeatherData& shown);
    // Shows the shown record in the tray again, as of now and in the current
    // settings' units.
    void refreshTray();

    // ---- Notification delivery (App_Notify.cpp) ----
    // Drops notifications whose alert has expired, with their pending keys.
    void pruneStaleNotifications();
    // Shows the pending notifications as one desktop notice when the notify
    // mode allows it now (at once, outside quiet hours, or the daily digest).
    void maybeNotify();

    // ---- Saved places (App_Places.cpp) ----
    // The active place was edited from `before`: the keys of its alerts and
    // the place of its shown and filed alerts follow a new name at once; its
    // history, archive and flags follow on the worker. All of this only
    // while it stands where it stood: a place moved elsewhere starts anew
    // there, and what the old spot had goes as with a removal.
    void followEditedPlace(const GeoLocation& before);
    // `removed` left the saved places: its toasts and notifications go with
    // it, its told and dismissed alert keys are forgotten (those of its name
    // alone, from an older file, once no saved place bears the name), and a
    // refresh of it still under way shows nothing. Nothing of this while another saved entry stands at
    // the same name and spot.
    void forgetRemovedPlace(const GeoLocation& removed);
    // Whether a result is about a place removed or renamed in this run and
    // not saved again since.
    bool placeGone(const GeoLocation& place) const;
    // Worker side of a rename: moves the place's stored files to its new key.
    void movePlaceFiles(const WorkRequest& request);

    // ---- Refresh pipeline (App_Refresh.cpp) ----
    // Answers a weather request with a quick result (the base forecast) and,
    // unless the worker is stopping, a final one (enriched, analysed,
    // corrected, with every alert); one error result saying why when no
    // forecast came. Each carries the place asked about.
    void handleFetchWeather(const WorkRequest& request);
    // Lends the skill of the nearest saved place within 50 km to a place
    // with too few scored days of its own.
    void maybeSeedFromNeighbor(const WorkRequest& request, WeatherData& data);
    // Normals, last-year highs, insights, seasonal anomaly and analog days
    // from the place's archive.
    void applyArchive(const std::vector<ArchiveStore::Day>& days, const std::string& today,
                      const std::string& yesterday, WeatherData& data);

    static App* s_instance;

    SDL_Window* window = nullptr;
    void* glContext = nullptr;  // SDL_GLContext
    bool running = true;
    bool hiddenToTray = false;
    bool trayHostShown = false;  // the host as followTrayHost last saw it
    bool shutdownDone = false;
    Config config;
    WeatherService weatherService;
    HistoryStore historyStore;
    ArchiveStore archiveStore;
    AlertEngine alertEngine;
    SystemTray tray;
    NotificationManager notificationManager;
    platform::RgbaImage trayIcon;  // the badge with the temperature
    LocationManager locationManager{config, weatherService};
    std::unique_ptr<UIRenderer> renderer;
    // The radar map window; closed at shut-down while the OpenGL context lives.
    RadarView radar;
    std::thread worker;
    std::atomic<bool> workerRunning{true};
    std::mutex dataMutex;
    WeatherData weather;
    // The active place's empty record while `weather` is another place's,
    // and the record and place the tray shows.
    WeatherData placeRecord;
    const WeatherData* trayRecord = nullptr;
    std::string trayPlaceKey;
    std::int64_t trayChangesAt = 0;  // the second the tray's texts turn old; 0 for none to come
    std::vector<WeatherAlert> alerts;
    bool fetchInProgress = false;
    std::string status;
    std::vector<WeatherAlert> visibleAlerts;
    bool alertsDirty = true;
    Clock::time_point lastInput{};
    bool fontsCrisp = false;
    bool updateChecked = false;
    int normalW = 900;
    int normalH = 640;
    int normalX = 100;
    int normalY = 100;
    std::vector<Notification> notifications;
    std::set<std::string> acknowledgedKeys;
    std::set<std::string> pendingToastKeys;
    int lastDigestDay = -1;
    std::string lastRainKey;
    std::set<std::string> forgottenPlaces;  // keys of places removed or renamed in this run
    ThreadSafeQueue<WorkRequest> requestQueue;
    ThreadSafeQueue<WorkResult> resultQueue;
    // The last scheduled refresh on both clocks: the steady one goes on when
    // the wall clock is set back, the wall clock while the computer sleeps.
    Clock::time_point lastRefresh{};
    std::int64_t lastRefreshWall = 0;
    std::string dayTurnedFor;  // the record whose place's day was seen to end
    // Refreshes failed in a row in a way worth trying again soon (retryWait),
    // and when the last such answer came, on both clocks. A retry waits only
    // on such an answer, and any request made since stands for it: one try
    // is out at a time.
    int failedTries = 0;
    bool retryWaiting = false;
    Clock::time_point failedAt{};
    std::int64_t failedAtWall = 0;
    // The number of the newest weather request made (first thread only; the
    // worker sees each request's own copy).
    std::uint64_t newestWeatherRequest = 0;
    platform::RgbaImage windowIcon;
    std::optional<platform::gui::NativeWindow> hwnd;

    // The steady clock the loop reads; replaceable for tests.
    std::function<Clock::time_point()> now = [] { return Clock::now(); };
    // The wall clock of notification delivery, of the place's day and of the
    // poll; replaceable for tests.
    std::function<std::chrono::system_clock::time_point()> wallClock = [] {
        return std::chrono::system_clock::now();
    };
    // The wall clock in Unix seconds.
    std::int64_t wallSeconds() const {
        return std::chrono::duration_cast<std::chrono::seconds>(wallClock().time_since_epoch()).count();
    }
    // Longest wait of the idle worker before it looks at workerRunning again.
    Clock::duration workerWakeInterval = std::chrono::seconds(5);
    // The GUI library's context and backends are up.
    bool guiReady = false;
    // Frame skipping: the hash of the frame on screen, and whether the next
    // frame must be presented whatever it holds (set by window events and
    // font rebuilds, which change what the screen or a texture shows).
    std::uint64_t lastPresentedHash = 0;
    bool presentForced = true;
    // Frames built by the GUI library and frames drawn and presented.
    std::uint64_t framesBuilt = 0;
    std::uint64_t framesPresented = 0;
    // What decides whether the next turn builds a frame (frameBuildNeeded).
    FrameBuildState frameBuild;
    bool requestsMade = true;  // this turn may have left requests to the window system unsent
    Clock::time_point lastPump{};  // SDL's event pump last ran in a wait
    Clock::time_point frameBuiltAt{};
    // The cursors by the GUI library's cursor number, and the one shown
    // (-2: none set yet).
    std::vector<SDL_Cursor*> mouseCursors;
    int shownCursor = -2;
};

// The flyout card's texts of a record at `now` (Unix seconds), in the display
// units; High, Low and Rain are those of the place's date, left out when the
// record has no entry for it.
TrayQuickLook quickLookOf(const WeatherData& w, const Config& config, int64_t now);
// The tray icon's tooltip of a record at `now` (Unix seconds): "22C Overcast
// - Oslo", with the conditions' time once they are more than an hour old;
// the place named among the saved `places` (see panel::placeName).
std::string trayTooltipOf(const WeatherData& w, const std::vector<SavedLocation>& places, const Config& config,
                          int64_t now);
// The tray badge's text: the temperature in the unit shown, without the
// unit ("71" in Fahrenheit, "22" in Celsius); "--" when not known.
std::string trayBadgeText(const WeatherData& w, const Config& config);

// The status line's words for a forecast that did not come.
std::string forecastFailureText(const WeatherService::ForecastFailure& f);
// Whether a forecast that did not come is worth trying again soon: the
// service could not be reached (no connection, a time-out, a reply cut off
// part-way) or answered 5xx.
bool retrySoon(const WeatherService::ForecastFailure& f);
// The wait before the next try after `failedTries` such failures in a row:
// 15 s, doubling with each further one, never longer than the poll interval.
std::chrono::seconds retryWait(int failedTries, int pollMinutes);

// The record shown for the active place (null when none is saved): `last`
// while it is that place's own; otherwise `blank`, which holds no weather,
// only the place (its clock is its zone's). `blank` takes the place only when
// it changes.
const WeatherData& recordToShow(const GeoLocation* place, const WeatherData& last, WeatherData& blank);

// The window size at start: a stored size (raised to at least 700 x 500) or
// 1040 x 820 scaled, limited to the display's usable area when known.
struct WindowSize {
    int w, h;
};
WindowSize initialWindowSize(int storedW, int storedH, float scale, int maxW, int maxH);

// A window asked for at (x, y) with a size, limited as at start to `area`
// (a display's usable area) and moved the least that puts it wholly on it.
struct WindowBox {
    int x, y, w, h;
};
WindowBox fitToDisplay(WindowBox asked, WindowBox area);

// Size of the mini strip at a display scale: 400 x 96 scaled, truncated.
WindowSize miniStripSize(float scale);

// Opacity of the mini strip: the percentage clamped to 40..100, over 100.
float miniOpacity(int percent);

// Stores the window geometry into the settings at shut-down: in mini mode the
// full window's size from before the strip and the strip's position; else
// only the current size.
void storeWindowGeometry(Config& c, bool miniMode, int normalW, int normalH, int x, int y, int w, int h);

// The wait of one loop turn, by the first rule that applies.
struct PacingState {
    bool hidden = false;
    bool minimized = false;
    bool radarOpen = false;
    bool animating = false;
    std::chrono::steady_clock::duration sinceInput{};
    bool busy = false;  // refresh in progress or alerts shown
};
int frameTimeoutFor(const PacingState& s);

// The events one frame takes in, in the order they came. The GUI library
// reads the state of a key that does not type (Backspace, Return, an arrow,
// Tab, a shortcut's letter) once a frame, so within a frame such a key
// changes state at most once: a press and its release in one frame would
// never be seen. It reads a frame's typed text before its keys, so text
// typed after such a press waits for the next frame, where it lands after
// what that key did.
class InputBatch {
public:
    // Whether `e` joins this frame; once one does not, it and every event
    // after it wait for the next frame.
    bool admit(const SDL_Event& e);

private:
    static constexpr size_t kKeys = 512;  // scan codes
    std::bitset<kKeys> changed, down;
    bool commandPressed = false;  // a key that does not type went down
};

// A 64-bit hash of everything a frame's draw data tells the renderer: display
// position, size and scale, the vertex and index buffers, and every draw
// command with its clip rectangle, texture and offsets; plus the clear colour.
std::uint64_t drawDataHash(const ImDrawData& d, const ImVec4& clearColor);

}  // namespace nbr
