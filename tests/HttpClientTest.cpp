#include "ReplayEnv.h"
#include "service/WeatherService.h"

#include <filesystem>
#include <thread>

namespace nbr {
namespace {

using test::ReplayTest;
using test::ServiceBaseScope;
using replay::Reply;

class HttpClientTest : public ReplayTest {
protected:
    WeatherService svc;
};

TEST_F(HttpClientTest, ReturnsTheBodyAndIdentifiesItself) {
    EXPECT_EQ(svc.httpGet(server.url("test", "/echo?a=1")), "ok a=1");
    const auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].header("user-agent"), "Nimbrel/1.0 (open-source desktop weather app)");
    EXPECT_NE(reqs[0].header("accept-encoding").find("gzip"), std::string::npos);
    EXPECT_TRUE(logText().empty());
}

TEST_F(HttpClientTest, DecodesCompressedBodies) {
    EXPECT_EQ(svc.httpGet(server.url("test", "/gzip")), std::string(4000, 'z') + " compressed");
    // JSON replies arrive compressed whenever the client offers it.
    const std::string body = svc.httpGet(server.url("geocoding", "/v1/search?name=boston&count=1"));
    EXPECT_EQ(body.substr(0, 12), "{\"generation");
}

TEST_F(HttpClientTest, ErrorStatusGivesEmptyBodyAndOneLineWithHostOnly) {
    for (int status : {404, 500, 503, 302, 199}) {
        SCOPED_TRACE(status);
        server.setReply("test", "/fail", Reply::withStatus(status, "{\"error\":true}"));
        EXPECT_EQ(svc.httpGet(server.url("test", "/fail?latitude=42.3584&longitude=-71.0598")), "");
    }
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].find("[warn] http: status 404 (" + server.base() + ")"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("http: status 500 (" + server.base() + ")"), std::string::npos);
    for (const std::string& l : lines) {
        EXPECT_EQ(l.find("/fail"), std::string::npos) << l;
        EXPECT_EQ(l.find("42.3"), std::string::npos) << l;
    }
}

TEST_F(HttpClientTest, EmptySuccessIsEmptyWithoutALogLine) {
    EXPECT_EQ(svc.httpGet(server.url("test", "/empty")), "");
    EXPECT_TRUE(logText().empty());
}

TEST_F(HttpClientTest, TransportFailureLogsTheLibraryMessageAndHost) {
    replay::ReplayServer closed;
    ASSERT_TRUE(closed.start());
    const std::string base = closed.base();
    closed.stop();  // nothing listens there any more
    ServiceBaseScope scope(base);
    EXPECT_EQ(svc.httpGet(base + "/forecast/v1/forecast?latitude=1"), "");
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("http: Couldn't connect to server (" + base + ")"), std::string::npos) << lines[0];
}

TEST_F(HttpClientTest, FollowsAtMostTenRedirects) {
    EXPECT_EQ(svc.httpGet(server.url("test", "/redirect/3")), "redirected");
    EXPECT_EQ(server.count("test"), 4u);
    EXPECT_EQ(svc.httpGet(server.url("test", "/redirect/10")), "redirected");
    EXPECT_TRUE(logText().empty());
    EXPECT_EQ(svc.httpGet(server.url("test", "/redirect/11")), "");
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("redirect"), std::string::npos) << lines[0];
}

TEST_F(HttpClientTest, RefusesEverythingOutsideTheServiceBase) {
    // Another port on the same machine, and a redirect that leaves the server.
    EXPECT_EQ(svc.httpGet("http://127.0.0.1:1/forecast/v1/forecast"), "");
    EXPECT_EQ(svc.httpGet(server.base() + "0/test/echo"), "");
    const std::string away = "http://localhost:" + std::to_string(server.port()) + "/test/echo";
    EXPECT_EQ(svc.httpGet(server.url("test", "/redirect-to?url=" + away)), "");
    // Refused before connecting, not merely unreachable.
    EXPECT_EQ(svc.httpGet(server.url("test", "/redirect-to?url=http://127.0.0.2:1/")), "");
    EXPECT_EQ(server.count("test", "/echo"), 0u);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    for (const std::string& l : lines) EXPECT_NE(l.find("URL outside the service base"), std::string::npos) << l;
}

TEST_F(HttpClientTest, SpeaksOnlyHttpsWithoutTheOverride) {
    ServiceBaseScope::set("");
    EXPECT_EQ(svc.httpGet(server.url("test", "/echo")), "");
    EXPECT_EQ(server.count("test"), 0u);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("http: Unsupported protocol (" + server.base() + ")"), std::string::npos) << lines[0];
}

TEST_F(HttpClientTest, BodiesAbove32MiBFail) {
    constexpr size_t kLimit = size_t{32} << 20;
    EXPECT_EQ(svc.httpGet(server.url("test", "/bytes/" + std::to_string(kLimit))).size(), kLimit);
    const WeatherService::HttpReply over = svc.httpFetch(server.url("test", "/bytes/" + std::to_string(kLimit + 1)));
    EXPECT_TRUE(over.unreadable && over.status == 0 && over.body.empty());
    EXPECT_EQ(logLines().size(), 1u);
}

