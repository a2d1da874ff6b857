#include "app/App.h"

#include "ui/Theme.h"
#include "ui/WindowFit.h"

#include <SDL.h>
#include <GL/gl.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <utility>

namespace nbr {

namespace {

// The wall-clock second the dashboard's texts are computed from.
std::int64_t wallSecond() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int frameTimeoutFor(const PacingState& s) {
    if (s.hidden || s.minimized) return 200;
    if (s.radarOpen || s.animating) return 16;
    if (s.sinceInput < std::chrono::milliseconds(500)) return 16;
    if (s.busy) return 100;
    return 250;
}

bool frameBuildNeeded(const FrameBuildState& s) {
    const bool clockDue = s.second != s.builtSecond && (s.second >= s.timedChange || s.second < s.builtSecond);
    return s.changed || s.lastDiffered || s.moving || s.sinceInput < std::chrono::seconds(1) || clockDue;
}

std::chrono::seconds retryWait(int failedTries, int pollMinutes) {
    const std::chrono::seconds poll = std::chrono::minutes(pollMinutes);
    std::chrono::seconds wait(15);
    for (int i = 1; i < failedTries && wait < poll; ++i) wait *= 2;
    return std::min(wait, poll);
}

WindowSize miniStripSize(float scale) {
    return {static_cast<int>(400 * scale), static_cast<int>(96 * scale)};
}

float miniOpacity(int percent) { return std::clamp(percent, 40, 100) / 100.0f; }

bool App::trayHostVisible() const {
    // Without a desktop host showing the icon, a window hidden there could
    // never be brought back: closing then quits and start-hidden minimises.
    return tray.hostVisible();
}

void App::run() {
    lastRefresh = now();
    lastRefreshWall = wallSeconds();
    while (running) turn(frameTimeoutMs());
}

void App::turn(int waitMs) {
    // A second after the last input, the loop waits on the X connection
    // itself and runs SDL's event pump only when something arrives, and
    // once a second (SDL turns a quit signal caught on another thread into
    // an event there): a pass through the pump costs as much as the rest of
    // an idle turn. Requests go out first unless the last turn made none (it
    // handled nothing and built nothing). Events left from the last turn are
    // taken at once.
    const Clock::time_point t = now();
    const bool quiet = hwnd && !SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) &&
                       t - lastInput >= std::chrono::seconds(1) && t - lastPump < std::chrono::seconds(1);
    const bool flush = std::exchange(requestsMade, false);
    if (quiet) {
        if (platform::gui::waitForInput(*hwnd, waitMs, flush)) SDL_PumpEvents();
    } else {
        SDL_WaitEventTimeout(nullptr, waitMs);  // leaves the event queued
        lastPump = now();
    }
    const bool got = handleQueuedEvents();
    if (got) {
        lastInput = now();
        frameBuild.changed = true;
    }
    tray.pump();
    followTrayHost();
    processEvents();
    updateFromBackground();
    pruneStaleNotifications();
    maybeNotify();
    const std::uint64_t built = framesBuilt;
    const bool drawn = scheduledRefresh() && !(window && (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED));
    if (drawn && frameBuildDue()) renderFrame();
    requestsMade = got || frameBuild.changed || framesBuilt != built;
}

bool App::handleQueuedEvents() {
    InputBatch batch;
    SDL_Event queued[64];
    bool any = false;
    for (;;) {
        const int n = SDL_PeepEvents(queued, 64, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        int taken = 0;
        while (taken < n && batch.admit(queued[taken])) ++taken;
        if (taken == 0) return any;
        SDL_PeepEvents(queued, taken, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        for (int i = 0; i < taken; ++i) handleSdlEvent(queued[i]);
        any = true;
        if (taken < 64) return true;
    }
}

bool InputBatch::admit(const SDL_Event& e) {
    if (e.type == SDL_TEXTINPUT) return !commandPressed;
    if (e.type != SDL_KEYDOWN && e.type != SDL_KEYUP) return true;
    const SDL_Keysym& k = e.key.keysym;
    const auto key = static_cast<size_t>(k.scancode);
    if (key >= kKeys) return true;  // never read as a key
    // The modifiers are read with each key (App::handleSdlEvent): one let go
    // after a shortcut's key waits, or the shortcut would lose it.
    if (k.scancode >= SDL_SCANCODE_LCTRL && k.scancode <= SDL_SCANCODE_RGUI) return !commandPressed;
    const bool pressed = e.type == SDL_KEYDOWN;
    if (changed[key] && down[key] != pressed) return false;
    // A key that types (a printable one, unmodified but for Shift) is read
    // through its text; any other is read by its state.
    const bool types = k.sym >= 32 && k.sym < 127 && !(k.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI));
    if (!types) {
        changed[key] = true;
        down[key] = pressed;
        commandPressed = commandPressed || pressed;
    }
    return true;
}

bool App::frameBuildDue() {
    if (!guiReady) return false;
    const ImGuiIO& io = ImGui::GetIO();
    bool held = false;
    for (const bool down : io.MouseDown) held = held || down;
    const Clock::time_point t = now();
    // The carousel turns on the time its frames add up, not on the clock.
    const bool carouselDue = renderer && renderer->carouselAutoRotate &&
                             renderer->carouselTimer + std::chrono::duration<float>(t - frameBuiltAt).count() >=
                                 static_cast<float>(config.carouselSeconds);
    frameBuild.moving =
        radar.open || (renderer && !renderer->meteors.empty()) || io.WantTextInput || held || carouselDue;
    frameBuild.sinceInput = t - lastInput;
    frameBuild.second = wallSecond();
    return frameBuildNeeded(frameBuild);
}

bool App::scheduledRefresh() {
    const Clock::time_point t = now();
    const std::int64_t wall = wallSeconds();
    const int interval = hiddenToTray ? config.backgroundPollMinutes : config.foregroundPollMinutes;
    // The interval on either clock: on waking from sleep, when the steady
    // clock stood still, the wall clock has moved on and refreshes at once.
    const auto m = std::chrono::duration_cast<std::chrono::minutes>(t - lastRefresh).count();
    const bool due = m >= interval || wall - lastRefreshWall >= std::int64_t{interval} * 60;
    // A refresh that failed for want of the network or by the service's
    // fault is tried again sooner, also on either clock.
    const std::chrono::seconds wait = retryWait(failedTries, interval);
    const bool retry = retryWaiting && (t - failedAt >= wait || wall - failedAtWall >= wait.count());
    const bool dayTurned = placeDayTurned();
    // The tray's "today" moves on with the place's day, and its conditions
    // say their time once old, also while the refresh asked for below does
    // not come.
    if (dayTurned || (trayChangesAt != 0 && wall >= trayChangesAt)) refreshTray();
    if ((due || retry || dayTurned) && locationManager.hasLocations()) {
        requestWeatherUpdate(locationManager.activeLocation(), true);
        lastRefresh = t;
        lastRefreshWall = wall;
    }
    return !hiddenToTray;
}

bool App::placeDayTurned() {
    const std::int64_t wall = wallSeconds();
    std::lock_guard<std::mutex> lock(dataMutex);
    if (!WeatherService::fromAnotherDay(weather, wall)) return false;
    // Once per shown record and place's date: a fetch that fails waits for
    // the next poll, and the next midnight turns the day again.
    std::string shown = weather.location.cacheKey() + "|" + weather.time + "|" + placeClock(weather).dateOf(wall);
    if (shown == dayTurnedFor) return false;
    dayTurnedFor = std::move(shown);
    return true;
}

int App::frameTimeoutMs() {
    PacingState s;
    s.hidden = hiddenToTray;
    s.minimized = window && (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED);
    s.radarOpen = radar.open;
    s.animating = renderer && !renderer->meteors.empty();
    s.sinceInput = now() - lastInput;
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        s.busy = fetchInProgress || !visibleAlerts.empty();
    }
    return frameTimeoutFor(s);
}

void App::handleSdlEvent(const SDL_Event& e) {
    if (guiReady) {
        ImGui_ImplSDL2_ProcessEvent(&e);
        // The modifiers held at this key, not those held now: a key taken in
        // a frame after it came (InputBatch) keeps its Ctrl.
        if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
            ImGuiIO& io = ImGui::GetIO();
            io.KeyShift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
            io.KeyCtrl = (e.key.keysym.mod & KMOD_CTRL) != 0;
            io.KeyAlt = (e.key.keysym.mod & KMOD_ALT) != 0;
            io.KeySuper = (e.key.keysym.mod & KMOD_GUI) != 0;
        }
    }
    // Exposure, resize, focus, visibility: what the screen shows may no
    // longer be the last presented frame.
    if (e.type == SDL_WINDOWEVENT || e.type == SDL_RENDER_TARGETS_RESET || e.type == SDL_RENDER_DEVICE_RESET)
        presentForced = true;
    if (e.type == SDL_QUIT) {
        running = false;
    } else if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) {
        if (trayHostVisible()) minimizeToTray();
        else running = false;
    }
}

