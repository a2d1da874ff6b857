// The enrichment sources against the stand-in services: the blocks each known
// place gets, the exact requests, what a second refresh still asks, and which
// replies may mark a source as having nothing for a place.
#include "ReplayEnv.h"
#include "SourceFixtures.h"
#include "service/WeatherService.h"

#include <filesystem>
#include <thread>

namespace nbr {
namespace {

using replay::Reply;
using test::filledFixture;
using test::ReplayTest;
using WS = WeatherService;

constexpr char kTideList[] = "/mdapi/prod/webapi/stations.json";
constexpr char kTideData[] = "/api/prod/datagetter";
constexpr char kBuoyTable[] = "/data/stations/station_table.txt";

class EnrichmentSourcesTest : public ReplayTest {
protected:
    void SetUp() override {
        ReplayTest::SetUp();
        std::filesystem::create_directories(dataDir());
        svc.negPath = dataDir() + "/enrich_flags.json";
    }

    // One refresh of the sources of this file, on the place's (cached) forecast.
    WeatherData refresh(const GeoLocation& loc) {
        WeatherData d = svc.fetchWeather(loc).value_or(WeatherData{});
        d.location = loc;
        svc.fetchTidesAndMarine(loc, d);
        svc.fetchFlood(loc, d);
        svc.fetchAirQuality(loc, d);
        svc.fetchStationObs(loc, d);
        return d;
    }

    // A US place the stand-in forecast services do not know (404).
    static GeoLocation unknownUsPlace(const char* name, double latitude, double longitude) {
        GeoLocation loc;
        loc.name = name;
        loc.country = "US";
        loc.latitude = latitude;
        loc.longitude = longitude;
        return loc;
    }
    static WeatherData oneDay() {
        WeatherData d;
        d.daily.resize(1);
        d.daily[0].date = "2024-05-01";
        return d;
    }

    // Requests of the second refresh, by service.
    std::map<std::string, size_t> secondRefresh(const GeoLocation& loc) {
        server.clearRequests();
        refresh(loc);
        std::map<std::string, size_t> n;
        for (const auto& r : server.requests()) ++n[r.service];
        return n;
    }

