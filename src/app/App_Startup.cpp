#include "app/App.h"

#include "foundation/CrashHandler.h"
#include "foundation/Logger.h"
#include "platform/CrashSignals.h"
#include "platform/DbusLink.h"
#include "ui/Texture.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

namespace nbr {

App* App::s_instance = nullptr;

App::App() { s_instance = this; }

App::~App() {
    shutdown();
    s_instance = nullptr;
}

bool App::initialize() {
    if (!config.load()) return false;
    // The windowing library connects to both buses while it starts, and
    // would wait forever on one that never answers.
    for (const platform::SilentBus& bus : platform::hideSilentBuses())
        Log::warn("%s bus unavailable (%s); going on without it", bus.name, bus.why.c_str());
    if (!initSDL()) {
        Log::error("SDL init failed: %s", SDL_GetError());
        return false;
    }
    initImGui();

    tray.initialize(windowIcon);
    notificationManager.initialize(&tray);
    Log::info("started (%d saved location(s))", static_cast<int>(locationManager.locations().size()));

    const std::string report = crash::pendingReport();
    if (!report.empty()) {
        crash::markReportsSeen();
        Log::warn("previous session crashed; report: %s", report.c_str());
        WeatherAlert a;
        a.kind = SkyEvent;
        a.title = "Previous session crashed";
        a.message =
            "Nimbrel didn't shut down cleanly last time. A crash report was saved - see Settings > Diagnostics > "
            "Open crash reports.";
        a.issued = std::chrono::system_clock::now();
        a.expires = a.issued + std::chrono::hours(24);
        std::lock_guard<std::mutex> lock(dataMutex);
        notifications.push_back(Notification{a, a.issued, false});
        pendingToastKeys.insert(a.deduplicationKey());
    }

    WeatherService::setCaBundlePath(resourcePath("cacert.pem"));

    const std::string dir = Config::configDir();
    historyStore.dir = dir + "/history";
    archiveStore.dir = dir + "/archive";
    alertEngine.setStatePath(dir + "/alert_state.json", locationManager.locations());
    for (const std::string& key : alertEngine.acknowledgedKeys(0)) acknowledgedKeys.insert(key);
    weatherService.negPath = dir + "/enrich_flags.json";
    weatherService.starFactsPath = dir + "/star_facts.json";
    weatherService.issTlePath = dir + "/iss_tle.json";

    startWorker();

    if (locationManager.hasLocations()) requestWeatherUpdate(locationManager.activeLocation());
    if (config.startInMini) applyMiniMode(true);
    if (config.startMinimized) {
        tray.settle();
        // Without a notification area to come back from, the window is only
        // minimised, so the user can still reach it.
        if (trayHostVisible()) minimizeToTray();
        else if (window) SDL_MinimizeWindow(window);
    }
    return true;
}

void App::startWorker() {
    workerRunning.store(true);
    worker = std::thread([this] {
        // A stack overflow on this thread still leaves a crash report.
        platform::ThreadCrashStack crashStack;
        backgroundWorkerLoop();
    });
}

void App::stopWorker() {
    workerRunning.store(false);
    weatherService.abortFlag.store(true);
    requestQueue.push(WorkRequest{});
    if (worker.joinable()) worker.join();
    // A place renamed just before the stop: its files still follow the name.
    while (std::optional<WorkRequest> r = requestQueue.tryPop())
        if (r->kind == WorkKind::RenamePlace) movePlaceFiles(*r);
}

void App::shutdown() {
    if (shutdownDone) return;
    shutdownDone = true;
    Log::info("shutting down");

    if (window && renderer) {
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(window, &x, &y);
        SDL_GetWindowSize(window, &w, &h);
        storeWindowGeometry(config, renderer->miniMode, normalW, normalH, x, y, w, h);
        config.save();
    }

    radar.close();
    stopWorker();

    tray.shutdown();
    notificationManager.shutdown();
    renderer.reset();
    if (guiReady) {
        ImGui_ImplOpenGL3_Shutdown();
        ImGui_ImplSDL2_Shutdown();
        for (SDL_Cursor* c : mouseCursors) SDL_FreeCursor(c);
        mouseCursors.clear();
        ImGui::DestroyContext();
        guiReady = false;
    }
    if (glContext) {
        SDL_GL_DeleteContext(glContext);
        glContext = nullptr;
    }
    windowIcon = {};
    if (window) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    hwnd.reset();
    SDL_Quit();
}

void storeWindowGeometry(Config& c, bool miniMode, int nW, int nH, int x, int y, int w, int h) {
    if (miniMode) {
        c.windowW = nW;
        c.windowH = nH;
        c.miniPosX = x;
        c.miniPosY = y;
    } else {
        c.windowW = w;
        c.windowH = h;
    }
}

}  // namespace nbr
