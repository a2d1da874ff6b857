// Process entry: data folder, crash capture, log, one-instance lock, then the
// application's start-up, main loop and shut-down.
#include "app/App.h"
#include "foundation/Config.h"
#include "foundation/CrashHandler.h"
#include "foundation/Logger.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"

#include <curl/curl.h>

int main() {
    using namespace nbr;
    const std::string dir = Config::configDir();
    // The folder holds saved home coordinates: owner only, also when an
    // older version or a copy left it readable by others. The "./" fallback
    // is the working folder, which is not ours to change.
    const bool ownFolder = dir != "./" && platform::createPrivateDirectories(dir);
    crash::install(dir + "/crashes");
    Log::init(dir + "/logs");
    if (ownFolder) {
        if (const int narrowed = platform::narrowToOwner(dir); narrowed > 0)
            Log::warn("data folder was readable by other users; access narrowed to the owner on %d item(s)", narrowed);
    }

    platform::InstanceLock lock;
    if (!lock.acquire(dir) && lock.heldElsewhere()) {
        Log::error("another instance is running");
        return 1;
    }

    curl_global_init(CURL_GLOBAL_ALL);
    App app;
    if (!app.initialize()) {
        Log::error("initialization failed; exiting");
        curl_global_cleanup();
        return 1;  // the application object's destructor releases what start-up made
    }
    app.run();
    app.shutdown();
    curl_global_cleanup();
    return 0;
}
