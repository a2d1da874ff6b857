// The dashboard's buttons and fields as the action record sees them: a GUI
// context without a window draws whole frames of every panel and window, and
// typed keys reach the real text fields.
#include "foundation/LocationManager.h"
#include "model/Utf8.h"
#include "service/WeatherService.h"
#include "ui/Theme.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <gtest/gtest.h>

#include <cstring>

namespace nbr {
namespace {

class DashboardActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ctx = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(1040, 760);
        io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
        for (int k = 0; k < ImGuiKey_COUNT; ++k) io.KeyMap[k] = 10 + k;
        unsigned char* px = nullptr;
        int w = 0, h = 0;
        io.Fonts->GetTexDataAsRGBA32(&px, &w, &h);
        theme::apply(theme::Dark);
    }
    void TearDown() override { ImGui::DestroyContext(ctx); }

    void frame(const WeatherData& d, const std::vector<WeatherAlert>& alerts = {},
               const std::vector<Notification>& notes = {}) {
        ImGui::GetIO().DeltaTime = 1.0f / 60;
        ImGui::NewFrame();
        ui.render(d, alerts, notes, false, "");
        ImGui::Render();
    }
    // One frame with a key held, then one with it released.
    void press(int key, const WeatherData& d) {
        ImGui::GetIO().KeysDown[key] = true;
        frame(d);
        ImGui::GetIO().KeysDown[key] = false;
        frame(d);
    }
    void savePlace(const std::string& name) {
        SavedLocation p;
        p.name = name;
        p.country = "US";
        p.latitude = 42.36;
        p.longitude = -71.06;
        config.locations.push_back(p);
    }

    static WeatherData fullRecord() {
        WeatherData d;
        d.location.name = "Boston";
        d.location.country = "US";
        d.time = "2026-12-07T10:15";
        d.temperature = 3.4;
        d.weatherCode = 61;
        d.pressureMsl = 1011;
        d.hasPressureTrend = true;
        d.pressureTrend3h = -4;
        d.uvIndex = 3;
        d.airQuality = {true, 120, 30, 40};
        d.station = {true, "KBOS", 3, 4, 10, 40, 10};
        d.fetchedAt = std::chrono::system_clock::now();
        for (int i = 0; i < 24; ++i) {
            HourlyForecast h;
            h.time = "2026-12-07T" + std::to_string(10 + i / 2) + ":00";
            h.temperature = i;
            h.precipitationProbability = i * 4;
            d.hourly.push_back(h);
        }
        for (int i = 0; i < 9; ++i) {
            DailyForecast f;
            f.date = "2026-12-" + std::to_string(10 + i);
            f.weatherCode = 3;
            f.sunrise = f.date + "T06:58";
            f.sunset = f.date + "T16:12";
            f.corrected = f.hasModelSpread = f.popConsensus = f.hasRunTrend = true;
            f.popMax = 80;
            d.daily.push_back(f);
        }
        return d;
    }

    ImGuiContext* ctx = nullptr;
    Config config;
    WeatherService service;
    LocationManager places{config, service};
    UIRenderer ui{places, config};
};

TEST_F(DashboardActionsTest, ButtonsFillTheRecordOnlyForEntriesThatMayBeUsed) {
    std::strcpy(ui.searchInput, "Oslo");
    ui.submitSearch();
    ui.submitSearch();  // two searches under way: the first answer leaves one
    ui.setSearchResults({});
    EXPECT_EQ(ui.searchWindowNote().text, "Searching...");
    ui.setSearchResults({GeoLocation{"Oslo", "NO", "Oslo", 59.9, 10.75, "Europe/Oslo", false}});
    ui.showSearch = true;
    ui.pickSearchResult(1);  // past the end
    ui.coordLatitude = 91;
    ui.addCoordinates();  // out of range
    ui.openEdit();        // nothing saved to edit
    EXPECT_FALSE(ui.consumeActions().addLocation);
    EXPECT_TRUE(ui.showSearch);
    EXPECT_FALSE(ui.showEdit);
    ui.pickSearchResult(0);
    UIActions a = ui.consumeActions();
    EXPECT_TRUE(a.addLocation);
    EXPECT_EQ(a.newLocation.timezone, "Europe/Oslo");
    EXPECT_FALSE(ui.consumeActions().addLocation);  // the record empties once taken

    std::string name;
    for (int i = 0; i < 60; ++i) name += "\xE2\x82\xAC";  // 180 bytes of three-byte characters
    savePlace(name);
    ui.openEdit();
    EXPECT_EQ(std::string(ui.editName).size(), 126u);  // 42 whole characters fit in 127 bytes
    ui.editLatitude = -91;
    ui.saveEdit();
    EXPECT_FALSE(ui.consumeActions().updateActive);
    EXPECT_TRUE(ui.showEdit);
}