void App::followTrayHost() {
    const bool host = trayHostVisible();
    // The host went away while the window was hidden: show it again.
    if (hiddenToTray && !host) restoreFromTray();
    // A click-through strip stays clickable while no host could bring it back.
    if (host != trayHostShown) {
        trayHostShown = host;
        frameBuild.changed = true;
        applyMiniWindowStyle();
    }
}

void App::minimizeToTray() {
    if (window) SDL_HideWindow(window);
    hiddenToTray = true;
}

void App::restoreFromTray() {
    if (window) {
        SDL_ShowWindow(window);
        if (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(window);
        SDL_RaiseWindow(window);
    }
    hiddenToTray = false;
    frameBuild.changed = true;
}

void App::renderFrame() {
    if (!guiReady || !renderer) return;
    frameBuild.changed = false;
    frameBuild.builtSecond = wallSecond();
    frameBuiltAt = now();
    // A card the carousel turns to takes its regions' scroll bars from its
    // first frame's content: that frame is built again before it is shown.
    const int card = renderer->carouselIndex;
    buildFrame();
    if (renderer->carouselIndex != card) buildFrame();
    // A frame equal to the one on screen is not drawn again: that would only
    // cost CPU (software OpenGL draws on the CPU).
    frameBuild.lastDiffered = framePresentNeeded(*ImGui::GetDrawData(), theme::Bg);
    if (!frameBuild.lastDiffered) return;
    const ImGuiIO& io = ImGui::GetIO();
    glViewport(0, 0, static_cast<int>(io.DisplaySize.x), static_cast<int>(io.DisplaySize.y));
    glClearColor(theme::Bg.x, theme::Bg.y, theme::Bg.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(window);
    ++framesPresented;
}

void App::buildFrame() {
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    updateMouseCursor();
    ImGui::NewFrame();
    // In mini mode the main window is the strip: the other windows keep
    // their places and sizes for when it ends.
    if (!renderer->miniMode) {
        draw::keepWindowsInside();
        draw::keepCloseBoxesClearOf(UIRenderer::kToastsWindow, RadarView::kLeastSize);
    }
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        if (alertsDirty) {
            visibleAlerts.clear();
            for (const WeatherAlert& a : alerts)
                if (!acknowledgedKeys.count(a.deduplicationKey())) visibleAlerts.push_back(a);
            alertsDirty = false;
        }
    }
    // The toasts are the shown record's alerts: none while a place has no record of its own.
    static const std::vector<WeatherAlert> noAlerts;
    const WeatherData& shown = shownRecord();
    renderer->render(shown, &shown == &weather ? visibleAlerts : noAlerts, notifications, fetchInProgress, status);
    frameBuild.timedChange = renderer->timedChange;
    if (radar.open) {
        const bool wind = knownAmount(weather.windDirection) && knownAmount(weather.windSpeed);
        radar.setWind(&shown == &weather && !weather.location.name.empty() && wind, weather.windDirection,
                      weather.windSpeed, weather.windGusts, config.windUnit == 0);
        radar.setClock(placeClock(shown), config.use24hClock);
        const std::uint64_t textureChanges = radar.textureChanges;
        radar.render();
        if (radar.textureChanges != textureChanges) presentForced = true;  // a texture name may be reused
    }
    // The frame's clicks raise the windows they hit as it ends; the toasts
    // then go back in front of them.
    ImGui::EndFrame();
    draw::keepInFront(UIRenderer::kToastsWindow);
    ImGui::Render();
    ++framesBuilt;
}

void App::processEvents() {
    if (std::optional<TrayAction> action = tray.pollAction()) {
        frameBuild.changed = true;
        switch (*action) {
        case TrayAction::Show:
            restoreFromTray();
            if (renderer && renderer->miniMode && config.miniClickThrough) applyMiniMode(false);
            break;
        case TrayAction::Refresh:
            if (locationManager.hasLocations()) requestWeatherUpdate(locationManager.activeLocation());
            break;
        case TrayAction::Quit:
            running = false;
            break;
        }
    }
    if (!renderer) return;
    UIActions a = renderer->consumeActions();
    const bool hasPlace = locationManager.hasLocations();
    if (a.refresh && hasPlace) requestWeatherUpdate(locationManager.activeLocation());
    if (a.locationChanged && hasPlace) requestWeatherUpdate(locationManager.activeLocation());
    if (!a.searchQuery.empty()) requestGeocode(a.searchQuery);
    if (a.detectLocation) requestDetectLocation();
    if (a.addLocation && !a.newLocation.name.empty()) {
        locationManager.addLocation(a.newLocation);
        locationManager.setActive(static_cast<int>(locationManager.locations().size()) - 1);
        requestWeatherUpdate(locationManager.activeLocation());
    }
    if (a.removeActive && locationManager.hasLocations()) {
        const GeoLocation removed = locationManager.activeLocation();
        locationManager.removeLocation(locationManager.activeIndex());
        forgetRemovedPlace(removed);
        if (locationManager.hasLocations()) requestWeatherUpdate(locationManager.activeLocation());
        else if (radar.open) radar.close();  // no place is left to show
    }
    if (a.resizeWindow && window && !renderer->miniMode) resizeOnDisplay(a.width, a.height);
    if (a.fetchStarFacts) {
        WorkRequest r;
        r.kind = WorkKind::FetchStarFacts;
        requestQueue.push(std::move(r));
    }
    if (a.toggleRadar && hasPlace) {
        radar.startZoom = config.radarZoom;
        radar.autoplay = config.radarAutoplay;
        radar.openBelow = a.radarBelow;
        const GeoLocation& place = locationManager.activeLocation();
        radar.toggle(place.latitude, place.longitude);
    }
    if (a.updateActive && locationManager.hasLocations()) {
        const GeoLocation before = locationManager.activeLocation();
        // A place moved elsewhere has no known zone until its forecast names
        // one, and shows no weather until its own arrives. The shown record
        // follows a rename only when it is the place's own.
        const bool moved = !sameSpot(a.editedLocation, before);
        const bool own = !moved && weather.location.cacheKey() == before.cacheKey();
        if (moved) a.editedLocation.timezone.clear();
        locationManager.updateActive(a.editedLocation);
        followEditedPlace(before);
        if (own) {
            std::lock_guard<std::mutex> lock(dataMutex);
            weather.location = static_cast<const GeoLocation&>(locationManager.activeLocation());
        }
        requestWeatherUpdate(locationManager.activeLocation());
    }
    if (a.settingsChanged) {
        refreshTray();  // its texts and badge in the units just chosen
        config.save();
        applyTheme();
        applyMiniWindowStyle();
        if (fontsCrisp != config.crispFont) rebuildFonts();
    }
    // Acknowledgements are remembered in the alert state until the alert's
    // expiry (a day when it has none), so they hold across restarts.
    if (!a.acknowledgeKey.empty()) {
        std::lock_guard<std::mutex> lock(dataMutex);
        acknowledgedKeys.insert(a.acknowledgeKey);
        alertsDirty = true;
        std::chrono::system_clock::time_point until{};
        for (Notification& n : notifications) {
            if (n.alert.deduplicationKey() != a.acknowledgeKey) continue;
            n.acknowledged = true;
            until = n.alert.expires;
        }
        for (const WeatherAlert& v : visibleAlerts)
            if (v.deduplicationKey() == a.acknowledgeKey && until == std::chrono::system_clock::time_point{})
                until = v.expires;
        alertEngine.acknowledge(a.acknowledgeKey, until, 0);
    }
    if (a.markAllRead) {
        std::lock_guard<std::mutex> lock(dataMutex);
        alertsDirty = true;
        for (Notification& n : notifications) {
            if (n.acknowledged) continue;
            n.acknowledged = true;
            const std::string key = n.alert.deduplicationKey();
            acknowledgedKeys.insert(key);
            alertEngine.acknowledge(key, n.alert.expires, 0);
        }
    }
    if (a.clearNotifications) {
        std::lock_guard<std::mutex> lock(dataMutex);
        notifications.clear();
        pendingToastKeys.clear();
    }
    if (a.toggleMini && window) applyMiniMode(!renderer->miniMode);
}

void App::applyMiniMode(bool on) {
    if (!window || !renderer || on == renderer->miniMode) return;
    if (on) {
        SDL_GetWindowSize(window, &normalW, &normalH);
        SDL_GetWindowPosition(window, &normalX, &normalY);
        SDL_SetWindowResizable(window, SDL_FALSE);
        const WindowSize m = miniStripSize(displayScale());
        SDL_SetWindowSize(window, m.w, m.h);
        if (config.miniPosX != Config::kNoPos) SDL_SetWindowPosition(window, config.miniPosX, config.miniPosY);
        SDL_SetWindowAlwaysOnTop(window, SDL_TRUE);
    } else {
        SDL_GetWindowPosition(window, &config.miniPosX, &config.miniPosY);
        SDL_SetWindowAlwaysOnTop(window, SDL_FALSE);
        SDL_SetWindowResizable(window, SDL_TRUE);
        SDL_SetWindowSize(window, normalW, normalH);
        SDL_SetWindowPosition(window, normalX, normalY);
    }
    renderer->miniMode = on;
    applyMiniWindowStyle();
}

void App::applyMiniWindowStyle() {
    if (!window || !renderer) return;
    if (renderer->miniMode) {
        SDL_SetWindowOpacity(window, miniOpacity(config.miniOpacityPct));
        // A strip that lets every click through can only be brought back
        // from the notification area, so it stays clickable without one.
        if (hwnd) platform::gui::setClickThrough(*hwnd, config.miniClickThrough && trayHostVisible());
    } else {
        SDL_SetWindowOpacity(window, 1.0f);
        if (hwnd) platform::gui::setClickThrough(*hwnd, false);
    }
}

}  // namespace nbr
