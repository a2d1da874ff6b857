// What a benchmark of the running application stands on: a private data
// folder, a private virtual display and the stand-in web services, with the
// environment pointed at them (SDL through X11 with software OpenGL), and the
// application object, shut down at the end.
#pragma once

#include "DisplayHarness.h"
#include "app/App.h"
#include "replay/ReplayServer.h"
#include "service/ServiceHosts.h"

#include <cstdlib>
#include <memory>

namespace nbr::bench {

struct AppScene {
    test::TempDir data;
    test::VirtualDisplay display;
    replay::ReplayServer server;
    bool ready = false;  // display, services and environment
    std::unique_ptr<App> app;
    bool ok = false;  // the benchmark's own set-up worked

    AppScene() {
        if (!display.ok() || !server.start()) return;
        setenv("APPDATA", data.path().c_str(), 1);
        test::useForSdl(display);
        setenv("NIMBREL_SERVICE_BASE", server.base().c_str(), 1);
        reloadServiceBase();
        ready = true;
    }
    ~AppScene() {
        if (app) app->shutdown();
        app.reset();
        server.stop();
    }
    AppScene(const AppScene&) = delete;
    AppScene& operator=(const AppScene&) = delete;
};

}  // namespace nbr::bench
