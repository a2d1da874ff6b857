#include "model/Constellations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

namespace nbr {
namespace {

const Constellation& byName(const char* name) {
    for (const Constellation& c : constellations())
        if (std::strcmp(c.name, name) == 0) return c;
    ADD_FAILURE() << "no row " << name;
    return constellations().front();
}

TEST(Constellations, TableHoldsEightyEightDistinctRowsOnce) {
    const std::vector<Constellation>& table = constellations();
    EXPECT_EQ(&table, &constellations());
    ASSERT_EQ(table.size(), 88u);
    std::set<std::string> names;
    int north = 0, south = 0, both = 0, wrapping = 0;
    for (const Constellation& c : table) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(names.insert(c.name).second);
        ASSERT_NE(c.meaning, nullptr);
        EXPECT_TRUE(std::strncmp(c.meaning, "the ", 4) == 0 || std::strcmp(c.name, "Coma Berenices") == 0);
        EXPECT_GE(c.bestFromMonth, 1);
        EXPECT_LE(c.bestFromMonth, 12);
        EXPECT_GE(c.bestToMonth, 1);
        EXPECT_LE(c.bestToMonth, 12);
        EXPECT_GE(c.raHours, 0.0);
        EXPECT_LT(c.raHours, 24.0);
        EXPECT_EQ(c.decDeg, std::round(c.decDeg));
        EXPECT_GE(c.decDeg, -90.0);
        EXPECT_LE(c.decDeg, 90.0);
        north += c.hemisphere == 'N';
        south += c.hemisphere == 'S';
        both += c.hemisphere == 'B';
        wrapping += c.bestFromMonth > c.bestToMonth;
    }
    EXPECT_EQ(north, 21);
    EXPECT_EQ(south, 34);
    EXPECT_EQ(both, 33);
    EXPECT_EQ(wrapping, 23);
    EXPECT_STREQ(table[54].name, "Orion");
    EXPECT_EQ(table[54].bestFromMonth, 12);
    EXPECT_EQ(table[54].bestToMonth, 3);
    EXPECT_DOUBLE_EQ(byName("Ursa Minor").decDeg, 75);
    EXPECT_DOUBLE_EQ(byName("Andromeda").raHours, 0.8);
    EXPECT_STREQ(byName("Pictor").meaning, "the Painter's Easel");
}

TEST(Constellations, CellsFillTwoAtlasesRowByRow) {
    const std::vector<Constellation>& table = constellations();
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].name);
        const int atlas = i < 56 ? 0 : 1;
        const int p = static_cast<int>(i) - 56 * atlas;
        EXPECT_EQ(table[i].atlas, atlas);
        EXPECT_EQ(table[i].row, p / 7);
        EXPECT_EQ(table[i].col, p % 7);
    }
    EXPECT_STREQ(table[0].name, "Andromeda");
    EXPECT_STREQ(table[55].name, "Pavo");
    EXPECT_EQ(table[55].row, 7);
    EXPECT_EQ(table[55].col, 6);
    EXPECT_STREQ(table[56].name, "Apus");
    EXPECT_EQ(table[56].atlas, 1);
    EXPECT_EQ(table[56].row, 0);
    EXPECT_STREQ(table[87].name, "Vulpecula");
    EXPECT_EQ(table[87].row, 4);
    EXPECT_EQ(table[87].col, 3);
}

TEST(Constellations, SlugsAreUrlSafeArticleTitles) {
    const std::set<std::string> qualified = {
        "Andromeda", "Aquarius", "Aquila",   "Ara",         "Aries",    "Auriga",    "Cancer",
        "Cassiopeia", "Cepheus", "Columba",  "Corvus",      "Crater",   "Cygnus",    "Draco",
        "Eridanus",  "Gemini",   "Grus",     "Hercules",    "Horologium", "Hydra",   "Indus",
        "Leo",       "Lepus",    "Libra",    "Lupus",       "Lynx",     "Mensa",     "Norma",
        "Orion",     "Pavo",     "Carina",   "Pegasus",     "Perseus",  "Phoenix",   "Pisces",
        "Sagittarius", "Sculptor", "Scutum", "Taurus",      "Vela",     "Virgo"};
    ASSERT_EQ(qualified.size(), 41u);
    int withQualifier = 0;
    for (const Constellation& c : constellations()) {
        SCOPED_TRACE(c.name);
        const std::string slug = c.articleSlug;
        withQualifier += slug.find("_(constellation)") != std::string::npos;
        for (char ch : slug) {
            EXPECT_NE(ch, ' ');
            EXPECT_GT(static_cast<unsigned char>(ch), 0x20);
            EXPECT_LT(static_cast<unsigned char>(ch), 0x7f);  // already percent-encoded
        }
        if (std::strcmp(c.name, "Bootes") == 0) {
            EXPECT_EQ(slug, "Bo%C3%B6tes");
            continue;
        }
        std::string expected = c.name;
        for (char& ch : expected)
            if (ch == ' ') ch = '_';
        if (qualified.count(c.name)) expected += "_(constellation)";
        EXPECT_EQ(slug, expected);
    }
    EXPECT_EQ(withQualifier, 41);
    EXPECT_STREQ(byName("Canis Major").articleSlug, "Canis_Major");
    EXPECT_STREQ(byName("Carina").articleSlug, "Carina_(constellation)");
}

