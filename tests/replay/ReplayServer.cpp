#include "replay/ReplayServer.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef NIMBREL_REPLAY_FIXTURES
#error "NIMBREL_REPLAY_FIXTURES must name the fixture folder"
#endif

namespace nbr::replay {

// ---- Time -----------------------------------------------------------------------

namespace {

constexpr int64_t kDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int weekday(int64_t days) { return static_cast<int>(((days % 7) + 11) % 7); }  // 0 Sunday

// Day number of the n-th (1-based) Sunday of a month, or the last when n is 0.
int64_t sundayOf(int64_t year, unsigned month, int n) {
    if (n == 0) {
        const int64_t last = daysFromCivil(year + (month == 12), month == 12 ? 1 : month + 1, 1) - 1;
        return last - weekday(last);
    }
    const int64_t first = daysFromCivil(year, month, 1);
    return first + (7 - weekday(first)) % 7 + 7 * (n - 1);
}

int64_t utcYear(int64_t secs) {
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm.tm_year + 1900;
}

std::string formatUtc(int64_t secs, const char* fmt) {
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, fmt, &tm);
    return buf;
}

int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

namespace timefmt {
std::string date(int64_t secs) { return formatUtc(secs, "%Y-%m-%d"); }
std::string minute(int64_t secs) { return formatUtc(secs, "%Y-%m-%dT%H:%M"); }
}  // namespace timefmt

int Place::utcOffsetAt(std::chrono::system_clock::time_point tp) const {
    const int64_t t = std::chrono::duration_cast<std::chrono::seconds>(tp.time_since_epoch()).count();
    const int64_t y = utcYear(t);
    int64_t start = 0, end = 0;
    if (dstRule == 1) {  // second Sunday of March 2:00 to first Sunday of November 2:00, local
        start = sundayOf(y, 3, 2) * kDay + 7200 - standardOffset;
        end = sundayOf(y, 11, 1) * kDay + 7200 - (standardOffset + 3600);
    } else if (dstRule == 2) {  // last Sunday of March to last Sunday of October, 1:00 UTC
        start = sundayOf(y, 3, 0) * kDay + 3600;
        end = sundayOf(y, 10, 0) * kDay + 3600;
    } else {
        return standardOffset;
    }
    return t >= start && t < end ? standardOffset + 3600 : standardOffset;
}

std::string Place::zoneAbbreviationAt(std::chrono::system_clock::time_point t) const {
    return utcOffsetAt(t) == standardOffset ? standardAbbrev : dstAbbrev;
}

const std::vector<Place>& places() {
    // id, name, country, region, latitude, longitude, zone, standard offset,
    // daylight-saving rule, abbreviations
    static const std::vector<Place> list = {
        {"boston", "Boston", "US", "Massachusetts", 42.3584, -71.0598, "America/New_York", -18000, 1, "EST", "EDT"},
        {"oslo", "Oslo", "NO", "Oslo", 59.9127, 10.7461, "Europe/Oslo", 3600, 2, "CET", "CEST"},
        {"halifax", "Halifax", "CA", "Nova Scotia", 44.6488, -63.5752, "America/Halifax", -14400, 1, "AST", "ADT"},
    };
    return list;
}

const Place* placeById(std::string_view id) {
    for (const Place& p : places())
        if (p.id == id) return &p;
    return nullptr;
}

const Place* placeAt(double latitude, double longitude) {
    constexpr double kTolerance = 1.2;
    for (const Place& p : places())
        if (std::fabs(latitude - p.latitude) <= kTolerance && std::fabs(longitude - p.longitude) <= kTolerance)
            return &p;
    return nullptr;
}

namespace {

// The numbers of a comma-separated list such as "42.36,-71.06"; empty when any
// item is not a number.
std::vector<double> numberList(std::string_view text) {
    std::vector<double> out;
    const std::string s(text);
    const char* p = s.c_str();
    while (*p) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p || !std::isfinite(v)) return {};
        out.push_back(v);
        p = end;
        if (*p == ',') ++p;
        else if (*p) return {};
    }
    return out;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

const Place* placeOfRequest(std::string_view path, const std::multimap<std::string, std::string>& params) {
    std::map<std::string, std::string> named;
    for (const auto& [k, v] : params) named.emplace(lower(k), v);
    const auto pair = [&](const char* latKey, const char* lonKey) -> const Place* {
        auto la = named.find(latKey), lo = named.find(lonKey);
        if (la == named.end() || lo == named.end()) return nullptr;
        const std::vector<double> a = numberList(la->second), b = numberList(lo->second);
        return a.size() == 1 && b.size() == 1 ? placeAt(a[0], b[0]) : nullptr;
    };
    for (const auto& [latKey, lonKey] : {std::pair{"latitude", "longitude"}, {"lat", "lon"}, {"lat", "lng"}, {"lat", "long"}})
        if (const Place* p = pair(latKey, lonKey)) return p;
    // "point=lat,lon" and similar pairs in one value.
    for (const auto& [k, v] : named) {
        const std::vector<double> n = numberList(v);
        if (n.size() == 2 && (k == "point" || k == "coords" || k == "latlon"))
            if (const Place* p = placeAt(n[0], n[1])) return p;
        if (n.size() == 4 && (k == "bbox" || k == "boundingbox")) {  // either axis order
            if (const Place* p = placeAt((n[0] + n[2]) / 2, (n[1] + n[3]) / 2)) return p;
            if (const Place* p = placeAt((n[1] + n[3]) / 2, (n[0] + n[2]) / 2)) return p;
        }
    }
    // A path segment "lat,lon", as in "/points/42.3584,-71.0598".
    for (size_t pos = 0; pos < path.size();) {
        size_t next = path.find('/', pos);
        if (next == std::string_view::npos) next = path.size();
        const std::vector<double> n = numberList(path.substr(pos, next - pos));
        if (n.size() == 2)
            if (const Place* p = placeAt(n[0], n[1])) return p;
        pos = next + 1;
    }
    return nullptr;
}

// Whether `path` matches `pattern` whole, where '*' stands for any run of
// characters.
bool globMatch(std::string_view pattern, std::string_view path) {
    if (pattern.empty()) return path.empty();
    if (pattern[0] == '*') {
        for (size_t i = 0; i <= path.size(); ++i)
            if (globMatch(pattern.substr(1), path.substr(i))) return true;
        return false;
    }
    return !path.empty() && pattern[0] == path[0] && globMatch(pattern.substr(1), path.substr(1));
}

// ---- Requests and replies ---------------------------------------------------------

std::string Request::param(const std::string& key) const {
    auto it = params.find(key);
    return it == params.end() ? std::string() : it->second;
}

std::string Request::header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

Reply Reply::json(std::string body) {
    Reply r;
    r.body = std::move(body);
    return r;
}

Reply Reply::text(std::string body, std::string contentType) {
    Reply r;
    r.body = std::move(body);
    r.contentType = std::move(contentType);
    return r;
}

Reply Reply::withStatus(int status, std::string body) {
    Reply r;
    r.status = status;
    r.body = std::move(body);
    r.contentType = "text/plain";
    return r;
}

Reply Reply::redirect(const std::string& location, int status) {
    Reply r;
    r.status = status;
    r.headers.emplace_back("Location", location);
    r.contentType = "text/plain";
    return r;
}

Reply Reply::html() {
    return text("<!DOCTYPE html>\n<html><head><title>Sign in to continue</title></head>\n"
                "<body><h1>Network login</h1><p>Please sign in to use this network.</p></body></html>\n",
                "text/html; charset=utf-8");
}

Reply Reply::notFound() { return withStatus(404, "{\"error\":true,\"reason\":\"Not Found\"}"); }

Reply Reply::pass() {
    Reply r;
    r.status = 0;
    return r;
}

Reply& Reply::gzipped() {
    gzip = true;
    return *this;
}

Reply& Reply::delayed(int ms) {
    delayMs = ms;
    return *this;
}

Reply& Reply::cutShort() {
    cut = true;
    return *this;
}

namespace {

std::string gzipBytes(const std::string& in) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out;
    out.resize(deflateBound(&zs, static_cast<uLong>(in.size())));
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::vector<std::pair<std::string, RouteSetup>>& registry() {
    static std::vector<std::pair<std::string, RouteSetup>> r;
    return r;
}

}  // namespace

bool registerRoutes(const char* name, RouteSetup setup) {
    registry().emplace_back(name, setup);
    return true;
}

// ---- Server -------------------------------------------------------------------------

struct ReplayServer::Impl {
    struct Route {
        std::string service;
        std::string pattern;
        Handler handler;
    };

    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;  // guards everything below
    std::vector<Route> routes;
    std::map<std::pair<std::string, std::string>, Reply> fixed;
    std::vector<Request> log;
    int delayMs = 0, jitterMs = 0, failStatus = 0;
    unsigned jitterState = 12345;

