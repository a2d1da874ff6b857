#include "foundation/Config.h"
#include "TestEnv.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

namespace nbr {
namespace {

using test::readFile;
using test::writeFile;

// While it lives, this thread lacks the power to override file permissions
// (root has it), so a file's or folder's mode holds for it as for a user.
class NoPermissionOverride {
public:
    NoPermissionOverride() {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
        syscall(SYS_capset, &header_, lowered);
    }
    ~NoPermissionOverride() { syscall(SYS_capset, &header_, saved_); }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};

class ConfigTest : public test::DataDirTest {
protected:
    std::string path() const { return dataDir() + "/config.json"; }
    Config loadText(const std::string& text) {
        writeFile(path(), text);
        Config c;
        EXPECT_TRUE(c.load());
        return c;
    }
};

TEST_F(ConfigTest, DataFolderFollowsAppDataThenXdg) {
    EXPECT_EQ(Config::configDir(), dataDir());
    EXPECT_EQ(Config().configPath(), dataDir() + "/config.json");
    setenv("APPDATA", "", 1);  // empty counts as unset
    {
        test::ScopedEnv xdg("XDG_DATA_HOME", "/tmp/xdg");
        EXPECT_EQ(Config::configDir(), "/tmp/xdg/Nimbrel");
    }
    test::ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(Config::configDir(), std::string(home) + "/.local/share/Nimbrel");
    }
}

TEST(TestProgramHome, EveryDefaultFolderIsInsideATemporaryHome) {
    // Outside a data-folder fixture nothing may point at the real home.
    const std::string home = test::privateHome();
    ASSERT_FALSE(home.empty());
    EXPECT_EQ(home.rfind(std::filesystem::temp_directory_path().string(), 0), 0u) << home;
    EXPECT_EQ(std::getenv("APPDATA"), nullptr);
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        const char* value = std::getenv(name);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_EQ(std::string(value).rfind(home, 0), 0u) << name << "=" << value;
    }
    EXPECT_EQ(Config::configDir(), home + "/data/Nimbrel");
}

TEST_F(ConfigTest, MissingFileKeepsDefaultsAndCreatesNothing) {
    Config c;
    EXPECT_TRUE(c.load());
    EXPECT_TRUE(c.locations.empty());
    EXPECT_EQ(c.activeLocationIndex, 0);
    EXPECT_TRUE(c.useFahrenheit);
    EXPECT_EQ(c.foregroundPollMinutes, 15);
    EXPECT_EQ(c.miniPosX, Config::kNoPos);
    EXPECT_DOUBLE_EQ(c.alertSwingC, 8.3);
    EXPECT_EQ(c.quietStartMinute, 1320);
    EXPECT_FALSE(std::filesystem::exists(dataDir()));
}

TEST_F(ConfigTest, SaveWritesSortedPrettyJsonAndRoundTrips) {
    Config c;
    c.windUnit = 2;
    c.alertGustKmh = 0.1 + 0.2;  // needs all 17 digits to round-trip
    c.miniPosX = -5;
    SavedLocation oslo;
    oslo.name = "Tromsø";
    oslo.country = "NO";
    oslo.latitude = 69.6492047;
    oslo.longitude = 18.9553238;
    oslo.timezone = "Europe/Oslo";
    oslo.isDefault = true;
    c.locations.push_back(oslo);
    c.save();

    const std::string text = readFile(path());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.front(), '{');
    EXPECT_EQ(text.back(), '}');
    EXPECT_NE(text.find("\"useMph\": false"), std::string::npos);
    EXPECT_NE(text.find("\"version\": 1"), std::string::npos);
    EXPECT_NE(text.find("\"alertSwingC\": 8.3,"), std::string::npos);
    EXPECT_NE(text.find("\"alertSnowCm\": 0.0,"), std::string::npos);
    EXPECT_NE(text.find("Tromsø"), std::string::npos);  // no \u escapes
    // Root keys in byte order, two-space indentation.
    EXPECT_EQ(text.rfind("{\n  \"activeLocationIndex\": 0,\n  \"locations\": [\n    {\n      \"admin1\": \"\",", 0), 0u);
    EXPECT_LT(text.find("\"settings\""), text.find("\"version\""));
    EXPECT_LT(text.find("\"alertGustKmh\""), text.find("\"alertSnowCm\""));
    EXPECT_LT(text.find("\"windowH\""), text.find("\"windowW\""));

    Config back;
    back.load();
    EXPECT_EQ(back.windUnit, 2);
    EXPECT_EQ(back.alertGustKmh, c.alertGustKmh);
    EXPECT_EQ(back.miniPosX, -5);
    ASSERT_EQ(back.locations.size(), 1u);
    EXPECT_EQ(back.locations[0].name, "Tromsø");
    EXPECT_EQ(back.locations[0].latitude, oslo.latitude);
    EXPECT_TRUE(back.locations[0].isDefault);

    // Loading and saving an unchanged file gives the same bytes.
    back.save();
    EXPECT_EQ(readFile(path()), text);
    EXPECT_FALSE(std::filesystem::exists(path() + ".tmp"));
}

