#include "ReplayEnv.h"
#include "foundation/LocationManager.h"
#include "service/WeatherService.h"

#include <filesystem>

namespace nbr {
namespace {

class LocationManagerTest : public test::DataDirTest {
protected:
    static GeoLocation named(const std::string& name, double lat = 1.0) {
        GeoLocation g;
        g.name = name;
        g.country = "US";
        g.admin1 = "Region " + name;
        g.latitude = lat;
        g.longitude = -lat;
        g.timezone = "America/New_York";
        return g;
    }
    std::string path() const { return dataDir() + "/config.json"; }
    // The settings as a fresh start would read them.
    Config stored() const {
        Config c;
        c.load();
        return c;
    }
    // Removes the file so that a following write, or its absence, shows.
    void forgetFile() { std::filesystem::remove(path()); }
    bool written() const { return std::filesystem::exists(path()); }
    std::vector<std::string> names() const {
        std::vector<std::string> n;
        for (const auto& l : places.locations()) n.push_back(l.name);
        return n;
    }
    void addAll(std::initializer_list<const char*> list) {
        for (const char* n : list) places.addLocation(named(n));
    }

    Config config;
    WeatherService service;
    LocationManager places{config, service};
};

TEST_F(LocationManagerTest, AddingSavesAtOnceAndOnlyTheFirstIsDefault) {
    EXPECT_FALSE(places.hasLocations());
    places.addLocation(named("A"));
    ASSERT_TRUE(written());
    Config c = stored();
    ASSERT_EQ(c.locations.size(), 1u);
    EXPECT_TRUE(c.locations[0].isDefault);
    EXPECT_EQ(c.locations[0].admin1, "Region A");
    EXPECT_EQ(c.activeLocationIndex, 0);

    places.addLocation(named("B"));
    places.addLocation(named("B"));  // no duplicate check
    c = stored();
    ASSERT_EQ(c.locations.size(), 3u);
    EXPECT_FALSE(c.locations[1].isDefault);
    EXPECT_EQ(c.locations[2].name, "B");
    EXPECT_EQ(places.activeIndex(), 0);  // adding never moves the active place
    EXPECT_EQ(places.activeLocation().name, "A");

    places.setActive(2);  // how a new place becomes active
    EXPECT_EQ(stored().activeLocationIndex, 2);
}

TEST_F(LocationManagerTest, RemovingKeepsTheActiveIndexOnAPlace) {
    addAll({"A", "B", "C"});
    places.setActive(1);
    places.removeLocation(1);  // the middle one, active
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(places.activeIndex(), 1);
    EXPECT_EQ(stored().locations.size(), 2u);

    places.removeLocation(1);  // the active last one
    EXPECT_EQ(places.activeIndex(), 0);
    places.removeLocation(0);  // the only one
    EXPECT_FALSE(places.hasLocations());
    EXPECT_EQ(places.activeIndex(), 0);
    EXPECT_TRUE(stored().locations.empty());

    addAll({"A", "B", "C", "D"});
    places.setActive(2);
    places.removeLocation(0);  // before the active one: the index stays
    EXPECT_EQ(places.activeIndex(), 2);
    EXPECT_EQ(places.activeLocation().name, "D");
    EXPECT_EQ(stored().activeLocationIndex, 2);
}

TEST_F(LocationManagerTest, OutOfRangeChangesNothingAndWritesNothing) {
    addAll({"A", "B"});
    forgetFile();
    places.removeLocation(2);
    places.setActive(2);
    places.setActive(-1);
    config.updateLocation(2, named("Z"));
    EXPECT_FALSE(written());
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(places.activeIndex(), 0);

    places.setActive(0);  // already active: still written
    EXPECT_TRUE(written());
}

TEST_F(LocationManagerTest, CyclingWrapsAndNeedsTwoPlaces) {
    places.cycleNext();
    places.cyclePrev();
    EXPECT_FALSE(written());
    addAll({"A"});
    forgetFile();
    places.cycleNext();
    places.cyclePrev();
    EXPECT_FALSE(written());
    EXPECT_EQ(places.activeIndex(), 0);

    addAll({"B", "C"});
    places.cyclePrev();
    EXPECT_EQ(places.activeIndex(), 2);
    EXPECT_EQ(stored().activeLocationIndex, 2);
    places.cycleNext();
    EXPECT_EQ(places.activeIndex(), 0);
    EXPECT_EQ(stored().activeLocationIndex, 0);
    places.cycleNext();
    EXPECT_EQ(places.activeLocation().name, "B");
}

TEST_F(LocationManagerTest, UpdateReplacesTheActivePlaceButKeepsDefault) {
    places.updateActive(named("Nothing"));  // empty list
    EXPECT_FALSE(places.hasLocations());
    EXPECT_FALSE(written());

    addAll({"A", "B"});
    GeoLocation edited = named("Home", 42.5);
    edited.customLabel = true;
    edited.country = "CA";
    places.updateActive(edited);
    const Config c = stored();
    ASSERT_EQ(c.locations.size(), 2u);
    EXPECT_EQ(c.locations[0].name, "Home");
    EXPECT_EQ(c.locations[0].country, "CA");
    EXPECT_EQ(c.locations[0].admin1, "Region Home");
    EXPECT_DOUBLE_EQ(c.locations[0].latitude, 42.5);
    EXPECT_DOUBLE_EQ(c.locations[0].longitude, -42.5);
    EXPECT_TRUE(c.locations[0].customLabel);
    EXPECT_TRUE(c.locations[0].isDefault);
    EXPECT_EQ(c.locations[1].name, "B");
}

class LocationSearchTest : public test::ReplayTest {};

TEST_F(LocationSearchTest, SearchIsThePlaceSearchOfTheService) {
    Config config;
    WeatherService service;
    LocationManager places(config, service);
    const auto found = places.search("Boston");
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].admin1, "Massachusetts");
    EXPECT_EQ(server.count("geocoding", "/v1/search"), 1u);
    EXPECT_FALSE(std::filesystem::exists(dataDir() + "/config.json"));
}

}  // namespace
}  // namespace nbr