    Request makeRequest(const httplib::Request& req) {
        Request r;
        const std::string& p = req.path;
        const size_t slash = p.find('/', 1);
        r.service = p.size() > 1 ? p.substr(1, slash == std::string::npos ? std::string::npos : slash - 1) : "";
        r.path = slash == std::string::npos ? std::string() : p.substr(slash);
        r.target = req.target;
        const size_t q = req.target.find('?');
        if (q != std::string::npos) r.query = req.target.substr(q + 1);
        for (const auto& [k, v] : req.params) r.params.emplace(k, v);
        for (const auto& [k, v] : req.headers) {
            std::string lower = k;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            r.headers[lower] = v;
        }
        r.place = placeOfRequest(r.path, r.params);
        return r;
    }
};

ReplayServer::ReplayServer() : impl_(std::make_unique<Impl>()) {
    // Utility routes for testing the HTTP client itself.
    route("test", "/status/*", [](ReplayServer&, const Request& r) {
        return Reply::withStatus(std::stoi(r.path.substr(8)), "{\"error\":true,\"reason\":\"as asked\"}");
    });
    route("test", "/redirect/*", [](ReplayServer& s, const Request& r) {
        const int left = std::stoi(r.path.substr(10));
        if (left <= 0) return Reply::text("redirected");
        return Reply::redirect(s.url("test", "/redirect/" + std::to_string(left - 1)), left % 2 ? 302 : 301);
    });
    route("test", "/redirect-to", [](ReplayServer&, const Request& r) { return Reply::redirect(r.param("url")); });
    route("test", "/gzip", [](ReplayServer&, const Request&) {
        return Reply::text(std::string(4000, 'z') + " compressed", "application/octet-stream").gzipped();
    });
    route("test", "/delay/*", [](ReplayServer&, const Request& r) {
        return Reply::text("late").delayed(std::stoi(r.path.substr(7)));
    });
    route("test", "/html", [](ReplayServer&, const Request&) { return Reply::html(); });
    route("test", "/echo", [](ReplayServer&, const Request& r) { return Reply::text("ok " + r.query); });
    route("test", "/empty", [](ReplayServer&, const Request&) { return Reply::text(""); });
    route("test", "/bytes/*", [](ReplayServer&, const Request& r) {
        // A little over the client's 32 MiB limit is all a test needs.
        constexpr unsigned long long kMaxBytes = 64ull << 20;
        const unsigned long long n = std::strtoull(r.path.c_str() + 7, nullptr, 10);
        if (n > kMaxBytes) return Reply::withStatus(400, "at most 64 MiB");
        return Reply::text(std::string(n, 'x'), "application/octet-stream");
    });
    for (const auto& [name, setup] : registry()) setup(*this);

    impl_->server.set_keep_alive_max_count(1);
    // Enough workers that every source of one refresh (two, in the
    // concurrency tests) can be answered at once, however slowly.
    impl_->server.new_task_queue = [] { return new httplib::ThreadPool(48); };
    impl_->server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        Request r = impl_->makeRequest(req);
        Reply reply;
        bool handled = false;
        {
            std::lock_guard<std::mutex> lock(impl_->mutex);
            impl_->log.push_back(r);
            auto f = impl_->fixed.find({r.service, r.path});
            if (f != impl_->fixed.end()) {
                reply = f->second;
                handled = true;
            }
        }
        if (!handled) {
            std::vector<Handler> candidates;
            {
                std::lock_guard<std::mutex> lock(impl_->mutex);
                for (auto it = impl_->routes.rbegin(); it != impl_->routes.rend(); ++it)
                    if (it->service == r.service && globMatch(it->pattern, r.path))
                        candidates.push_back(it->handler);
            }
            for (const Handler& h : candidates) {
                reply = h(*this, r);
                if (reply.status != 0) {
                    handled = true;
                    break;
                }
            }
        }
        if (!handled) reply = Reply::notFound();
        {
            std::lock_guard<std::mutex> lock(impl_->mutex);
            if (impl_->failStatus) reply = Reply::withStatus(impl_->failStatus);
            int extra = 0;
            if (impl_->jitterMs > 0) {
                impl_->jitterState = impl_->jitterState * 1103515245u + 12345u;
                extra = static_cast<int>((impl_->jitterState >> 8) % static_cast<unsigned>(impl_->jitterMs + 1));
            }
            reply.delayMs += impl_->delayMs + extra;
        }

        for (int waited = 0; waited < reply.delayMs && !stopping(); waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        res.status = reply.status;
        for (const auto& [k, v] : reply.headers) res.set_header(k, v);
        if (reply.cut) {
            const size_t half = reply.body.size() / 2;
            res.set_content_provider(reply.body.size(), reply.contentType,
                                     [body = reply.body, half](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset >= half) return false;  // drops the connection
                                         sink.write(body.data() + offset, half - offset);
                                         return true;
                                     });
        } else if (reply.gzip) {
            res.set_header("Content-Encoding", "gzip");
            res.set_content(gzipBytes(reply.body), reply.contentType);
        } else {
            res.set_content(reply.body, reply.contentType);
        }
    });
}