TEST_F(ConfigTest, EmptyListIsWrittenAsEmptyArray) {
    Config().save();
    EXPECT_NE(readFile(path()).find("\"locations\": [],"), std::string::npos);
}

TEST_F(ConfigTest, UnitMigrationsFromOlderFiles) {
    Config a = loadText(R"({"settings":{"useMph":false}})");
    EXPECT_EQ(a.windUnit, 1);
    Config b = loadText(R"({"settings":{"useMph":true}})");
    EXPECT_EQ(b.windUnit, 0);
    Config c = loadText(R"({"settings":{"useFahrenheit":false}})");
    EXPECT_EQ(c.pressureUnit, 1);
    EXPECT_EQ(c.precipUnit, 1);
    Config d = loadText(R"({"settings":{"useFahrenheit":true}})");
    EXPECT_EQ(d.pressureUnit, 0);
    EXPECT_EQ(d.precipUnit, 0);
    Config e = loadText(R"({"settings":{"useMph":false,"windUnit":3}})");
    EXPECT_EQ(e.windUnit, 3);
}

TEST_F(ConfigTest, OutOfRangeValuesAreCorrected) {
    Config a = loadText(R"({"settings":{"windUnit":7,"pressureUnit":2,"precipUnit":2,"notifyMode":3}})");
    EXPECT_EQ(a.windUnit, 0);
    EXPECT_EQ(a.pressureUnit, 0);
    EXPECT_EQ(a.precipUnit, 0);
    EXPECT_EQ(a.notifyMode, 0);
    Config b = loadText(R"({"settings":{"windUnit":-1,"precipUnit":-1,"notifyMode":-1}})");
    EXPECT_EQ(b.windUnit, 0);
    EXPECT_EQ(b.precipUnit, 0);
    EXPECT_EQ(b.notifyMode, 0);
    Config c = loadText(R"({"settings":{"windUnit":2.9}})");
    EXPECT_EQ(c.windUnit, 2);
    Config d = loadText(R"({"settings":{"windUnit":true}})");
    EXPECT_EQ(d.windUnit, 1);
    Config e = loadText(
        R"({"settings":{"foregroundPollMinutes":0,"backgroundPollMinutes":-4,"windowW":-20,"windowH":99999999}})");
    EXPECT_EQ(e.foregroundPollMinutes, 15);
    EXPECT_EQ(e.backgroundPollMinutes, 30);
    EXPECT_EQ(e.windowW, 0);
    EXPECT_LE(e.windowH, 16384);
    // The int range's own ends still read as numbers.
    Config f = loadText(R"({"settings":{"miniPosX":-2147483648,"miniPosY":2147483647}})");
    EXPECT_EQ(f.miniPosX, INT_MIN);
    EXPECT_EQ(f.miniPosY, INT_MAX);
    EXPECT_FALSE(std::filesystem::exists(path() + ".bad"));
}

