// Identical frames are built but not drawn again: the window on a private
// display, driven one loop turn at a time, with the app's frame counters.
// And a quiet loop turn, which waits on the window system itself, still wakes
// for it and for a quit signal.
#include "AppOnDisplay.h"
#include "PlaceRecords.h"
#include "ui/Theme.h"

#include <X11/Xlib.h>
#include <imgui.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <cstdint>
#include <span>
#include <thread>

namespace nbr {
namespace {

class FrameSkipTest : public test::AppOnDisplayTest {
protected:
    // One loop turn as the main loop makes it once its wait is over: the
    // queued events, the actions and results, then the frame.
    void turn() {
        SDL_Event e;
        while (SDL_PollEvent(&e)) app.handleSdlEvent(e);
        app.processEvents();
        app.updateFromBackground();
        app.renderFrame();
    }
    // Frames presented over `turns` turns.
    std::uint64_t presentsOver(int turns) {
        const std::uint64_t before = app.framesPresented;
        for (int i = 0; i < turns; ++i) turn();
        return app.framesPresented - before;
    }
    // Turns until five in a row present nothing: the GUI library settles its
    // windows' sizes and the window system its start-up events first.
    bool settle() {
        for (int i = 0, quiet = 0; i < 200; ++i) {
            quiet = presentsOver(1) == 0 ? quiet + 1 : 0;
            if (quiet == 5) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    // Waits until the window system's answer to a request is in SDL's queue.
    bool windowEventQueued() {
        for (int i = 0; i < 400; ++i) {
            SDL_PumpEvents();
            if (SDL_HasEvent(SDL_WINDOWEVENT)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
};

TEST_F(FrameSkipTest, UnchangedDashboardIsNotDrawnAgainUntilItOrTheWindowChanges) {
    ASSERT_TRUE(app.hwnd.has_value());
    ASSERT_TRUE(settle());

    // Idle: every turn builds a frame, none is presented.
    const std::uint64_t built = app.framesBuilt;
    EXPECT_EQ(presentsOver(8), 0u);
    EXPECT_EQ(app.framesBuilt, built + 8);

    // The first place and its record arrive from the worker: the dashboard's
    // body appears, and once its panels have settled (new child regions get
    // their scroll bars a frame after they first appear) the frames are equal
    // again.
    SavedLocation place;
    place.name = "Boston";
    place.latitude = 42.3584;
    place.longitude = -71.0598;
    app.locationManager.addLocation(place);
    App::WorkResult result;
    result.weather = WeatherData{};
    result.weather->location = place;
    result.weather->hourly.resize(24);
    result.weather->daily.resize(7);
    app.resultQueue.push(std::move(result));
    const std::uint64_t shown = presentsOver(6);
    EXPECT_GE(shown, 1u);
    EXPECT_LE(shown, 3u);
    EXPECT_EQ(presentsOver(6), 0u);
    EXPECT_EQ(app.weather.location.name, "Boston");

    // Exposure: the window system lost (part of) the picture; the frame is
    // the same but must be drawn again, once.
    auto* dpy = static_cast<Display*>(app.hwnd->display);
    XClearArea(dpy, app.hwnd->window, 0, 0, 0, 0, True);
    XFlush(dpy);
    ASSERT_TRUE(windowEventQueued());
    EXPECT_EQ(presentsOver(6), 1u);
    // So after a font rebuild, also when the new atlas gets the old texture's
    // name: this driver gives a new one, so the frame on screen is made to
    // name it as such a driver would leave it.
    const ImTextureID oldAtlas = ImGui::GetIO().Fonts->TexID;
    app.rebuildFonts();
    ImDrawData& shownFrame = *ImGui::GetDrawData();
    for (ImDrawList* list : std::span(shownFrame.CmdLists, static_cast<size_t>(shownFrame.CmdListsCount)))
        for (ImDrawCmd& c : list->CmdBuffer)
            if (c.TextureId == oldAtlas) c.TextureId = ImGui::GetIO().Fonts->TexID;
    app.lastPresentedHash = drawDataHash(shownFrame, theme::Bg);
    EXPECT_EQ(presentsOver(6), 1u);

    // A resize: a frame at the new size, and one more where the layout gains
    // a scroll bar it now needs; then nothing.
    SDL_SetWindowSize(app.window, 820, 600);
    ASSERT_TRUE(windowEventQueued());
    const std::uint64_t resized = presentsOver(6);
    EXPECT_GE(resized, 1u);
    EXPECT_LE(resized, 2u);
    EXPECT_EQ(presentsOver(6), 0u);
    EXPECT_EQ(ImGui::GetIO().DisplaySize.x, 820.0f);

    // An event that changes nothing on screen draws nothing.
    SDL_Event user{};
    user.type = SDL_USEREVENT;
    SDL_PushEvent(&user);
    EXPECT_EQ(presentsOver(6), 0u);

    // The frame built when the carousel's turn is due shows the next card, settled: nothing else would.
    App::WorkResult every;
    every.weather = test::placeRecord(test::Place::Boston);  // every card, each to be shown for the first time
    every.weather->location = place;
    const int64_t late = std::time(nullptr) - replyInstant(*every.weather, every.weather->time).value_or(0);
    app.renderer->wallSeconds = [late] { return std::time(nullptr) - late; };  // shown as of its present
    app.resultQueue.push(std::move(every));
    SDL_SetWindowSize(app.window, 1280, 800);
    ASSERT_TRUE(windowEventQueued());
    presentsOver(6);
    ASSERT_EQ(presentsOver(6), 0u);
    app.config.carouselSeconds = 1;
    int turns = 0;
    for (const auto end = app.now() + std::chrono::milliseconds(3500); app.now() < end;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int card = app.renderer->carouselIndex;
        const std::uint64_t presented = app.framesPresented;
        if (app.frameBuildDue()) app.renderFrame();
        if (app.renderer->carouselIndex == card) continue;
        ++turns;
        EXPECT_EQ(app.framesPresented, presented + 1) << "turn " << turns << " left the old card on screen";
        app.renderFrame();
        EXPECT_EQ(app.framesPresented, presented + 1) << "turn " << turns << " was not settled";
    }
    EXPECT_GE(turns, 2);
}

TEST_F(FrameSkipTest, QuietTurnsWakeForTheWindowSystemAndSeeAQuitSignal) {
    using namespace std::chrono_literals;
    ASSERT_TRUE(settle());
    const auto quiet = [this] {
        app.lastInput = app.now() - 2s;
        app.lastPump = app.now();
    };
    quiet();
    auto* dpy = static_cast<Display*>(app.hwnd->display);
    XClearArea(dpy, app.hwnd->window, 0, 0, 0, 0, True);
    XFlush(dpy);
    const auto t0 = std::chrono::steady_clock::now();
    app.turn(5000);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);  // not the whole wait
    EXPECT_GT(app.lastInput, t0);                            // the exposure was handled

    // SDL only sees a caught signal in its event pump, which a quiet turn
    // still runs once a second.
    quiet();
    std::raise(SIGTERM);
    for (int i = 0; i < 20 && app.running; ++i) app.turn(250);
    EXPECT_FALSE(app.running);
}

// The cursor the dashboard asks for reaches the window, though it is only set
// there when it changes.
TEST_F(FrameSkipTest, WindowShowsTheCursorTheLastFrameAskedFor) {
    turn();
    ASSERT_EQ(app.mouseCursors.size(), size_t{ImGuiMouseCursor_COUNT});
    for (ImGuiMouseCursor c : {ImGuiMouseCursor_Arrow, ImGuiMouseCursor_Hand, ImGuiMouseCursor_Hand,
                               ImGuiMouseCursor_TextInput, ImGuiMouseCursor_Arrow}) {
        ImGui::SetMouseCursor(c);  // as an item of the frame just built would
        turn();
        EXPECT_EQ(SDL_GetCursor(), app.mouseCursors[static_cast<size_t>(c)]) << c;
    }
}

TEST_F(FrameSkipTest, DrawDataHashSeesEveryPartOfTheFrame) {
    ASSERT_TRUE(settle());
    ImDrawData& d = *ImGui::GetDrawData();
    ASSERT_GT(d.CmdListsCount, 0);
    ImDrawList& list = *d.CmdLists[0];
    ASSERT_GT(list.VtxBuffer.Size, 0);
    ASSERT_GT(list.CmdBuffer.Size, 0);
    const ImVec4 bg{0.1f, 0.2f, 0.3f, 1.0f};
    const std::uint64_t base = drawDataHash(d, bg);
    EXPECT_EQ(drawDataHash(d, bg), base);

    // Each change alone gives another hash; undone, the hash is back.
    const auto changes = [&](auto&& change, const char* what) {
        change(1);
        EXPECT_NE(drawDataHash(d, bg), base) << what;
        change(-1);
        EXPECT_EQ(drawDataHash(d, bg), base) << what;
    };
    ImDrawVert& v = list.VtxBuffer[0];
    ImDrawCmd& c = list.CmdBuffer[0];
    changes([&](int s) { v.pos.x += static_cast<float>(s); }, "vertex position");
    changes([&](int s) { v.uv.y += static_cast<float>(s); }, "texture coordinate");
    changes([&](int s) { v.col += static_cast<ImU32>(s); }, "vertex colour");
    changes([&](int s) { list.IdxBuffer[0] = static_cast<ImDrawIdx>(list.IdxBuffer[0] + s); }, "index");
    changes([&](int s) { c.ClipRect.z += static_cast<float>(s); }, "clip rectangle");
    changes([&](int s) { c.ElemCount += static_cast<unsigned>(s); }, "element count");
    changes([&](int s) { c.IdxOffset += static_cast<unsigned>(s); }, "index offset");
    changes([&](int s) { c.TextureId = reinterpret_cast<ImTextureID>(reinterpret_cast<std::uintptr_t>(c.TextureId) + s); },
            "texture");
    changes([&](int s) { d.DisplaySize.y += static_cast<float>(s); }, "display size");
    changes([&](int s) { d.FramebufferScale.x += static_cast<float>(s); }, "display scale");
    EXPECT_NE(drawDataHash(d, ImVec4{0.1f, 0.2f, 0.31f, 1.0f}), base);  // clear colour
}

}  // namespace
}  // namespace nbr