TEST(Constellations, EveryRowHasOneShortFindingTip) {
    for (const Constellation& c : constellations()) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.findingTip, nullptr);
        const size_t n = std::strlen(c.findingTip);
        EXPECT_GT(n, 20u);
        EXPECT_LE(n, 86u);
        EXPECT_EQ(std::strchr(c.findingTip, '\n'), nullptr);
    }
    EXPECT_STREQ(byName("Orion").findingTip, "three-star belt; red Betelgeuse and blue Rigel at opposite corners");
    EXPECT_STREQ(byName("Leo").findingTip, "backwards question mark (the sickle) ending at bright Regulus");
    EXPECT_STREQ(byName("Ursa Major").findingTip,
                 "the big dipper is its tail and hindquarters; its pointers aim at Polaris");
}

TEST(Constellations, BestMonthsWrapTheYear) {
    const Constellation& orion = byName("Orion");
    for (int m : {12, 1, 2, 3}) EXPECT_TRUE(constellationBestIn(orion, m)) << m;
    for (int m : {4, 7, 11}) EXPECT_FALSE(constellationBestIn(orion, m)) << m;
    const Constellation& andromeda = byName("Andromeda");
    EXPECT_TRUE(constellationBestIn(andromeda, 9));
    EXPECT_TRUE(constellationBestIn(andromeda, 12));
    EXPECT_FALSE(constellationBestIn(andromeda, 1));
    EXPECT_FALSE(constellationBestIn(andromeda, 8));
    for (int m = 1; m <= 12; ++m) EXPECT_TRUE(constellationBestIn(byName("Ursa Minor"), m)) << m;
    // Every month has something worth looking at.
    for (int m = 1; m <= 12; ++m) {
        int n = 0;
        for (const Constellation& c : constellations()) n += constellationBestIn(c, m);
        EXPECT_GT(n, 10) << m;
    }
}

TEST(Constellations, HemisphereRuleCountsTheEquatorAsNorth) {
    const Constellation& north = byName("Cassiopeia");
    const Constellation& south = byName("Crux");
    const Constellation& both = byName("Orion");
    EXPECT_TRUE(constellationInHemisphere(north, 45.0));
    EXPECT_TRUE(constellationInHemisphere(north, 0.0));
    EXPECT_FALSE(constellationInHemisphere(north, -0.5));
    EXPECT_FALSE(constellationInHemisphere(south, 0.0));
    EXPECT_TRUE(constellationInHemisphere(south, -33.9));
    EXPECT_FALSE(constellationInHemisphere(south, 51.5));
    EXPECT_TRUE(constellationInHemisphere(both, 51.5));
    EXPECT_TRUE(constellationInHemisphere(both, -33.9));
}

TEST(Constellations, AltitudeAndAzimuthOfKnownPositions) {
    const int64_t t = 1735732800;  // 2025-01-01 12:00 UTC
    // At the north pole the altitude is the declination, whatever the time.
    for (double dec : {-30.0, 0.0, 45.0, 89.0}) {
        for (int64_t dt : {int64_t{0}, int64_t{20000}, int64_t{50000}}) {
            EXPECT_NEAR(radecToAltAz(5.5, dec, t + dt, 90.0, 0.0).altitude, dec, 1e-9);
        }
    }
    // A point on the meridian (right ascension = local sidereal time):
    // south of the zenith it stands due south, north of it due north.
    const double lon = 10.0, lat = 50.0;
    double lst = std::fmod(280.46061837 + 360.98564736629 * static_cast<double>(t - 946728000) / 86400.0 + lon,
                           360.0);
    if (lst < 0) lst += 360.0;
    const AltAz south = radecToAltAz(lst / 15.0, 20.0, t, lat, lon);
    EXPECT_NEAR(south.azimuth, 180.0, 1e-6);
    EXPECT_NEAR(south.altitude, 60.0, 1e-6);  // 90 - lat + dec
    const AltAz north = radecToAltAz(lst / 15.0, 70.0, t, lat, lon);
    EXPECT_TRUE(north.azimuth < 1e-6 || north.azimuth > 360.0 - 1e-6) << north.azimuth;
    EXPECT_NEAR(north.altitude, 70.0, 1e-6);  // 90 + lat - dec
    // Six hours later in hour angle: a point on the equator sets due west.
    const AltAz west = radecToAltAz(lst / 15.0 - 6.0, 0.0, t, lat, lon);
    EXPECT_NEAR(west.altitude, 0.0, 1e-6);
    EXPECT_NEAR(west.azimuth, 270.0, 1e-6);

    // A worked example from the astronomical literature: Venus seen from
    // Washington on 1987-04-10 at 19:21 UT stands 15.1249 degrees high at
    // azimuth 68.0337 degrees west of south (from apparent sidereal time; the
    // mean time used here differs by about a thousandth of a degree).
    const AltAz venus = radecToAltAz(23.0 + 9.0 / 60 + 16.641 / 3600, -(6.0 + 43.0 / 60 + 11.61 / 3600), 545080860,
                                     38.0 + 55.0 / 60 + 17.0 / 3600, -(77.0 + 3.0 / 60 + 56.0 / 3600));
    EXPECT_NEAR(venus.altitude, 15.1249, 0.01);
    EXPECT_NEAR(venus.azimuth, 68.0337 + 180.0, 0.01);
    for (double ra = 0; ra < 24; ra += 1.7) {
        const AltAz a = radecToAltAz(ra, -40, t, -33.9, 18.4);
        EXPECT_GE(a.azimuth, 0.0);
        EXPECT_LT(a.azimuth, 360.0);
    }
}

}  // namespace
}  // namespace nbr