TEST_F(ConfigTest, ActiveIndexIsBroughtIntoRange) {
    const std::string two = R"("locations":[{"name":"A"},{"name":"B"}])";
    EXPECT_EQ(loadText("{\"activeLocationIndex\":5," + two + "}").activeLocationIndex, 1);
    EXPECT_EQ(loadText("{\"activeLocationIndex\":-3," + two + "}").activeLocationIndex, 0);
    EXPECT_EQ(loadText(R"({"activeLocationIndex":5,"locations":[]})").activeLocationIndex, 0);
    EXPECT_EQ(loadText(R"({"activeLocationIndex":5})").activeLocationIndex, 0);
    // Entries left out do not move it off the place the file names.
    EXPECT_EQ(loadText(R"({"activeLocationIndex":1,"locations":[7,{"name":"A"},{"name":"B"}]})").activeLocationIndex, 0);
    EXPECT_EQ(loadText(R"({"activeLocationIndex":1,"locations":[{"name":"A"},7,{"name":"B"}]})").activeLocationIndex, 0);
    EXPECT_EQ(loadText(R"({"activeLocationIndex":3,"locations":[7,{"name":"A"},{"name":"B"}]})").activeLocationIndex, 1);
}

TEST_F(ConfigTest, LocationsInEveryJsonShape) {
    Config nul = loadText(R"({"locations":null})");
    EXPECT_TRUE(nul.locations.empty());
    Config obj = loadText(R"({"locations":{"b":{"name":"Second"},"a":{"name":"First"}}})");
    ASSERT_EQ(obj.locations.size(), 2u);
    EXPECT_EQ(obj.locations[0].name, "First");
    Config partial = loadText(R"({"locations":[{"name":"X","longitude":3}]})");
    ASSERT_EQ(partial.locations.size(), 1u);
    EXPECT_EQ(partial.locations[0].latitude, 0.0);
    EXPECT_EQ(partial.locations[0].longitude, 3.0);
    EXPECT_FALSE(partial.locations[0].isDefault);
    EXPECT_FALSE(partial.locations[0].customLabel);
    Config trailing = loadText(R"({"locations":[{"name":"T"}]} trailing garbage)");
    EXPECT_EQ(trailing.locations.size(), 1u);
}

TEST_F(ConfigTest, BadFilesLoadAsFarAsTheyReadAndAreKept) {
    struct Case {
        const char* text;
        bool useFahrenheit;  // expected
        int windUnit;
    } cases[] = {
        {"", true, 0},
        {"{\"settings\":{\"windUnit\":3,\"useFahr", true, 0},  // truncated
        {"\x89PNG\r\n\x1a\n\x00\x00" "binary", true, 0},
        {R"({"settings":{"useFahrenheit":1,"windUnit":2}})", true, 0},  // fails at first key
        {R"({"settings":{"useFahrenheit":false,"windUnit":2,"alertGustKmh":true}})", false, 2},
        {R"({"settings":[1,2]})", true, 0},
        {R"([1,2,3])", true, 0},
        {R"(null)", true, 0},
        {R"({"settings":{"windUnit":1e300}})", true, 0},
        // Whole numbers past the int range never wrap into a value.
        {R"({"settings":{"useFahrenheit":false,"windUnit":2,"miniOpacityPct":30000000000}})", false, 2},
        {R"({"settings":{"useFahrenheit":false,"windUnit":2,"windowW":-30000000000}})", false, 2},
        {R"({"settings":{"useFahrenheit":false,"windUnit":2,"themeId":2147483648}})", false, 2},
        {R"({"settings":{"useFahrenheit":false,"windUnit":18446744073709551615}})", false, 0},
        {R"({"settings":{"useFahrenheit":false},"activeLocationIndex":4294967296})", false, 0},
        {R"({"settings":{"useFahrenheit":false},"locations":[{"name":"A","latitude":"45"}]})", false, 0},
        {R"({"settings":{"useFahrenheit":false},"locations":3})", false, 0},
        {R"({"settings":{"useFahrenheit":false},"locations":[{"name":null}]})", false, 0},
    };
    std::vector<std::string> kept;  // bad starts in a row: a copy each, the newest five kept
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        // The binary case holds NUL bytes: take its full literal length.
        const std::string text =
            k.text[0] == '\x89' ? std::string(k.text, sizeof "\x89PNG\r\n\x1a\n\x00\x00" "binary" - 1)
                                : std::string(k.text);
        Config c = loadText(text);
        EXPECT_EQ(c.useFahrenheit, k.useFahrenheit);
        EXPECT_EQ(c.windUnit, k.windUnit);
        EXPECT_TRUE(c.locations.empty());
        EXPECT_EQ(c.activeLocationIndex, 0);
        const std::string copy = path() + ".bad" + (kept.empty() ? "" : "." + std::to_string(kept.size()));
        EXPECT_EQ(c.unreadable.copy, copy);
        EXPECT_EQ(readFile(copy), text);
        EXPECT_EQ(loadText(text).unreadable.copy, copy);  // the same file found again: no second copy
        c.save();  // the next save replaces the unreadable file...
        Config again;
        again.load();
        EXPECT_EQ(again.useFahrenheit, k.useFahrenheit);
        EXPECT_EQ(readFile(copy), text);  // ...which stays recoverable
        kept.push_back(copy);
    }
    for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(std::filesystem::exists(kept[i]), i + 5 >= kept.size()) << i;
}

