// The computer's position from a stand-in of the desktop's location service
// on a private bus: each way the request can fail, a position that comes
// late (after another connection's false announcement), and one that never
// comes.
#include "FakeGeoClue.h"
#include "TestEnv.h"
#include "service/GeoLocator.h"

#include <gtest/gtest.h>

namespace nbr::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The client's Stop arrives without an answer, so it is waited for.
bool stoppedSoon(FakeGeoClue& service) {
    for (int i = 0; i < 100 && !service.seen().stopped; ++i) std::this_thread::sleep_for(10ms);
    return service.seen().stopped;
}

TEST(SystemLocationTest, EachFailingStepGivesItsOwnText) {
    TestSystemBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    FakeGeoClue::Setup refused, emptyLocation, noCoordinates, offTheGlobe;
    refused.refuseStart = true;
    emptyLocation.location = "/";
    noCoordinates.coordinates = false;
    offTheGlobe.latitude = 95;
    struct Case {
        const char* what;
        std::optional<FakeGeoClue::Setup> service;
        const char* error;
    } cases[] = {
        {"no service", std::nullopt, "OS location unavailable"},
        {"start refused", refused, "Location permission denied or unavailable"},
        {"empty location", emptyLocation, "Couldn't read location"},
        {"no coordinates", noCoordinates, "Couldn't read coordinates"},
        {"latitude off the globe", offTheGlobe, "Couldn't read coordinates"},
    };
    for (const Case& c : cases) {
        if (c.service) {
            ASSERT_TRUE(bus.serve(*c.service).ready()) << c.what;
        }
        const OSLocationResult r = detectOSLocation();
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.latitude, 0.0) << c.what;
        EXPECT_EQ(r.longitude, 0.0) << c.what;
        EXPECT_EQ(r.error, c.error) << c.what;
    }
    ScopedEnv noBus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + privateHome() + "/no-bus");
    EXPECT_EQ(detectOSLocation().error, "OS location unavailable");
}

TEST(SystemLocationTest, APositionAfterThreeSecondsIsTakenAtTheFirstLookThatSeesIt) {
    TestSystemBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    FakeGeoClue::Setup late;
    late.delay = 3s;
    late.latitude = -33.8688;
    late.longitude = 151.2093;
    late.impostor = true;  // its earlier announcement is not the service's
    FakeGeoClue& service = bus.serve(late);
    ASSERT_TRUE(service.ready());
    const Clock::time_point begun = Clock::now();
    const OSLocationResult r = detectOSLocation();
    const Clock::duration took = Clock::now() - begun;
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.latitude, -33.8688);
    EXPECT_EQ(r.longitude, 151.2093);
    EXPECT_TRUE(r.error.empty());
    EXPECT_GE(took, 3s);
    EXPECT_LT(took, 4s);  // not the whole ten seconds
    EXPECT_EQ(service.seen().desktopId, "nimbrel");
    EXPECT_EQ(service.seen().accuracy, 4u);  // city
    EXPECT_TRUE(stoppedSoon(service));
}

TEST(SystemLocationTest, NoPositionWithinTenSecondsTimesOutAtTheBound) {
    TestSystemBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    FakeGeoClue& service = bus.serve(FakeGeoClue::silent());
    ASSERT_TRUE(service.ready());
    const Clock::time_point begun = Clock::now();
    const OSLocationResult r = detectOSLocation();
    const Clock::duration took = Clock::now() - begun;
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.latitude, 0.0);
    EXPECT_EQ(r.error, "Location request timed out or was denied");
    EXPECT_GE(took, 10s);
    EXPECT_LT(took, 11s);
    EXPECT_TRUE(stoppedSoon(service));
}

}  // namespace
}  // namespace nbr::test
