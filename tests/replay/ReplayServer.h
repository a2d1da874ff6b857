// A stand-in for every public web service the program talks to, for tests
// and for running the program by hand (NIMBREL_SERVICE_BASE pointed at it).
// It listens on 127.0.0.1 only.
//
// Requests are routed by service id (the first path segment, as in
// src/service/ServiceHosts.h) and the rest of the path. A place's replies are
// picked by the request's own coordinates (see placeOfRequest; Boston, Oslo and
// Halifax are known; requests for other places get 404). Fixture files live
// under tests/fixtures/<service-id>/; "{{...}}" fields in them are filled in
// at request time (see fill()), so replies always look current.
//
// Sources add their routes in a file of their own with
//   NIMBREL_REPLAY_ROUTES(name) { server.route("service", "/path/*", handler); }
// which registers them with every server built afterwards.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nbr::replay {

// A place the server knows replies for.
struct Place {
    std::string id;  // "boston": fixture files are named after it
    std::string name;
    std::string country;  // two-letter code, as the geocoder gives it
    std::string admin1;
    double latitude = 0;
    double longitude = 0;
    std::string timezone;
    // Offset from UTC in seconds at the given time (daylight saving applied).
    int utcOffsetAt(std::chrono::system_clock::time_point t) const;
    std::string zoneAbbreviationAt(std::chrono::system_clock::time_point t) const;

    int standardOffset = 0;
    int dstRule = 0;  // 0 none, 1 North America, 2 Europe
    std::string standardAbbrev;
    std::string dstAbbrev;
};

const std::vector<Place>& places();
const Place* placeById(std::string_view id);
// The known place within 1.2 degrees of latitude and longitude; null when none.
const Place* placeAt(double latitude, double longitude);
// The known place a request asks about, from its own coordinates read as one
// pair: latitude/longitude (or lat/lon, lat/lng, lat/long) parameters, a
// "lat,lon" value of `point`, the centre of a `bbox`/`bBox` (either axis
// order), or a "lat,lon" path segment as in "/points/42.36,-71.06". Other
// numbers in the path or query never pick a place.
const Place* placeOfRequest(std::string_view path, const std::multimap<std::string, std::string>& params);

// A request as a handler sees it and as it is recorded.
struct Request {
    std::string service;  // first path segment
    std::string path;     // the rest of the path, from its '/'
    std::string target;   // path and query exactly as sent (still escaped)
    std::string query;    // the raw query, without '?'
    std::multimap<std::string, std::string> params;  // decoded query
    std::map<std::string, std::string> headers;      // lower-case names
    const Place* place = nullptr;                    // found by coordinates

    std::string param(const std::string& key) const;
    std::string header(const std::string& lowerName) const;
};

struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
    bool gzip = false;  // send the body gzip-encoded
    int delayMs = 0;    // wait before answering
    bool cut = false;   // announce the whole body's length, send half and close

    static Reply json(std::string body);
    static Reply text(std::string body, std::string contentType = "text/plain");
    static Reply withStatus(int status, std::string body = "");
    static Reply redirect(const std::string& location, int status = 302);
    // A web page with status 200, as a captive portal or a proxy might send.
    static Reply html();
    static Reply notFound();
    // Not handled here: the next matching route is tried.
    static Reply pass();
    Reply& gzipped();
    Reply& delayed(int ms);
    Reply& cutShort();
};

class ReplayServer;
using Handler = std::function<Reply(ReplayServer&, const Request&)>;

class ReplayServer {
public:
    ReplayServer();
    ~ReplayServer();
    ReplayServer(const ReplayServer&) = delete;
    ReplayServer& operator=(const ReplayServer&) = delete;

    // Listens on 127.0.0.1:port (0: a free port) on a thread of its own.
    bool start(int port = 0);
    void stop();
    int port() const { return port_; }
    // "http://127.0.0.1:<port>": the value for NIMBREL_SERVICE_BASE.
    std::string base() const;
    std::string url(std::string_view service, std::string_view pathAndQuery) const;

    // Answers GETs on `service` whose path matches `pathPattern` whole ('*'
    // stands for any run of characters). Later registrations are tried first;
    // a handler that returns Reply::pass() hands the request on.
    void route(const std::string& service, const std::string& pathPattern, Handler handler);
    // Answers this exact service path with `reply` (whatever the query) until
    // clearReplies(); takes precedence over routes.
    void setReply(const std::string& service, const std::string& path, Reply reply);
    void clearReplies();

    // Every reply (routes and fixed replies alike) waits `ms` plus a random
    // part of up to `jitterMs` before it is sent; 0, 0 switches that off.
    void delayEverything(int ms, int jitterMs = 0);
    // Every request is answered with `status` (0 switches that off).
    void failEverything(int status);

    std::vector<Request> requests() const;
    // Requests to `service`, and to `path` when given.
    size_t count(std::string_view service, std::string_view path = {}) const;
    void clearRequests();

    // Text of tests/fixtures/<relPath>; empty when missing.
    static std::string fixture(const std::string& relPath);
    // Fills in the fields of a fixture text for `place` (may be null) now:
    //   {{base}}            this server's base URL
    //   {{date}} {{date:N}} the place's local date, moved by N days
    //   {{now}}             the place's local time, on the quarter hour
    //   {{hour:N}}          the place's local time on the hour, moved by N hours
    //   {{utc:N}}           UTC time moved by N hours, "YYYY-MM-DDTHH:MM:SSZ"
    //   {{offset}}          the place's UTC offset in seconds
    //   {{tz}} {{tzabbr}}   the place's time zone name and abbreviation
    std::string fill(const std::string& text, const Place* place) const;
    // Fixture file filled in, as a JSON reply; 404 when the file is missing.
    Reply fixtureReply(const std::string& relPath, const Place* place) const;

    // Whether stop() was called: long handlers end early.
    bool stopping() const { return stopping_.load(); }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};

    friend struct Impl;
};

// Self-registration of a source's routes (see the top of this file).
using RouteSetup = void (*)(ReplayServer&);
bool registerRoutes(const char* name, RouteSetup setup);

#define NIMBREL_REPLAY_ROUTES(name)                                                      \
    static void nimbrelReplayRoutes_##name(::nbr::replay::ReplayServer& server);        \
    [[maybe_unused]] static const bool nimbrelReplayRegistered_##name =                  \
        ::nbr::replay::registerRoutes(#name, &nimbrelReplayRoutes_##name);               \
    static void nimbrelReplayRoutes_##name(::nbr::replay::ReplayServer& server)

// Local time helpers shared by the generated replies.
namespace timefmt {
// "YYYY-MM-DD" of the UTC calendar day of `secs`.
std::string date(int64_t secs);
// "YYYY-MM-DDTHH:MM" of `secs` read as UTC.
std::string minute(int64_t secs);
}  // namespace timefmt

}  // namespace nbr::replay