// A file that may not be read, or that does not read and cannot be copied,
// is left as it is for the rest of the run: every save says why.
TEST_F(ConfigTest, AFileNotReadOrNotCopiedIsNeverReplaced) {
    const struct {
        const char* text;
        unsigned fileMode, folderMode;
        const char* error;
    } rows[] = {{R"({"settings":{"windUnit":2},"locations":[{"name":"Home"}]})", 0000, 0700, "Permission denied"},
                {R"({"settings":{"windUnit":2},"locations":[7]})", 0600, 0500, ""}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        writeFile(path(), r.text);
        std::filesystem::permissions(path(), std::filesystem::perms(r.fileMode));
        std::filesystem::permissions(dataDir(), std::filesystem::perms(r.folderMode));
        Config c;
        {
            NoPermissionOverride denied;
            EXPECT_TRUE(c.load());
        }
        std::filesystem::permissions(dataDir(), std::filesystem::perms(0700));
        std::filesystem::permissions(path(), std::filesystem::perms(0600));
        EXPECT_EQ(c.unreadable.error, r.error);
        EXPECT_TRUE(c.locations.empty());
        EXPECT_TRUE(c.unreadable.copy.empty());
        EXPECT_FALSE(c.save());  // the folder may be written now: still not over the file
        EXPECT_NE(c.saveError.find("is left as it is"), std::string::npos) << c.saveError;
        EXPECT_EQ(readFile(path()), r.text);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dataDir()), {}), 1);
    }
}

TEST_F(ConfigTest, FailedPlaceKeepsTheSavedPlacesInTheBadFile) {
    const std::string text = R"({"settings":{"windUnit":2},"activeLocationIndex":3,"locations":)"
                             R"([{"name":"Home","latitude":1.5},7,{"name":"Cabin","latitude":"oops"},{"name":"Lake"}]})";
    Config c = loadText(text);
    ASSERT_EQ(c.locations.size(), 2u);
    EXPECT_EQ(c.locations[1].name, "Lake");
    EXPECT_EQ(c.activeLocationIndex, 1);
    EXPECT_EQ(c.windUnit, 2);
    EXPECT_EQ(c.unreadable.placesSkipped, 2);
    c.save();
    EXPECT_EQ(readFile(path() + ".bad"), text);
}

TEST_F(ConfigTest, FailedSaveLeavesTheOldFileWhole) {
    Config c;
    c.save();
    const std::string before = readFile(path());
    // A folder where the temporary file goes makes every write fail, even as root.
    std::filesystem::create_directory(path() + ".tmp");
    c.windUnit = 3;
    EXPECT_FALSE(c.save());
    EXPECT_EQ(c.saveError, "Is a directory");
    EXPECT_EQ(readFile(path()), before);
    std::filesystem::remove(path() + ".tmp");
    EXPECT_TRUE(c.save() && c.saveError.empty());
}

TEST_F(ConfigTest, SaveWhereAFileBlocksTheFolderDoesNotThrow) {
    writeFile(tmp_.path() + "/Nimbrel", "not a folder");
    Config c;
    EXPECT_FALSE(c.save());
    EXPECT_EQ(c.saveError, "Not a directory");
    EXPECT_TRUE(c.load());
}

}  // namespace
}  // namespace nbr