TEST_F(HttpClientTest, SetAbortFlagEndsRequestsSilently) {
    svc.abortFlag = true;
    EXPECT_EQ(svc.httpGet(server.url("test", "/echo")), "");
    EXPECT_EQ(server.count("test"), 0u);
    EXPECT_TRUE(logText().empty());
}

TEST_F(HttpClientTest, LogLabelNeverCarriesPathOrQuery) {
    // No '/' after the host: the query must still stay out of the log.
    server.setReply("test", "", Reply::withStatus(404));
    EXPECT_EQ(svc.httpGet(server.base() + "/test?latitude=42.3584"), "");
    EXPECT_EQ(svc.httpGet(server.base() + "?latitude=42.3584"), "");
    const std::string log = logText();
    EXPECT_EQ(log.find("42.3584"), std::string::npos) << log;
    EXPECT_EQ(log.find("/test"), std::string::npos) << log;
}

TEST(CaBundleTest, OnlyAReadableBundleIsTaken) {
    // The bundle is process-wide and never cleared: compare with what was there.
    const std::string before = WeatherService::caBundlePath();
    const char* envBefore = std::getenv("SSL_CERT_FILE");
    const std::string envText = envBefore ? envBefore : "";
    WeatherService::setCaBundlePath("/nonexistent/cacert.pem");
    EXPECT_EQ(WeatherService::caBundlePath(), before);
    const char* envAfter = std::getenv("SSL_CERT_FILE");
    EXPECT_EQ(envAfter != nullptr, envBefore != nullptr);
    if (envAfter) {
        EXPECT_EQ(std::string(envAfter), envText);
    }

    const std::string system = "/etc/ssl/certs/ca-certificates.crt";
    if (!std::filesystem::exists(system)) GTEST_SKIP() << "no system bundle";
    WeatherService::setCaBundlePath(system);
    EXPECT_EQ(WeatherService::caBundlePath(), system);
    ASSERT_NE(std::getenv("SSL_CERT_FILE"), nullptr);
    EXPECT_EQ(std::string(std::getenv("SSL_CERT_FILE")), system);
    WeatherService::setCaBundlePath("/nonexistent/other.pem");  // keeps the bundle it has
    EXPECT_EQ(WeatherService::caBundlePath(), system);
}

TEST(ServiceHostsTest, EveryServiceHasAnHttpsHostUntilOverridden) {
    test::ServiceBaseScope none("");
    const char* ids[] = {"forecast", "geocoding", "airquality", "marine", "flood", "ensemble",
                         "previousruns", "seasonal", "archive", "metno", "nws", "eccc",
                         "awc", "coops", "ndbc", "usgswater", "usgsquake", "emsc",
                         "swpc", "gfz", "celestrak", "wikipedia", "rainviewer"};
    for (const char* id : ids) {
        const std::string b = serviceBase(id);
        EXPECT_EQ(b.rfind("https://", 0), 0u) << id;
        EXPECT_NE(b.back(), '/') << id;
    }
    EXPECT_EQ(serviceBase("update"), "");
    EXPECT_EQ(serviceBase("nosuch"), "");
    EXPECT_TRUE(serviceUrlAllowed("https://api.open-meteo.com/v1/forecast"));

    test::ServiceBaseScope over("http://127.0.0.1:4000//");
    EXPECT_EQ(serviceBase("forecast"), "http://127.0.0.1:4000/forecast");
    EXPECT_EQ(serviceBase("update"), "http://127.0.0.1:4000/update");
    EXPECT_TRUE(serviceUrlAllowed("http://127.0.0.1:4000/nws/points/1,2"));
    EXPECT_TRUE(serviceUrlAllowed("http://127.0.0.1:4000"));
    EXPECT_FALSE(serviceUrlAllowed("http://127.0.0.1:40001/nws"));
    EXPECT_FALSE(serviceUrlAllowed("https://api.weather.gov/points/1,2"));
}

// ---- Threads --------------------------------------------------------------------

class HttpConcurrency : public ReplayTest {};

TEST_F(HttpConcurrency, AbortEndsATransferInProgress) {
    WeatherService svc;
    std::string body = "unset";
    std::thread t([&] { body = svc.httpGet(server.url("test", "/delay/60000")); });
    while (server.count("test", "/delay/60000") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto abortedAt = std::chrono::steady_clock::now();
    svc.abortFlag = true;
    t.join();
    // The transfer ends at its next progress tick: within a second.
    EXPECT_LT(std::chrono::steady_clock::now() - abortedAt, std::chrono::seconds(1));
    EXPECT_EQ(body, "");
    EXPECT_TRUE(logText().empty());  // neither a time-out nor any other failure was logged
}

TEST_F(HttpConcurrency, ParallelRequestsKeepTheirOwnBodies) {
    WeatherService svc;
    constexpr int kThreads = 8;
    std::vector<std::string> bodies(kThreads * 4);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int k = 0; k < 4; ++k)
                bodies[i * 4 + k] = svc.httpGet(server.url("test", "/echo?n=" + std::to_string(i * 4 + k)));
        });
    }
    for (auto& t : threads) t.join();
    for (int n = 0; n < kThreads * 4; ++n) EXPECT_EQ(bodies[n], "ok n=" + std::to_string(n));
}

}  // namespace
}  // namespace nbr
