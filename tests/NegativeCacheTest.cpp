// The negative cache's flags file: what loads, what is written, and that the
// file is replaced whole.
#include "TestEnv.h"
#include "service/WeatherService.h"

#include <filesystem>

namespace nbr {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class NegativeCacheTest : public ::testing::Test {
protected:
    void SetUp() override { svc.negPath = path; }
    TempDir dir;
    const std::string path = dir.path() + "/enrich_flags.json";
    WeatherService svc;
};

TEST_F(NegativeCacheTest, FirstSetCreatesACompactSortedFileAndOnlyNewBitsRewriteIt) {
    EXPECT_FALSE(svc.negHas("B@1.0000,2.0000", WeatherService::kNegMarine));
    EXPECT_FALSE(std::filesystem::exists(path));  // asking writes nothing
    svc.negSet("B@1.0000,2.0000", WeatherService::kNegMarine);
    EXPECT_EQ(readFile(path), "{\"B@1.0000,2.0000\":1}");
    svc.negSet("B@1.0000,2.0000", WeatherService::kNegTideStation);
    svc.negSet("A@0.0000,0.0000", WeatherService::kNegBuoy);
    EXPECT_EQ(readFile(path), "{\"A@0.0000,0.0000\":32,\"B@1.0000,2.0000\":5}");

    // A bit already set writes nothing (the file changed behind our back stays).
    writeFile(path, "sentinel");
    svc.negSet("B@1.0000,2.0000", WeatherService::kNegTideStation);
    EXPECT_EQ(readFile(path), "sentinel");
    EXPECT_TRUE(svc.negHas("B@1.0000,2.0000", WeatherService::kNegMarine | WeatherService::kNegRiver));
    EXPECT_FALSE(svc.negHas("B@1.0000,2.0000", WeatherService::kNegRiver));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(NegativeCacheTest, LoadKeepsIntegerMembersOnlyAndTheNextWriteDropsTheRest) {
    writeFile(path, "{\"F@1.0000,1.0000\":2.5,\"I@1.0000,1.0000\":8,\"S@1.0000,1.0000\":\"4\","
                    "\"U@1.0000,1.0000\":16} trailing text is not read");
    EXPECT_TRUE(svc.negHas("I@1.0000,1.0000", WeatherService::kNegGauge));
    EXPECT_TRUE(svc.negHas("U@1.0000,1.0000", WeatherService::kNegWaterTemperature));
    EXPECT_FALSE(svc.negHas("F@1.0000,1.0000", WeatherService::kNegRiver));
    EXPECT_FALSE(svc.negHas("S@1.0000,1.0000", WeatherService::kNegTideStation));
    svc.negSet("N@0.0000,0.0000", WeatherService::kNegRiver);
    EXPECT_EQ(readFile(path), "{\"I@1.0000,1.0000\":8,\"N@0.0000,0.0000\":2,\"U@1.0000,1.0000\":16}");

    for (const char* text : {"[1,2]", "7", "{\"a\":", ""})
        EXPECT_TRUE(WeatherService::parseNegFlags(text).empty()) << text;
}

TEST_F(NegativeCacheTest, WithoutAPathFlagsLiveInMemoryAndABadKeyDoesNotLoseTheFile) {
    WeatherService memoryOnly;
    memoryOnly.negSet("X@0.0000,0.0000", WeatherService::kNegBuoy);
    EXPECT_TRUE(memoryOnly.negHas("X@0.0000,0.0000", WeatherService::kNegBuoy));

    // A key that is not UTF-8 is written with a replacement character; the
    // other places' flags are all still in the file.
    svc.negSet("Good@1.0000,1.0000", WeatherService::kNegMarine);
    svc.negSet("Bad\xff@2.0000,2.0000", WeatherService::kNegMarine);
    WeatherService later;
    later.negPath = path;
    EXPECT_TRUE(later.negHas("Good@1.0000,1.0000", WeatherService::kNegMarine));
    EXPECT_TRUE(later.negHas("Bad\xef\xbf\xbd@2.0000,2.0000", WeatherService::kNegMarine));
}

}  // namespace
}  // namespace nbr
