// The settings window: every control writes its setting at once and asks the
// application to save and re-apply; "Save & Close" saves once more.
#include "foundation/CrashHandler.h"
#include "foundation/Logger.h"
#include "foundation/OsIntegration.h"
#include "ui/Panel_Settings.h"
#include "ui/Panel_Status.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <algorithm>

namespace nbr {

namespace {

const char* const kTemps[] = {"Fahrenheit", "Celsius"};
const char* const kWinds[] = {"mph", "km/h", "m/s", "knots"};
const char* const kPressures[] = {"inHg", "hPa"};
const char* const kPrecips[] = {"inches", "mm / cm"};
const char* const kThemes[] = {"Dark (Tovin)", "Light"};
const char* const kMiniStats[] = {"hi/lo + rain", "feels like + wind", "humidity + dew"};
const char* const kNotifyModes[] = {"As they happen", "Quiet hours", "Daily digest"};

// A combo over a table-indexed setting; a stored value outside the table
// shows (and counts as) the first entry.
template <size_t N>
bool tableCombo(const char* label, int& field, const char* const (&items)[N], float width) {
    int index = panel::tableIndex(field, static_cast<int>(N));
    if (width != 0) ImGui::SetNextItemWidth(width);  // -FLT_MIN: the full width
    const bool picked = ImGui::Combo(label, &index, items, static_cast<int>(N));
    draw::noteItem(label);
    if (!picked) return false;
    field = index;
    return true;
}

// An "h" and "m" entry for a minute of the day, its fields starting at
// `fieldX`; true when the field changed.
bool timeRow(const char* label, int& field, float fieldX, float width) {
    ImGui::PushID(label);
    int h = field / 60, m = field % 60;
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(label);
    draw::noteItem(label);
    ImGui::SameLine(fieldX);
    ImGui::SetNextItemWidth(width);
    ImGui::InputInt("h", &h, 0, 0);
    draw::noteItem("h");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(width);
    ImGui::InputInt("m", &m, 0, 0);
    draw::noteItem("m");
    ImGui::PopID();
    const int minutes = panel::timeRowMinutes(h, m);
    if (minutes == field) return false;
    field = minutes;
    return true;
}

}  // namespace

void UIRenderer::renderSettingsPopup() {
    bool open = true, opened = false;
    const bool shown = beginModal("Settings", 370, 700, &open, &opened);
    if (opened) {
        const ImGuiViewport* vp = ImGui::GetMainViewport();
        settingsWinW = static_cast<int>(vp->Size.x);
        settingsWinH = static_cast<int>(vp->Size.y);
        settingsAutostart = os::autostartEnabled();
    }
    if (!shown) {
        if (!open) showSettings = false;
        return;
    }
    // Escape closes the window as its close box does (edits are kept), unless
    // a field being edited takes it.
    if (ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) && !ImGui::IsAnyItemActive() &&
        ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false)) {
        open = false;
        ImGui::CloseCurrentPopup();
    }
    const float fs = ImGui::GetFontSize() / 16.0f;
    Config& c = config;
    bool changed = false;
    const ImGuiStyle& style = ImGui::GetStyle();
    // The controls scroll; "Save & Close" stays in view below them, under
    // why the last save failed.
    const std::string saveFailure = panel::saveFailureText(c);
    const float failureH =
        saveFailure.empty()
            ? 0
            : ImGui::CalcTextSize(saveFailure.c_str(), nullptr, false, ImGui::GetContentRegionAvail().x).y +
                  style.ItemSpacing.y;
    ImGui::BeginChild("settingsBody",
                      ImVec2(0, -(ImGui::GetFrameHeightWithSpacing() + style.ItemSpacing.y + failureH)));
    const float comboWidth = std::max(0.48f * ImGui::GetContentRegionAvail().x, 130 * fs);
    const float numberWidth = std::min(comboWidth, 64 * fs + 2 * (ImGui::GetFrameHeight() + style.ItemInnerSpacing.x));

    ImGui::TextDisabled("Units");
    int temp = c.useFahrenheit ? 0 : 1;
    if (tableCombo("Temperature", temp, kTemps, comboWidth)) {
        c.useFahrenheit = temp == 0;
        changed = true;
    }
    changed |= tableCombo("Wind", c.windUnit, kWinds, comboWidth);
    changed |= tableCombo("Pressure", c.pressureUnit, kPressures, comboWidth);
    changed |= tableCombo("Precipitation", c.precipUnit, kPrecips, comboWidth);
    ImGui::Spacing();
    changed |= tableCombo("Theme", c.themeId, kThemes, comboWidth);
    changed |= ImGui::Checkbox("Crisp text", &c.crispFont);
    draw::tooltip("Sharper system font (DejaVu Sans Mono).\nUncheck for the classic pixel look.");
    changed |= ImGui::Checkbox("24-hour clock", &c.use24hClock);
    changed |= ImGui::Checkbox("Dates in 7-day row", &c.dailyShowDates);
    draw::tooltip("Show \"Tue 12\" instead of just \"Tue\"");

    ImGui::SetNextItemWidth(64 * fs);
    ImGui::InputInt("##winw", &settingsWinW, 0, 0);
    ImGui::SameLine(0, 4);
    ImGui::TextUnformatted("x");
    ImGui::SameLine(0, 4);
    ImGui::SetNextItemWidth(64 * fs);
    ImGui::InputInt("##winh", &settingsWinH, 0, 0);
    ImGui::SameLine();
    if (draw::button("Set size")) {
        const panel::SizeRequest r = panel::clampWindowRequest(settingsWinW, settingsWinH);
        settingsWinW = r.width;
        settingsWinH = r.height;
        actions.resizeWindow = true;
        actions.width = r.width;
        actions.height = r.height;
        c.windowW = r.width;
        c.windowH = r.height;
        changed = true;
    }
    ImGui::SameLine();
    ImGui::TextDisabled("Window");

    changed |= ImGui::Checkbox("Enable Alerts", &c.alertsEnabled);
    if (c.alertsEnabled) {
        changed |= ImGui::Checkbox("Rain-starting alerts", &c.rainAlertsEnabled);
        ImGui::Spacing();
        ImGui::TextDisabled("Alert thresholds");
        const panel::Threshold gust = panel::gustThreshold(c), swing = panel::swingThreshold(c),
                               snow = panel::snowThreshold(c);
        double v = gust.shown;
        ImGui::SetNextItemWidth(numberWidth);
        if (ImGui::InputDouble(gust.label.c_str(), &v, 5, 10, "%.0f")) {
            panel::setGustThreshold(c, v);
            changed = true;
        }
        v = swing.shown;
        ImGui::SetNextItemWidth(numberWidth);
        if (ImGui::InputDouble(swing.label.c_str(), &v, 1, 5, "%.0f")) {
            panel::setSwingThreshold(c, v);
            changed = true;
        }
        v = snow.shown;
        ImGui::SetNextItemWidth(numberWidth);
        if (ImGui::InputDouble(snow.label.c_str(), &v, 0.5, 1, "%.1f")) {
            panel::setSnowThreshold(c, v);
            changed = true;
        }
        draw::tooltip("0 = alert on any forecast snow");
        ImGui::Spacing();
        ImGui::TextDisabled("When to notify");
        changed |= tableCombo("##notifmode", c.notifyMode, kNotifyModes, -FLT_MIN);
        const float timeWidth = 54 * fs;
        const float fieldX = std::max(110.0f, draw::textWidth("Quiet until") + style.ItemSpacing.x);
        if (c.notifyMode == 1) {
            changed |= timeRow("Quiet from", c.quietStartMinute, fieldX, timeWidth);
            changed |= timeRow("Quiet until", c.quietEndMinute, fieldX, timeWidth);
        } else if (c.notifyMode == 2) {
            changed |= timeRow("Digest at", c.digestMinute, fieldX, timeWidth);
        }
    }

    ImGui::Spacing();
    bool autostart = settingsAutostart;
    if (ImGui::Checkbox("Launch at startup", &autostart))
        settingsAutostart = os::setAutostart(autostart) ? autostart : os::autostartEnabled();
    changed |= ImGui::Checkbox("Start Minimized", &c.startMinimized);
    changed |= ImGui::Checkbox("Start in mini mode", &c.startInMini);
    draw::tooltip("Launch as the small always-on-top strip\n(the Mini button toggles it back)");

    ImGui::Spacing();
    ImGui::TextDisabled("Mini strip");
    ImGui::SetNextItemWidth(comboWidth);
    changed |= ImGui::SliderInt("Opacity", &c.miniOpacityPct, 40, 100, "%d%%");
    changed |= ImGui::Checkbox("Click-through", &c.miniClickThrough);
    draw::tooltip("Clicks pass through the strip to whatever is\nunder it. To leave mini mode, use the tray\nicon (Show).");
    changed |= tableCombo("Second line", c.miniStat, kMiniStats, comboWidth);
    draw::tooltip("Imminent rain always takes over this line");

    ImGui::Spacing();
    ImGui::TextDisabled("Radar");
    ImGui::SetNextItemWidth(comboWidth);
    changed |= ImGui::SliderInt("Start zoom", &c.radarZoom, 3, 12, "%d");
    draw::tooltip("5 = regional, 8+ = city scale\n(radar imagery is sharpest at 3-7)");
    changed |= ImGui::Checkbox("Auto-play animation", &c.radarAutoplay);
    int poll = c.foregroundPollMinutes;
    ImGui::SetNextItemWidth(numberWidth);
    if (ImGui::InputInt("Refresh every (min)", &poll, 5, 15)) {
        c.foregroundPollMinutes = panel::clampPollMinutes(poll);
        changed = true;
    }
    changed |= ImGui::Checkbox("Learn locations", &c.historyEnabled);
    draw::tooltip("Log conditions & forecasts to disk and use them\nto tune future forecasts for each location");
    int rotate = c.carouselSeconds;
    ImGui::SetNextItemWidth(numberWidth);
    if (ImGui::InputInt("Sky rotate (s, 0=off)", &rotate, 1, 5)) {
        c.carouselSeconds = panel::clampCarouselSeconds(rotate);
        changed = true;
    }

    ImGui::Spacing();
    ImGui::Separator();
    ImGui::TextDisabled("Diagnostics");
    const std::string& logDir = Log::dir();
    const std::string& crashDir = crash::dir();
    if (!logDir.empty()) {
        if (draw::smallButton("Open logs")) os::openFolder(logDir);
        ImGui::SameLine();
    }
    if (!crashDir.empty() && draw::smallButton("Open crash reports")) os::openFolder(crashDir);
    if (logDir.empty() && crashDir.empty()) ImGui::TextDisabled("(not available)");

    ImGui::Spacing();
    ImGui::Separator();
    ImGui::PushStyleColor(ImGuiCol_Text, style.Colors[ImGuiCol_TextDisabled]);
    ImGui::TextWrapped("%s", "Data: weather/air quality by Open-Meteo (CC BY 4.0); alerts & discussion by US NWS; tides "
                             "by NOAA; radar by RainViewer; basemap by Natural Earth.");
    ImGui::PopStyleColor();
    ImGui::EndChild();
    ImGui::Spacing();
    if (!saveFailure.empty()) draw::text(saveFailure, panel::Tone::Error, true);
    // A save that fails keeps the window open, saying why.
    if (draw::button("Save & Close") && c.save()) {
        showSettings = false;
        ImGui::CloseCurrentPopup();
    }
    if (changed) actions.settingsChanged = true;
    ImGui::EndPopup();
    if (!open) showSettings = false;
}

}  // namespace nbr
