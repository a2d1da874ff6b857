// Opening and closing the radar map, its threads, and its transfers.
#include "ui/RadarView.h"

#include "service/ServiceHosts.h"
#include "service/WeatherService.h"

#include <curl/curl.h>

#include <algorithm>

namespace nbr {

namespace {

constexpr char kUserAgent[] = "Nimbrel/1.1 (radar)";
constexpr long kConnectTimeoutSeconds = 6;
constexpr long kMaxRedirects = 10;
constexpr int kFetcherCount = 3;

// Appends the bytes to the body; a body past the size limit ends the transfer.
size_t binWrite(void* data, size_t size, size_t count, void* user) {
    const size_t n = size * count;
    if (n == 0) return 0;
    auto* bytes = static_cast<std::vector<unsigned char>*>(user);
    if (n > RadarView::kMaxBodyBytes - std::min(bytes->size(), RadarView::kMaxBodyBytes)) return 0;
    const auto* p = static_cast<const unsigned char*>(data);
    bytes->insert(bytes->end(), p, p + n);
    return n;
}

// Ends a transfer in progress as soon as the radar is stopped.
int binAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

}  // namespace

std::int64_t radarSteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

RadarHandle::RadarHandle() : easy_(curl_easy_init()), multi_(curl_multi_init()) {}

RadarHandle::~RadarHandle() {
    if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
    if (easy_) curl_easy_cleanup(static_cast<CURL*>(easy_));
}

std::vector<unsigned char> radarGet(RadarHandle& handle, const std::string& url, long timeoutSeconds,
                                    const std::atomic<bool>& stop, long& status) {
    status = 0;
    std::vector<unsigned char> body;
    CURL* h = static_cast<CURL*>(handle.easy());
    CURLM* m = static_cast<CURLM*>(handle.multi());
    if (!h || !m || url.empty() || stop.load() || !serviceUrlAllowed(url)) return body;
    // https only; plain http only to the stand-in server while one is set.
    const char* protocols = serviceBaseOverride().empty() ? "https" : "http,https";
    curl_easy_reset(h);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    const std::string& ca = WeatherService::caBundlePath();
    if (!ca.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, ca.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, binWrite);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(RadarView::kMaxBodyBytes));
    curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, binAbort);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(&stop));
    // Driven here rather than by curl_easy_perform, which looks at the abort
    // flag only about once a second while a server keeps it waiting.
    CURLcode rc = CURLE_FAILED_INIT;
    if (curl_multi_add_handle(m, h) == CURLM_OK) {
        int active = 1;
        while (active > 0 && !stop.load()) {
            if (curl_multi_perform(m, &active) != CURLM_OK) break;
            if (active > 0) curl_multi_poll(m, nullptr, 0, 50, nullptr);
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(m, &queued))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) rc = msg->data.result;
        if (stop.load()) rc = CURLE_ABORTED_BY_CALLBACK;
        curl_multi_remove_handle(m, h);
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    // A redirect may not leave the stand-in server either.
    char* effective = nullptr;
    const bool stayed = curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective &&
                        serviceUrlAllowed(effective);
    if (rc != CURLE_OK || status < 200 || status > 299 || !stayed) body.clear();
    return body;
}

RadarView::RadarView() = default;

RadarView::~RadarView() { stopWorker(); }

void RadarView::toggle(double lat, double lon) {
    if (open) {
        close();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        centerLat = lat;
        centerLon = lon;
        zoom = std::clamp(startZoom, maptiles::kMinZoom, maptiles::kMaxZoom);
        frames.clear();
        host.clear();
        fetched.clear();
        requested.clear();
        pastCount = 0;
        ++listGeneration;
        frameIndex = 0;
        frameIndexSet = false;
        playing = autoplay;
    }
    frameTimer = 0;
    backoffUntilMs = 0;
    open = true;
    startWorker();
}

void RadarView::close() {
    open = false;
    stopWorker();
    clearTiles();
    std::lock_guard<std::mutex> lock(dataMutex);
    frames.clear();
    fetched.clear();
    requested.clear();
    ++listGeneration;
}

void RadarView::startWorker() {
    stopWorker();
    stop = false;
    running = true;
    worker = std::thread([this] { workerLoop(); });
    for (int i = 0; i < kFetcherCount; ++i) fetchers.emplace_back([this] { fetcherLoop(); });
}

void RadarView::stopWorker() {
    stop = true;
    {
        // Taken so that no fetcher misses the wake-up between its test and its wait.
        std::lock_guard<std::mutex> lock(queueMutex);
        running = false;
    }
    queueCv.notify_all();
    if (worker.joinable()) worker.join();
    for (std::thread& t : fetchers)
        if (t.joinable()) t.join();
    fetchers.clear();
    std::lock_guard<std::mutex> lock(queueMutex);
    queue.clear();
}

void RadarView::clearTiles() {
    for (auto& [key, texture] : tiles) freeTexture(texture);
    if (!tiles.empty()) ++textureChanges;
    tiles.clear();
    std::lock_guard<std::mutex> lock(queueMutex);
    queue.clear();
}

void RadarView::setWind(bool shown, double direction, double speed, double gust, bool imperial) {
    windShown = shown;
    windDirection = direction;
    windSpeed = speed;
    windGust = gust;
    windImperial = imperial;
}

}  // namespace nbr
