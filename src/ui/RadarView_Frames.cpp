// The frame-list worker: reads the basemap once, then keeps the list of radar
// frames fresh and asks for the tiles the view needs.
#include "ui/RadarView.h"

#include "platform/CrashSignals.h"
#include "service/ServiceHosts.h"


namespace nbr {

namespace {

constexpr long kListTimeoutSeconds = 10;
constexpr char kListPath[] = "/public/weather-maps.json";

}  // namespace

void RadarView::workerLoop() {
    const platform::ThreadCrashStack crashStack;
    loadBasemap();
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastRequest = Clock::now() - std::chrono::seconds(600);
    while (running) {
        bool haveList = false;
        {
            std::lock_guard<std::mutex> lock(dataMutex);
            haveList = !frames.empty();
        }
        if (!haveList || Clock::now() - lastRequest >= refreshInterval) {
            RadarHandle handle;
            long status = 0;
            const std::vector<unsigned char> body =
                radarGet(handle, serviceBase(service::RainViewer) + kListPath, kListTimeoutSeconds, stop,
                         status);
            lastRequest = Clock::now();
            const std::optional<radar::FrameList> list =
                body.empty() ? std::nullopt
                             : radar::parseFrameList(std::string_view(
                                   reinterpret_cast<const char*>(body.data()), body.size()));
            if (list) {
                std::lock_guard<std::mutex> lock(dataMutex);
                const bool changed = radar::frameListChanged(host, frames, *list);
                host = list->host;
                frames = list->frames;
                pastCount = list->pastCount;
                if (changed) {
                    requested.clear();
                    fetched.clear();
                    ++listGeneration;
                    flushTiles = true;
                }
                frameIndex = radar::chooseFrameIndex(frameIndexSet, frameIndex, pastCount,
                                                     static_cast<int>(frames.size()));
            }
        }
        enqueueNeeded();
        for (int i = 0; i < 6 && running; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace nbr
