// The radar window on a private virtual display, in this process: tiles and
// outlines over Boston (screenshot kept in the artifacts folder), and tile
// textures counted through many frame changes.
#include "DisplayHarness.h"
#include "ReplayEnv.h"
#include "app/App.h"
#include "replay/Routes_Radar.h"

#include "ui/Theme.h"

#include <GL/gl.h>
#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace nbr {
namespace {

using namespace std::chrono_literals;

class RadarWindowTest : public test::ReplayTest {
protected:
    void SetUp() override {
#ifdef __SANITIZE_ADDRESS__
        // The system's software OpenGL keeps a few blocks to the end that the
        // leak checker cannot tell from leaks; memory errors are still caught.
        __lsan_disable();
#endif
        ReplayTest::SetUp();
        if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
        test::useForSdl(display);
        app = std::make_unique<App>();
        app->config.windowW = 1240;
        app->config.windowH = 780;
        ASSERT_TRUE(app->initSDL()) << SDL_GetError();
        ASSERT_TRUE(app->initImGui());
        app->radar.basemapDir = NIMBREL_RESOURCES_DIR;
    }
    void TearDown() override {
        if (app) app->shutdown();
        app.reset();
        ReplayTest::TearDown();
#ifdef __SANITIZE_ADDRESS__
        __lsan_enable();
#endif
    }

    // OpenGL texture names in use; the names are small and handed out in order.
    static int liveTextures() {
        int n = 0;
        for (GLuint id = 1; id < 4000; ++id)
            if (glIsTexture(id)) ++n;
        return n;
    }

