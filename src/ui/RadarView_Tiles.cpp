// Radar tiles: which to ask for, the three fetchers that download them, and
// turning the downloaded bytes into textures on the GUI thread.
#include "ui/RadarView.h"

#include "platform/CrashSignals.h"
#include "service/ServiceHosts.h"

#include <algorithm>

namespace nbr {

namespace {

constexpr long kTileTimeoutSeconds = 12;
constexpr std::int64_t kBackoffMs = 3000;
constexpr std::int64_t kBackoffStepMs = 150;

}  // namespace

void RadarView::enqueueNeeded() {
    std::vector<TileKey> wanted;
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        const int n = static_cast<int>(frames.size());
        if (host.empty() || n == 0) return;
        const maptiles::TileRange visible{visX0, visX1, visY0, visY1};
        if (visible.empty()) return;
        const int tz = maptiles::fetchZoom(zoom);
        const maptiles::TileRange r = maptiles::fetchRange(visible, zoom);
        for (const int frame : maptiles::wantedFrames(frameIndex, n, playing))
            for (int x = r.x0; x <= r.x1; ++x)
                for (int y = r.y0; y <= r.y1; ++y) {
                    if (!maptiles::tileExists(tz, x, y)) continue;
                    const TileKey key{frame, tz, x, y};
                    if (requested.emplace(key, true).second) wanted.push_back(key);
                }
    }
    if (wanted.empty()) return;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.insert(queue.end(), wanted.begin(), wanted.end());
    }
    queueCv.notify_all();
}

void RadarView::fetcherLoop() {
    const platform::ThreadCrashStack crashStack;
    RadarHandle handle;
    while (running) {
        TileKey key;
        {
            std::unique_lock<std::mutex> lock(queueMutex);
            queueCv.wait(lock, [this] { return !queue.empty() || !running; });
            if (!running) return;
            key = queue.front();
            queue.pop_front();
        }
        // A 429 reply pauses every fetcher; the pause ends early on stop.
        while (running) {
            const std::int64_t left = backoffUntilMs.load() - radarSteadyMs();
            if (left < 1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kBackoffStepMs)));
        }
        if (!running) return;

        std::string url;
        std::uint64_t generation = 0;
        {
            std::lock_guard<std::mutex> lock(dataMutex);
            if (host.empty() || key.frame < 0 || key.frame >= static_cast<int>(frames.size())) continue;
            url = radar::tileUrl(host, frames[static_cast<size_t>(key.frame)].path, key.z, key.x, key.y,
                                 serviceBaseOverride());
            generation = listGeneration;
        }
        if (url.empty()) continue;  // not an https host: never asked for
        long status = 0;
        std::vector<unsigned char> body = radarGet(handle, url, kTileTimeoutSeconds, stop, status);

        std::lock_guard<std::mutex> lock(dataMutex);
        // Downloaded for a list that has since changed: the key now names
        // another frame (and requested no longer holds it).
        if (generation != listGeneration) continue;
        if (body.empty()) {
            if (status == 429) backoffUntilMs = radarSteadyMs() + kBackoffMs;
            requested.erase(key);
        } else {
            fetched[key] = std::move(body);
        }
    }
}

void RadarView::uploadFetched(size_t limit) {
    std::vector<std::pair<TileKey, std::vector<unsigned char>>> batch;
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        while (!fetched.empty() && batch.size() < limit) {
            auto node = fetched.extract(fetched.begin());
            batch.emplace_back(node.key(), std::move(node.mapped()));
        }
    }
    for (auto& [key, bytes] : batch) {
        Texture t = loadTextureFromMemory(bytes.data(), bytes.size());
        if (t.id != 0) {
            ++textureChanges;
            auto it = tiles.find(key);
            if (it != tiles.end()) {
                freeTexture(it->second);
                it->second = t;
            } else {
                tiles.emplace(key, t);
            }
        } else {
            std::lock_guard<std::mutex> lock(dataMutex);
            requested.erase(key);
        }
    }
}

void RadarView::trimTiles(int viewZoom, const maptiles::TileRange& visible) {
    if (tiles.size() <= kMaxTextures) return;
    std::vector<TileKey> dropped;
    for (auto it = tiles.begin(); it != tiles.end();) {
        const TileKey& k = it->first;
        if (maptiles::keepOnTrim(k.z, k.x, k.y, viewZoom, visible)) {
            ++it;
            continue;
        }
        freeTexture(it->second);
        ++textureChanges;
        dropped.push_back(k);
        it = tiles.erase(it);
    }
    std::lock_guard<std::mutex> lock(dataMutex);
    for (const TileKey& k : dropped) {
        requested.erase(k);
        fetched.erase(k);
    }
}

std::size_t RadarView::tileTextureBytes() const {
    std::size_t bytes = 0;
    for (const auto& [key, t] : tiles)
        if (t.id != 0) bytes += static_cast<std::size_t>(t.width) * static_cast<std::size_t>(t.height) * 4;
    return bytes;
}

}  // namespace nbr
