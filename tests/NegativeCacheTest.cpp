// The negative cache's flags file: what loads, what is written, and that the
// file is replaced whole.
#include "TestEnv.h"
#include "service/WeatherService.h"

#include <filesystem>

namespace nbr {
namespace {

using test::readFile;
using test::writeFile;

class NegativeCacheTest : public ::testing::Test {
protected:
    void SetUp() override { svc.negPath = path; }
    test::TempDir dir;
    const std::string path = dir.path() + "/enrich_flags.json";
    WeatherService svc;
};

TEST_F(NegativeCacheTest, OnlyNewBitsRewriteTheCompactSortedFile) {
    EXPECT_FALSE(svc.negHas("B@1.0000,2.0000", WeatherService::kNegMarine));
    EXPECT_FALSE(std::filesystem::exists(path));  // asking writes nothing
    svc.negSet("B@1.0000,2.0000", WeatherService::kNegMarine);
    svc.negSet("B@1.0000,2.0000", WeatherService::kNegTideStation);
    svc.negSet("A@0.0000,0.0000", WeatherService::kNegBuoy);
    EXPECT_EQ(readFile(path), "{\"A@0.0000,0.0000\":32,\"B@1.0000,2.0000\":5}");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    writeFile(path, "sentinel");
    svc.negSet("B@1.0000,2.0000", WeatherService::kNegTideStation);  // already set: no write
    EXPECT_EQ(readFile(path), "sentinel");
}

TEST_F(NegativeCacheTest, LoadKeepsIntegerMembersOnlyAndTheNextWriteDropsTheRest) {
    writeFile(path, "{\"F@1.0000,1.0000\":2.5,\"I@1.0000,1.0000\":8,\"S@1.0000,1.0000\":\"4\"} not read");
    EXPECT_TRUE(svc.negHas("I@1.0000,1.0000", WeatherService::kNegGauge));
    EXPECT_FALSE(svc.negHas("F@1.0000,1.0000", WeatherService::kNegRiver));
    // A key that is not UTF-8 is written with a replacement character; the
    // other places' flags all stay in the file.
    svc.negSet("Bad\xff@2.0000,2.0000", WeatherService::kNegRiver);
    EXPECT_EQ(readFile(path), "{\"Bad\xef\xbf\xbd@2.0000,2.0000\":2,\"I@1.0000,1.0000\":8}");
    for (const char* text : {"[1,2]", "7", "{\"a\":", ""})
        EXPECT_TRUE(WeatherService::parseNegFlags(text).empty()) << text;
}

}  // namespace
}  // namespace nbr