TEST_F(DashboardActionsTest, TypedSearchInTheFirstRunPromptStaysInItsBuffer) {
    const WeatherData empty;
    frame(empty);
    press(10 + ImGuiKey_Tab, empty);  // Tab: focus the prompt's field
    std::string typed;
    for (int i = 0; i < 200; ++i) typed += "\xC3\xB8";  // ø, 400 bytes
    ImGui::GetIO().AddInputCharactersUTF8(typed.c_str());
    frame(empty);
    press(10 + ImGuiKey_Enter, empty);  // Enter
    const UIActions a = ui.consumeActions();
    ASSERT_FALSE(a.searchQuery.empty());
    EXPECT_LT(a.searchQuery.size(), sizeof ui.searchInput);
    EXPECT_EQ(utf8Valid(a.searchQuery), a.searchQuery);
    EXPECT_EQ(a.searchQuery.substr(0, 4), "\xC3\xB8\xC3\xB8");
    EXPECT_TRUE(ui.showSearch);
}

TEST_F(DashboardActionsTest, EveryPanelAndWindowDrawsWithoutAskingForAnything) {
    savePlace("Boston");
    savePlace("A place whose name goes on far longer than the bar has room for, 100% of it");
    const WeatherData d = fullRecord();
    WeatherAlert rule;
    rule.title = "Wind %s %n";  // never read as a format
    rule.message = "Gusts";
    rule.dayKey = "2026-12-07";
    WeatherAlert official = rule;
    official.official = true;
    official.id = "urn:1";
    official.severity = "Severe";
    std::vector<Notification> notes;
    for (int i = 0; i < 12; ++i) notes.push_back({i % 2 ? rule : official, std::chrono::system_clock::now(), i > 8});
    ui.setSearchResults({d.location, d.location});
    ui.detectError = "Couldn't detect location";
    ui.newerVersion = "9.9.9";

    for (int themeId : {0, 1}) {
        theme::apply(themeId == 1 ? theme::Light : theme::Dark);
        config.themeId = themeId;
        for (bool* window : {&ui.showSearch, &ui.showEdit, &ui.showNotifications}) {
            *window = true;
            ui.editLatitude = -91;
            for (int i = 0; i < 3; ++i) frame(d, {rule, official}, notes);
            *window = false;
            frame(d);
        }
        ui.showNotifications = true;
        frame(d, {}, {});  // an empty centre
        ui.showNotifications = false;
        ui.miniMode = true;
        frame(d);
        frame(WeatherData{});
        ui.miniMode = false;
        frame(WeatherData{});  // a place saved, nothing fetched yet
    }
    // The sun's arc, which the sky card places: by day, by night, and with
    // times it cannot use.
    WeatherData sky = d;
    for (const char* sunset : {"2026-12-10T23:59", "2026-12-10T00:01", "2026-12-10"}) {
        sky.daily[0].sunrise = "2026-12-10T00:00";
        sky.daily[0].sunset = sunset;
        ImGui::NewFrame();
        ImGui::Begin("sky");
        ui.renderSunTracker(sky);
        ImGui::End();
        ImGui::Render();
    }
    const UIActions a = ui.consumeActions();
    EXPECT_FALSE(a.refresh || a.locationChanged || a.addLocation || a.removeActive || a.updateActive ||
                 a.toggleRadar || a.toggleMini || a.markAllRead || a.clearNotifications || a.detectLocation);
    EXPECT_TRUE(a.searchQuery.empty());
    EXPECT_TRUE(a.acknowledgeKey.empty());
}

}  // namespace
}  // namespace nbr
