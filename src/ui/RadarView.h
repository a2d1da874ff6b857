// The radar map window: precipitation radar tiles of a public radar service
// over vector map outlines, animated through the service's recent and
// nowcast frames.
//
// Member functions are spread over one source file per concern:
//   RadarView.cpp          opening, closing, the threads, transfers
//   RadarView_Frames.cpp   the frame-list worker
//   RadarView_Tiles.cpp    choosing, fetching and uploading tiles
//   RadarView_Basemap.cpp  reading and projecting the map outlines
//   RadarView_Draw.cpp     the window, the canvas and its captions
//
// Threads: the GUI thread (toggle, close, render), one frame-list worker and
// three tile fetchers. The fetchers only hand PNG bytes over; textures are
// made and freed on the GUI thread, which owns the OpenGL context.
#pragma once

#include "model/Basemap.h"
#include "model/MapTiles.h"
#include "model/PlaceClock.h"
#include "model/RadarFrames.h"
#include "ui/Texture.h"

#include <imgui.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nbr {

class RadarView {
public:
    struct TileKey {
        int frame = 0;  // index into the current frame list
        int z = 0, x = 0, y = 0;
        auto operator<=>(const TileKey&) const = default;
    };
    using Frame = radar::Frame;
    using Polyline = basemap::Polyline;
    using Place = basemap::Place;

    RadarView();
    // Stops the threads; tile textures are the owner's to release with close()
    // while the OpenGL context still exists.
    ~RadarView();
    RadarView(const RadarView&) = delete;
    RadarView& operator=(const RadarView&) = delete;

    // Opens the window centred on (lat, lon), or closes it when open.
    void toggle(double lat, double lon);
    // Hides the window, stops and joins every thread, frees the tile textures
    // and forgets the frame list and downloaded bytes. GUI thread.
    void close();
    void startWorker();
    void stopWorker();
    // Frees every tile texture and empties the download queue. GUI thread.
    void clearTiles();
    // Queues the tiles of the visible range not yet asked for. Worker thread.
    void enqueueNeeded();
    void workerLoop();
    void fetcherLoop();

    // ---- Drawing (GUI thread) ----
    void setWind(bool shown, double direction, double speed, double gust, bool imperial);
    // The place's clock and the clock setting the frame times are read by.
    void setClock(PlaceClock clock, bool use24h) {
        placeClock = std::move(clock);
        use24 = use24h;
    }
    void render();
    void loadBasemap();
    void buildProjection(int zoom);
    // Turns at most `limit` downloaded tiles into textures.
    void uploadFetched(size_t limit);
    // Frees the textures of tiles far from the view once there are too many.
    void trimTiles(int zoom, const maptiles::TileRange& visible);
    // Bytes of pixel memory held by the tile textures.
    std::size_t tileTextureBytes() const;

    // Largest body accepted for a frame list or a tile.
    static constexpr std::size_t kMaxBodyBytes = std::size_t{32} << 20;
    // Textures kept before tiles far from the view are released.
    static constexpr std::size_t kMaxTextures = 1200;

    std::atomic<bool> open{false};
    std::atomic<bool> running{false};
    std::atomic<bool> stop{false};
    std::thread worker;
    std::vector<std::thread> fetchers;
    std::deque<TileKey> queue;
    std::mutex queueMutex;
    std::condition_variable queueCv;
    std::mutex dataMutex;
    std::string host;
    std::vector<Frame> frames;
    std::map<TileKey, std::vector<unsigned char>> fetched;
    std::map<TileKey, bool> requested;
    std::map<TileKey, Texture> tiles;
    std::atomic<std::int64_t> backoffUntilMs{0};
    double centerLat = 0, centerLon = 0;
    int zoom = 5;
    int startZoom = 5;
    bool autoplay = false;
    int visX0 = 0, visX1 = 0, visY0 = 0, visY1 = 0;
    std::vector<Polyline> coastLines, countryLines, countyLines, roadLines;
    std::vector<Place> places;
    std::atomic<bool> basemapLoaded{false};
    std::atomic<bool> flushTiles{false};
    int projZoom = -1;
    int pastCount = 0;
    bool frameIndexSet = false;
    int frameIndex = 0;
    bool playing = false;
    float frameTimer = 0;
    bool windShown = false;
    double windDirection = 0, windSpeed = 0, windGust = 0;
    bool windImperial = false;
    PlaceClock placeClock;
    bool use24 = false;
    // The least size the window is given when it opens or makes room for
    // the toasts: the controls, a useful canvas and the attribution.
    static inline const ImVec2 kLeastSize{300, 320};
    // Screen y below which the window opens the first time (the lower edge of
    // the button that asked for it), so that the button stays in view.
    float openBelow = 0;

    // Counts frame-list changes, so a tile downloaded for an earlier list is
    // dropped rather than stored under a key that now names another frame.
    // Guarded by dataMutex.
    std::uint64_t listGeneration = 0;
    // How often a frame list in hand is asked for again.
    std::chrono::steady_clock::duration refreshInterval = std::chrono::seconds(180);
    // Where the basemap files are read from; empty: the resources folder.
    std::string basemapDir;
    // Counts textures made and released (GUI thread). A released texture's
    // name may come back for new pixels, so equal draw data does not mean an
    // equal picture once this has moved.
    std::uint64_t textureChanges = 0;
};

// Milliseconds of the steady clock, as backoffUntilMs holds them.
std::int64_t radarSteadyMs();

// A libcurl easy handle and the multi handle that drives it (and keeps its
// connections for the next transfer), cleaned up with the object.
class RadarHandle {
public:
    RadarHandle();
    ~RadarHandle();
    RadarHandle(const RadarHandle&) = delete;
    RadarHandle& operator=(const RadarHandle&) = delete;
    void* easy() const { return easy_; }
    void* multi() const { return multi_; }

private:
    void* easy_ = nullptr;
    void* multi_ = nullptr;
};

// One radar transfer on `handle` (reset first): the body, or empty when the
// transfer failed, was aborted through `stop` or did not answer 2xx. `status`
// receives the HTTP status (0 when none). Returns within about 50 ms of
// `stop` being set, whatever the transfer is waiting for.
std::vector<unsigned char> radarGet(RadarHandle& handle, const std::string& url, long timeoutSeconds,
                                    const std::atomic<bool>& stop, long& status);

// The label of the frame shown and the palette colour it is drawn in.
struct RadarTimeLabel {
    std::string text;
    enum Tone { Live, Amber, Fg } tone = Fg;
};
// Frame times read on the place's clock, in the clock setting's form.
RadarTimeLabel radarTimeLabel(std::int64_t frameTime, bool nowcast, std::int64_t now, const PlaceClock& clock,
                              bool use24);

// The wind badge caption: compass name, speed and, when the gust is more than
// 5 above it, the gust, in mph or km/h.
std::string radarWindCaption(double direction, double speedKmh, double gustKmh, bool imperial);

}  // namespace nbr