ReplayServer::~ReplayServer() { stop(); }

bool ReplayServer::start(int port) {
    stopping_ = false;
    port_ = port == 0 ? impl_->server.bind_to_any_port("127.0.0.1")
                      : (impl_->server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (port_ <= 0) return false;
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    // The listening thread normally runs within milliseconds; one that never
    // does (it failed to listen) must not hang the test that started it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!impl_->server.is_running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "replay server: not listening on 127.0.0.1:%d after 5 s\n", port_);
            impl_->server.stop();
            impl_->thread.join();
            port_ = 0;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void ReplayServer::stop() {
    stopping_ = true;
    if (impl_->thread.joinable()) {
        impl_->server.stop();
        impl_->thread.join();
    }
}

std::string ReplayServer::base() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string ReplayServer::url(std::string_view service, std::string_view pathAndQuery) const {
    return base() + "/" + std::string(service) + std::string(pathAndQuery);
}

void ReplayServer::route(const std::string& service, const std::string& pathPattern, Handler handler) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->routes.push_back({service, pathPattern, std::move(handler)});
}

void ReplayServer::setReply(const std::string& service, const std::string& path, Reply reply) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->fixed[{service, path}] = std::move(reply);
}

void ReplayServer::delayEverything(int ms, int jitterMs) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->delayMs = ms;
    impl_->jitterMs = jitterMs;
}

