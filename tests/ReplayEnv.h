// Tests that talk to the stand-in web services: a replay server on a free
// loopback port, NIMBREL_SERVICE_BASE pointed at it, a private data folder and
// the log switched on inside it.
#pragma once

#include "TestEnv.h"
#include "foundation/Logger.h"
#include "model/WeatherTypes.h"
#include "replay/ReplayServer.h"
#include "service/ServiceHosts.h"

#include <sstream>
#include <string>
#include <vector>

namespace nbr::test {

// Points NIMBREL_SERVICE_BASE at `value` (unset when empty) for a scope.
class ServiceBaseScope {
public:
    explicit ServiceBaseScope(const std::string& value) { set(value); }
    ~ServiceBaseScope() { set(""); }
    ServiceBaseScope(const ServiceBaseScope&) = delete;
    ServiceBaseScope& operator=(const ServiceBaseScope&) = delete;
    static void set(const std::string& value) {
        if (value.empty()) unsetenv("NIMBREL_SERVICE_BASE");
        else setenv("NIMBREL_SERVICE_BASE", value.c_str(), 1);
        reloadServiceBase();
    }
};

class ReplayTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        ASSERT_TRUE(server.start());
        ServiceBaseScope::set(server.base());
        Log::init(logDir());
    }
    void TearDown() override {
        server.stop();
        ServiceBaseScope::set("");
        DataDirTest::TearDown();
    }

    std::string logDir() const { return tmp_.path() + "/logs"; }
    std::string logText() const { return readFile(logDir() + "/app.log"); }
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        std::istringstream in(logText());
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }

    // A known place of the replay server as the geocoder would give it.
    static GeoLocation place(const char* id) {
        const replay::Place* p = replay::placeById(id);
        GeoLocation g;
        g.name = p->name;
        g.country = p->country;
        g.admin1 = p->admin1;
        g.latitude = p->latitude;
        g.longitude = p->longitude;
        g.timezone = p->timezone;
        return g;
    }

    replay::ReplayServer server;
};

}  // namespace nbr::test
