// The stand-in services' fixture replies of the enrichment sources, filled in
// as the replay server would send them, and the real replies of the public
// services (tests skip when that folder is missing).
#pragma once

#include "TestEnv.h"
#include "replay/ReplayServer.h"
#include "service/WeatherService.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <utility>

namespace nbr::test {

inline std::string filledFixture(const std::string& relPath, const char* placeId = nullptr) {
    static replay::ReplayServer server;  // never started: only fills in fields
    return server.fill(replay::ReplayServer::fixture(relPath), placeId ? replay::placeById(placeId) : nullptr);
}

// A point about `km` north of (lat, lon), moved the few metres east that make
// its computed distance exactly `km`: a point due north may only come within a
// rounding step of a distance limit.
inline std::pair<double, double> pointAtKm(double lat, double lon, double km) {
    const double north = lat + (km - 1e-6) / 111.19492664455873;  // a millimetre short
    double west = lon, east = lon + 0.01;
    while (std::nextafter(west, east) != east) {
        const double mid = west + (east - west) / 2;
        (haversineKm(lat, lon, north, mid) < km ? west : east) = mid;
    }
    EXPECT_EQ(haversineKm(lat, lon, north, east), km) << "no point at exactly " << km << " km";
    return {north, east};
}

inline std::string realReplyPath(const std::string& relPath) {
    return std::string(NIMBREL_FIXTURES_REAL) + "/" + relPath;
}

}  // namespace nbr::test

// Skips the test when the real reply is not on this machine.
#define NIMBREL_REAL_REPLY(var, relPath)                                                   \
    const std::string var##Path = ::nbr::test::realReplyPath(relPath);                    \
    if (!std::filesystem::exists(var##Path)) GTEST_SKIP() << "no real reply " << relPath; \
    const std::string var = ::nbr::test::readFile(var##Path)
