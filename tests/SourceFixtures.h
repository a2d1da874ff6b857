// The stand-in services' fixture replies of the enrichment sources, filled in
// as the replay server would send them, and the real replies of the public
// services (tests skip when that folder is missing).
#pragma once

#include "TestEnv.h"
#include "replay/ReplayServer.h"

#include <filesystem>
#include <string>

namespace nbr::test {

inline std::string filledFixture(const std::string& relPath, const char* placeId = nullptr) {
    static replay::ReplayServer server;  // never started: only fills in fields
    return server.fill(replay::ReplayServer::fixture(relPath), placeId ? replay::placeById(placeId) : nullptr);
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
