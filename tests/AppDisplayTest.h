// The application's window with its GUI library on a private virtual
// display, in the test's own process.
#pragma once

#include "DisplayHarness.h"
#include "app/App.h"

#include <SDL.h>

#include <gtest/gtest.h>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace nbr::test {

class AppDisplayTest : public DataDirTest {
protected:
    explicit AppDisplayTest(int windowW = 900, int windowH = 650) : windowW_(windowW), windowH_(windowH) {}

    void SetUp() override {
#ifdef __SANITIZE_ADDRESS__
        // The system's D-Bus and software OpenGL libraries keep a few blocks
        // to the end that the leak checker cannot tell from leaks; memory
        // errors are still caught.
        __lsan_disable();
#endif
        DataDirTest::SetUp();
        if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
        setenv("DISPLAY", display.name().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        unsetenv("WAYLAND_DISPLAY");
        app.config.windowW = windowW_;
        app.config.windowH = windowH_;
        ASSERT_TRUE(app.initSDL()) << SDL_GetError();
        ASSERT_TRUE(app.initImGui());
    }

    void TearDown() override {
        DataDirTest::TearDown();
#ifdef __SANITIZE_ADDRESS__
        __lsan_enable();
#endif
    }

    VirtualDisplay display;
    App app;

private:
    int windowW_, windowH_;
};

}  // namespace nbr::test