    // One frame as the main loop draws it, read back from the frame buffer
    // before it is shown: the pixels the program drew, top row first.
    test::Screenshot drawnFrame() {
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
        app->renderer->render(app->weather, app->visibleAlerts, app->notifications, false, "");
        app->radar.setWind(true, 250, 24, 41, false);
        app->radar.render();
        ImGui::Render();
        const ImGuiIO& io = ImGui::GetIO();
        const int w = static_cast<int>(io.DisplaySize.x), h = static_cast<int>(io.DisplaySize.y);
        glViewport(0, 0, w, h);
        glClearColor(theme::Bg.x, theme::Bg.y, theme::Bg.z, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        test::Screenshot shot;
        shot.width = w;
        shot.height = h;
        std::vector<std::uint8_t> rows(size_t(w) * h * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
        shot.rgb.resize(rows.size());
        for (int y = 0; y < h; ++y)
            std::copy_n(&rows[size_t(h - 1 - y) * w * 3], size_t(w) * 3, &shot.rgb[size_t(y) * w * 3]);
        SDL_GL_SwapWindow(app->window);
        return shot;
    }

    test::VirtualDisplay display;
    std::unique_ptr<App> app;
};

bool near(const std::uint8_t* p, int r, int g, int b, int tolerance) {
    return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance;
}

TEST_F(RadarWindowTest, TilesOutlinesAndPlacesOverBoston) {
    // A list whose rain pattern (which moves with the frames' times and
    // repeats every 1000 frames) is the same picture on every run: the last
    // 10-minute step in the past that shows the pattern of 2026-01-01 09:00.
    const std::int64_t step = std::time(nullptr) / 600, base = 1767258000 / 600;
    const std::int64_t listTime = (step - (step - base) % 1000) * 600;
    server.setReply("rainviewer", "/public/weather-maps.json",
                    replay::Reply::json(replay::radar::frameList(server.base() + "/rainviewer", listTime)));
    app->locationManager.addLocation(place("boston"));
    app->config.radarZoom = 6;
    app->renderer->actions.toggleRadar = true;
    app->processEvents();
    ASSERT_TRUE(app->radar.open);
    EXPECT_EQ(app->frameTimeoutMs(), 16);  // the loop paces at 16 ms while the radar is open

    // Frames until the outlines are read and every visible tile is a texture.
    bool ready = false;
    for (int i = 0; i < 1000 && !ready; ++i) {
        app->renderFrame();
        std::this_thread::sleep_for(10ms);
        std::lock_guard<std::mutex> lock(app->radar.dataMutex);
        const size_t visible = size_t(app->radar.visX1 - app->radar.visX0 + 1) *
                               size_t(app->radar.visY1 - app->radar.visY0 + 1);
        ready = app->radar.basemapLoaded && !app->radar.frames.empty() && app->radar.fetched.empty() &&
                app->radar.tiles.size() >= visible;
    }
    ASSERT_TRUE(ready);
    EXPECT_GT(app->radar.coastLines.size(), 100u);
    EXPECT_GT(app->radar.places.size(), 1000u);
    app->renderFrame();
    app->renderFrame();

    const test::Screenshot shot = drawnFrame();
    ASSERT_FALSE(shot.rgb.empty());
    const std::string png = test::savePng(shot, "radar-boston");

    size_t background = 0, rain = 0, borders = 0, coasts = 0, crosshair = 0;
    for (size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
        const std::uint8_t* p = &shot.rgb[i];
        if (near(p, 14, 20, 24, 0)) ++background;
        if (p[1] > p[0] + 40 && p[1] > p[2] + 40) ++rain;  // the stand-in's green rain
        if (near(p, 166, 194, 208, 12)) ++borders;
        if (near(p, 111, 138, 152, 12)) ++coasts;
        if (near(p, 224, 121, 66, 8)) ++crosshair;
    }
    std::printf("radar screenshot: %zu canvas, %zu rain, %zu border, %zu coast, %zu crosshair pixels\n", background,
                rain, borders, coasts, crosshair);
    EXPECT_GT(background, 20000u) << png;  // the canvas shows through where it is dry
    EXPECT_GT(rain, 40000u) << png;
    EXPECT_GT(borders, 150u) << png;       // state and country lines
    EXPECT_GT(coasts, 300u) << png;
    EXPECT_GT(crosshair, 20u) << png;

    app->renderer->actions.toggleRadar = true;
    app->processEvents();
    EXPECT_FALSE(app->radar.open);
    EXPECT_TRUE(app->radar.tiles.empty());

    // Open again: removing the last place leaves nothing for it to show.
    app->renderer->actions.toggleRadar = true;
    app->processEvents();
    ASSERT_TRUE(app->radar.open);
    app->renderer->actions.removeActive = true;
    app->processEvents();
    EXPECT_FALSE(app->radar.open);
}

TEST_F(RadarWindowTest, NoTextureOutlivesAHundredFrameChanges) {
    app->renderFrame();  // the GUI library makes its font texture on the first frame
    const int before = liveTextures();
    // Bytes for a row of four tiles, used for each of four frames.
    std::vector<std::vector<unsigned char>> pngs;
    for (int x = 8; x < 12; ++x) pngs.push_back(replay::radar::tilePng(1767258000, 5, x, 11));
    RadarView& r = app->radar;
    r.open = true;  // drawn without its threads: this test plays the worker
    {
        std::lock_guard<std::mutex> lock(r.dataMutex);
        r.centerLat = 42.3584;
        r.centerLon = -71.0598;
        r.zoom = 5;
        r.host = "https://tiles.example";
    }
    size_t most = 0;
    for (int change = 0; change < 100; ++change) {
        {
            std::lock_guard<std::mutex> lock(r.dataMutex);
            r.frames.clear();
            for (int f = 0; f < 4; ++f) r.frames.push_back({"/f" + std::to_string(change * 4 + f), false, 0});
            r.pastCount = 4;
            r.fetched.clear();
            r.requested.clear();
            for (int f = 0; f < 4; ++f)
                for (int x = 8; x < 12; ++x) r.fetched[{f, 5, x, 11}] = pngs[size_t(x - 8)];
        }
        r.flushTiles = true;
        // Each of these frames shows new pixels, perhaps under the texture
        // names just released: it is drawn even when its draw data is equal.
        const std::uint64_t presented = app->framesPresented;
        app->renderFrame();  // releases the last list's textures, uploads 16
        // The same tiles downloaded again replace their textures.
        {
            std::lock_guard<std::mutex> lock(r.dataMutex);
            for (int x = 8; x < 12; ++x) r.fetched[{change % 4, 5, x, 11}] = pngs[size_t(x - 8)];
        }
        app->renderFrame();
        EXPECT_EQ(app->framesPresented, presented + 2) << "change " << change;
        most = std::max(most, r.tiles.size());
        ASSERT_EQ(liveTextures() - before, static_cast<int>(r.tiles.size())) << "after change " << change;
    }
    EXPECT_EQ(most, 16u);
    EXPECT_EQ(r.tileTextureBytes(), 16u * 256 * 256 * 4);
    r.close();
    EXPECT_EQ(liveTextures(), before);
}

}  // namespace
}  // namespace nbr