    WeatherService svc;
};

TEST_F(EnrichmentSourcesTest, BostonFillsEveryBlockWithTheExactRequests) {
    const GeoLocation boston = place("boston");
    const WeatherData d = refresh(boston);

    const TideInfo& t = d.tides;
    EXPECT_TRUE(t.valid);
    EXPECT_DOUBLE_EQ(t.waveHeight, 0.58);
    EXPECT_TRUE(t.hasPredictions);
    EXPECT_EQ(t.stationName, "Boston");
    ASSERT_EQ(t.events.size(), 4u);
    EXPECT_EQ(t.events[3].time, "22:14");  // six tides in the reply, the first four kept
    EXPECT_TRUE(t.events[3].high);
    EXPECT_DOUBLE_EQ(t.events[3].height.value_or(0), 3.115);
    EXPECT_DOUBLE_EQ(t.waterTemperature, 6.8);
    EXPECT_TRUE(t.hasBuoy);
    EXPECT_EQ(t.buoyId, "44013");
    EXPECT_NEAR(t.buoyDistanceKm, haversineKm(boston.latitude, boston.longitude, 42.346, -70.651), 1e-9);
    EXPECT_DOUBLE_EQ(t.buoyWaveHeight, 1.1);
    EXPECT_DOUBLE_EQ(t.buoyWaterTemperature, 8.9);
    EXPECT_TRUE(d.flood.valid);
    EXPECT_DOUBLE_EQ(d.flood.riverDischarge, 14.82);
    EXPECT_DOUBLE_EQ(d.flood.riverDischargeMax, 21.46);
    EXPECT_DOUBLE_EQ(d.flood.gaugeDischarge, 36.9 * 0.0283168);
    EXPECT_TRUE(d.flood.hasGauge);
    EXPECT_EQ(d.flood.gaugeSite, "ABERJONA RIVER AT WINCHESTER, MA");
    EXPECT_TRUE(d.airQuality.valid);
    EXPECT_EQ(d.airQuality.birchPollen, -1);
    EXPECT_TRUE(d.station.valid);
    EXPECT_EQ(d.station.id, "KBOS");
    EXPECT_DOUBLE_EQ(d.station.windGusts, 24 * 1.852);
    EXPECT_DOUBLE_EQ(d.station.visibilityKm, 10 * 1.60934);  // "10+"

    ASSERT_FALSE(d.daily.empty());
    const std::string& today = d.daily[0].date;
    const std::string begin = today.substr(0, 4) + today.substr(5, 2) + today.substr(8, 2);
    std::vector<std::string> targets;
    for (const auto& r : server.requests())
        if (r.service != "forecast") targets.push_back(r.target);
    const std::vector<std::string> expected = {
        "/marine/v1/marine?latitude=42.358400&longitude=-71.059800&current=wave_height&timezone=auto",
        "/coops/mdapi/prod/webapi/stations.json?type=tidepredictions",
        "/coops/api/prod/datagetter?product=predictions&application=Nimbrel&datum=MLLW&interval=hilo&units=metric"
        "&time_zone=lst_ldt&format=json&begin_date=" + begin + "&range=36&station=8443970",
        "/coops/api/prod/datagetter?product=water_temperature&application=Nimbrel&date=latest&units=metric"
        "&time_zone=lst_ldt&format=json&station=8443970",
        "/ndbc/data/stations/station_table.txt",
        "/ndbc/data/realtime2/44013.txt",
        "/flood/v1/flood?latitude=42.358400&longitude=-71.059800&daily=river_discharge&forecast_days=7",
        "/usgswater/nwis/iv/?format=json&bBox=-71.560,41.958,-70.560,42.758&parameterCd=00060,00065"
        "&siteStatus=active",
        "/airquality/v1/air-quality?latitude=42.358400&longitude=-71.059800&current=us_aqi,european_aqi,pm2_5,pm10,"
        "ozone,nitrogen_dioxide,sulphur_dioxide,carbon_monoxide,alder_pollen,birch_pollen,grass_pollen,"
        "mugwort_pollen,olive_pollen,ragweed_pollen&timezone=auto",
        "/awc/api/data/metar?format=json&bbox=41.56,-72.16,43.16,-69.96",
    };
    EXPECT_EQ(targets, expected);

    // Only the two station lists are kept; nothing here was flagged.
    const auto n = secondRefresh(boston);
    EXPECT_EQ(server.count("coops", kTideList), 0u);
    EXPECT_EQ(server.count("ndbc", kBuoyTable), 0u);
    EXPECT_EQ(n.at("coops"), 2u);
    EXPECT_EQ(n.at("ndbc"), 1u);
    for (const char* s : {"marine", "flood", "usgswater", "airquality", "awc"}) EXPECT_EQ(n.at(s), 1u) << s;
    EXPECT_FALSE(svc.negHas(boston.cacheKey(), 63));

    // No modelled discharge here says nothing about the stream gauges.
    svc.negSet(boston.cacheKey(), WS::kNegRiver);
    const auto gaugeOnly = secondRefresh(boston);
    EXPECT_EQ(gaugeOnly.count("flood"), 0u);
    EXPECT_EQ(gaugeOnly.at("usgswater"), 1u);
}

TEST_F(EnrichmentSourcesTest, OsloAndHalifaxFillTheirBlocksAndFlagWhatTheyLack) {
    const GeoLocation oslo = place("oslo"), halifax = place("halifax");
    const WeatherData o = refresh(oslo);
    EXPECT_DOUBLE_EQ(o.tides.waveHeight, 0.24);
    EXPECT_FALSE(o.tides.hasBuoy);
    EXPECT_FALSE(o.tides.hasPredictions);
    const AirQuality& aq = o.airQuality;
    const double got[] = {aq.usAqi, aq.europeanAqi, aq.pm2_5, aq.pm10, aq.ozone, aq.nitrogenDioxide,
                          aq.sulphurDioxide, aq.carbonMonoxide, aq.alderPollen, aq.birchPollen,
                          aq.grassPollen, aq.mugwortPollen, aq.olivePollen, aq.ragweedPollen};
    const double want[] = {29, 21, 4.8, 7.3, 52.0, 18.6, 0.7, 168.0, 2.4, 31.5, 6.1, 0, 0, 0};
    for (size_t i = 0; i < 14; ++i) EXPECT_EQ(got[i], want[i]) << i;
    EXPECT_EQ(o.station.id, "ENGM");
    EXPECT_FALSE(o.flood.valid);
    EXPECT_TRUE(svc.negHas(oslo.cacheKey(), WS::kNegBuoy));
    EXPECT_TRUE(svc.negHas(oslo.cacheKey(), WS::kNegRiver));

    const WeatherData h = refresh(halifax);
    EXPECT_DOUBLE_EQ(h.tides.waveHeight, 1.12);
    EXPECT_TRUE(h.tides.hasBuoy);
    EXPECT_EQ(h.tides.buoyId, "44258");
    EXPECT_EQ(h.tides.buoyWaveHeight, -1);  // not measured in the newest row
    EXPECT_DOUBLE_EQ(h.tides.buoyWaterTemperature, 5.6);
    EXPECT_TRUE(h.airQuality.valid);
    EXPECT_EQ(h.station.id, "CYAW");
    EXPECT_EQ(server.count("coops") + server.count("usgswater"), 0u);  // US sources only
    EXPECT_EQ(server.count("ndbc", kBuoyTable), 1u);                 // one table for both places

    const auto no = secondRefresh(oslo);
    EXPECT_EQ(no.count("ndbc") + no.count("flood"), 0u);
    EXPECT_EQ(no.at("marine") + no.at("airquality") + no.at("awc"), 3u);
    const auto nh = secondRefresh(halifax);
    EXPECT_EQ(nh.count("flood"), 0u);
    EXPECT_EQ(nh.at("ndbc"), 1u);  // the buoy's file, not the table
    EXPECT_EQ(test::readFile(svc.negPath),
              "{\"" + halifax.cacheKey() + "\":2,\"" + oslo.cacheKey() + "\":34}");
}

TEST_F(EnrichmentSourcesTest, FarFromEveryStationFlagsThePlace) {
    const GeoLocation far = unknownUsPlace("Denver", 39.7392, -104.9903);
    WeatherData d = oneDay();
    svc.fetchTidesAndMarine(far, d);
    svc.fetchFlood(far, d);
    EXPECT_EQ(server.count("coops", kTideData), 0u);  // nearest tide station beyond 100 km
    // Flagged: tide station, buoy, gauge (a well-formed empty reply); the
    // failed marine and flood transfers flag nothing.
    for (const int bit : {WS::kNegTideStation, WS::kNegBuoy, WS::kNegGauge})
        EXPECT_TRUE(svc.negHas(far.cacheKey(), bit)) << bit;
    EXPECT_FALSE(svc.negHas(far.cacheKey(), WS::kNegMarine | WS::kNegRiver));
}

TEST_F(EnrichmentSourcesTest, RepliesThatDoNotParseNeverSetABit) {
    const GeoLocation boston = place("boston");
    for (const auto& [service, path] : {std::pair{"marine", "/v1/marine"}, {"flood", "/v1/flood"},
                                        {"usgswater", "/nwis/iv/"}, {"coops", kTideData},
                                        {"ndbc", "/data/realtime2/44013.txt"}})
        server.setReply(service, path, Reply::html());
    server.setReply("ndbc", kBuoyTable, Reply::text("# STATION_ID | OWNER | TTYPE\n#\n"));
    refresh(boston);
    refresh(boston);
    EXPECT_FALSE(svc.negHas(boston.cacheKey(), 63));
    EXPECT_EQ(server.count("ndbc", kBuoyTable), 2u);  // an empty table is asked for again
    EXPECT_FALSE(svc.buoyStationsLoaded);
    EXPECT_FALSE(std::filesystem::exists(svc.negPath));

    // A well-formed "nothing here" does set the bit, and the source is not asked again.
    server.setReply("marine", "/v1/marine", Reply::json("{\"current\":{\"wave_height\":null}}"));
    server.setReply("coops", kTideData, Reply::json(filledFixture("coops/no_data.json")));
    server.setReply("ndbc", kBuoyTable, Reply::text(filledFixture("ndbc/station_table.txt")));
    refresh(boston);
    // The water temperature is asked for also when the predictions gave nothing.
    for (const int bit : {WS::kNegMarine, WS::kNegWaterTemperature})
        EXPECT_TRUE(svc.negHas(boston.cacheKey(), bit)) << bit;
    server.clearRequests();
    refresh(boston);
    EXPECT_EQ(server.count("marine"), 0u);
    EXPECT_EQ(server.count("coops"), 1u);  // predictions only
    EXPECT_EQ(server.count("ndbc"), 1u);   // the buoy's unusable file, not the table
}

TEST_F(EnrichmentSourcesTest, AFailedTideStationListIsTriedAgainAfterHalfAnHour) {
    const GeoLocation boston = place("boston");
    server.setReply("coops", kTideList, Reply::withStatus(503, "busy"));
    EXPECT_FALSE(refresh(boston).tides.hasPredictions);
    server.clearReplies();
    EXPECT_FALSE(refresh(boston).tides.hasPredictions);  // not within the half hour
    EXPECT_EQ(server.count("coops", kTideList), 1u);
    EXPECT_FALSE(svc.negHas(boston.cacheKey(), WS::kNegTideStation));
    {
        std::lock_guard<std::mutex> lock(svc.tideStationsMutex);
        svc.tideStationsAttempt -= WS::kTideStationsRetry;
    }
    EXPECT_TRUE(refresh(boston).tides.hasPredictions);
    EXPECT_EQ(server.count("coops", kTideList), 2u);
}

TEST_F(EnrichmentSourcesTest, UnusableRepliesLeaveTheBlocksAsTheyWere) {
    const GeoLocation boston = place("boston");
    WeatherData before;
    before.airQuality.valid = true;
    before.airQuality.usAqi = 77;
    before.station.valid = true;
    before.station.id = "OLD";
    before.flood.valid = true;
    before.flood.riverDischarge = 3;
    const Reply replies[] = {Reply::html(), Reply::json(""), Reply::json("{\"current\":{\"us_aqi\":"),
                             Reply::json("{\"current\":{\"us_aqi\":\"x\"},\"daily\":7}"),
                             // the only report is 85 km away
                             Reply::json("[{\"icaoId\":\"KFAR\",\"lat\":43.1229,\"lon\":-71.0598,\"temp\":1}]")};
    for (const Reply& reply : replies) {
        for (const auto& [service, path] :
             {std::pair{"airquality", "/v1/air-quality"}, {"awc", "/api/data/metar"}, {"flood", "/v1/flood"}})
            server.setReply(service, path, reply);
        WeatherData d = before;  // as a fresh record it would stay not valid
        svc.fetchAirQuality(boston, d);
        svc.fetchStationObs(boston, d);
        svc.fetchFlood(boston, d);
        EXPECT_EQ(d.airQuality.usAqi, 77) << reply.body;
        EXPECT_EQ(d.station.id, "OLD") << reply.body;
        EXPECT_EQ(d.flood.riverDischarge, 3) << reply.body;
    }
}

TEST_F(EnrichmentSourcesTest, StationsCountWithinTheirRangesAndTiesKeepTheFirst) {
    GeoLocation at = unknownUsPlace("", 40, -100);
    WeatherData d = oneDay();
    svc.tideStationsLoaded = svc.buoyStationsLoaded = true;
    const struct {
        double tideKm, buoyKm;  // limits 100 and 150 km
        bool tideNear, buoyNear;
    } cases[] = {{99.5, 149.5, true, true}, {100.5, 150.5, false, false}, {100, 150, true, false}};
    for (const auto& c : cases) {
        at.name = std::to_string(c.tideKm);
        const auto [tideLat, tideLon] = test::pointAtKm(40, -100, c.tideKm);
        const auto [buoyLat, buoyLon] = test::pointAtKm(40, -100, c.buoyKm);
        svc.tideStations = {{"T1", "first", tideLat, tideLon}, {"T2", "second", tideLat, tideLon}};
        svc.buoyStations = {{"B1", "buoy", buoyLat, buoyLon}};
        server.clearRequests();
        svc.fetchTidesAndMarine(at, d);
        EXPECT_EQ(svc.negHas(at.cacheKey(), WS::kNegTideStation), !c.tideNear) << c.tideKm;
        EXPECT_EQ(svc.negHas(at.cacheKey(), WS::kNegBuoy), !c.buoyNear) << c.buoyKm;
        EXPECT_EQ(server.count("ndbc", "/data/realtime2/B1.txt"), c.buoyNear ? 1u : 0u);
        std::vector<std::string> stations;
        for (const auto& r : server.requests())
            if (r.service == "coops") stations.push_back(r.param("station"));
        // Equally near: the first in the list.
        const std::vector<std::string> firstTwice = {"T1", "T1"};  // predictions, water temperature
        EXPECT_EQ(stations, c.tideNear ? firstTwice : std::vector<std::string>());
    }
    // A station without an id is near all the same but cannot be asked, nor one with an id beyond the range.
    const auto [farLat, farLon] = test::pointAtKm(40, -100, 100.5);
    at.name = "no id", svc.tideStations = {{"", "no id", 40, -100}, {"T3", "far", farLat, farLon}};
    server.clearRequests();
    svc.fetchTidesAndMarine(at, d);
    EXPECT_FALSE(svc.negHas(at.cacheKey(), WS::kNegTideStation));
    EXPECT_EQ(server.count("coops"), 0u);
}

// Several enrichments at once: each station list is downloaded once while the
// others wait, and every flag reaches the file.
class EnrichmentConcurrency : public EnrichmentSourcesTest {};

TEST_F(EnrichmentConcurrency, StationListsAreDownloadedOnceWhileOthersWait) {
    server.setReply("coops", kTideList, Reply::json(filledFixture("coops/stations.json")).delayed(300));
    server.setReply("ndbc", kBuoyTable, Reply::text(filledFixture("ndbc/station_table.txt")).delayed(300));
    const GeoLocation boston = place("boston"), oslo = place("oslo");
    WeatherData base = svc.fetchWeather(boston).value();
    std::vector<WeatherData> records(6, base);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < records.size(); ++i)
        threads.emplace_back([&, i] {
            GeoLocation loc = i % 3 == 2 ? oslo : boston;
            loc.name += std::to_string(i);  // a key of its own for each thread
            svc.fetchTidesAndMarine(loc, records[i]);
            svc.fetchFlood(loc, records[i]);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(server.count("coops", kTideList), 1u);
    EXPECT_EQ(server.count("ndbc", kBuoyTable), 1u);
    for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].tides.hasBuoy, i % 3 != 2) << i;
    EXPECT_TRUE(records[0].tides.hasPredictions);

    WeatherService reread;
    reread.negPath = svc.negPath;
    for (size_t i = 2; i < records.size(); i += 3) {
        GeoLocation loc = oslo;
        loc.name += std::to_string(i);
        EXPECT_TRUE(reread.negHas(loc.cacheKey(), WS::kNegBuoy)) << i;
        EXPECT_TRUE(reread.negHas(loc.cacheKey(), WS::kNegRiver)) << i;
    }
}

}  // namespace
}  // namespace nbr