void ReplayServer::failEverything(int status) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->failStatus = status;
}

void ReplayServer::clearReplies() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->fixed.clear();
}

std::vector<Request> ReplayServer::requests() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->log;
}

size_t ReplayServer::count(std::string_view service, std::string_view path) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return static_cast<size_t>(std::count_if(impl_->log.begin(), impl_->log.end(), [&](const Request& r) {
        return r.service == service && (path.empty() || r.path == path);
    }));
}

void ReplayServer::clearRequests() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->log.clear();
}

// ---- Fixtures -------------------------------------------------------------------------

std::string ReplayServer::fixture(const std::string& relPath) {
    std::ifstream in(std::string(NIMBREL_REPLAY_FIXTURES) + "/" + relPath, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string ReplayServer::fill(const std::string& text, const Place* place) const {
    const int64_t now = nowSeconds();
    const auto tp = std::chrono::system_clock::now();
    const int offset = place ? place->utcOffsetAt(tp) : 0;
    const int64_t local = now + offset;

    std::string out;
    size_t pos = 0;
    for (;;) {
        const size_t open = text.find("{{", pos);
        const size_t close = open == std::string::npos ? open : text.find("}}", open + 2);
        if (close == std::string::npos) break;
        out.append(text, pos, open - pos);
        pos = close + 2;
        const std::string field = text.substr(open + 2, close - open - 2);
        const size_t colon = field.find(':');
        const std::string name = field.substr(0, colon);
        int64_t n = 0;
        if (colon != std::string::npos) n = std::strtoll(field.c_str() + colon + 1, nullptr, 10);
        if (name == "base") out += base();
        else if (name == "date") out += timefmt::date(local + n * kDay);
        else if (name == "now") out += timefmt::minute(local - local % 900);
        else if (name == "hour") out += timefmt::minute(local - local % 3600 + n * 3600);
        else if (name == "utc") out += formatUtc(now + n * 3600, "%Y-%m-%dT%H:%M:%SZ");
        else if (name == "offset") out += std::to_string(offset);
        else if (name == "tz") out += place ? place->timezone : "GMT";
        else if (name == "tzabbr") out += place ? place->zoneAbbreviationAt(tp) : "GMT";
        else out += "{{" + field + "}}";
    }
    out.append(text, pos, std::string::npos);
    return out;
}

Reply ReplayServer::fixtureReply(const std::string& relPath, const Place* place) const {
    const std::string text = fixture(relPath);
    if (text.empty()) return Reply::notFound();
    return Reply::json(fill(text, place));
}

}  // namespace nbr::replay

#if defined(__SANITIZE_THREAD__)
// The HTTP server library comes prebuilt without ThreadSanitizer, which then
// cannot see how the library hands work between its own threads. Reports
// from inside it say nothing about this program. The C library's time-zone
// state is guarded by a lock of its own that ThreadSanitizer cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\n"
           "race:tzset_internal\n";
}
#endif
