// The application object with its window, OpenGL context and GUI library on
// a private virtual display, in the test's own process, with a private data
// folder.
#pragma once

#include "DisplayHarness.h"
#include "app/App.h"

#include <SDL.h>

#include <gtest/gtest.h>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace nbr::test {

class AppOnDisplayTest : public DataDirTest {
protected:
    void SetUp() override {
#ifdef __SANITIZE_ADDRESS__
        // The system's D-Bus and software OpenGL libraries keep a few blocks
        // to the end that the leak checker cannot tell from leaks; memory
        // errors are still caught.
        __lsan_disable();
#endif
        DataDirTest::SetUp();
        if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
        test::useForSdl(display);
        app.config.windowW = 900;
        app.config.windowH = 650;
        ASSERT_TRUE(app.initSDL()) << SDL_GetError();
        ASSERT_TRUE(app.initImGui());
    }

    struct Geometry {
        int x, y, w, h;
    };
    Geometry geometry() {
        SDL_PumpEvents();
        Geometry g{};
        SDL_GetWindowPosition(app.window, &g.x, &g.y);
        SDL_GetWindowSize(app.window, &g.w, &g.h);
        return g;
    }

    void TearDown() override {
        // Shut down (which saves the settings) while the data folder is still
        // the test's own.
        app.shutdown();
        DataDirTest::TearDown();
#ifdef __SANITIZE_ADDRESS__
        __lsan_enable();
#endif
    }

    VirtualDisplay display;
    App app;
};

}  // namespace nbr::test
