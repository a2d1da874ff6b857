#include "ui/UIRenderer.h"

#include "model/WeatherCodes.h"
#include "ui/Panel_Forecast.h"
#include "ui/Panel_Places.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

namespace nbr {

UIRenderer::UIRenderer(LocationManager& lm, Config& cfg) : locationManager(lm), config(cfg) {}

UIRenderer::~UIRenderer() {
    freeTexture(weatherIcons);
    freeTexture(moonPhases);
    freeTexture(constellationAtlas);
    freeTexture(constellationAtlas2);
    for (Texture& t : meteorSprites) freeTexture(t);
}

UIActions UIRenderer::consumeActions() {
    UIActions out = std::move(actions);
    actions = UIActions{};
    return out;
}

void UIRenderer::setSearchResults(const std::vector<GeoLocation>& results, const std::string& failure) {
    searchResults = results;
    searchError = failure;
    searchAnswered = true;
    searchesPending = std::max(0, searchesPending - 1);
}

BodyLayout layoutBody(float availX, float availY, const BodyMetrics& m) {
    BodyLayout l;
    const float sp = m.itemSpacingY;
    // Below the body: a separator and the status bar's framed line.
    l.H = std::max(200.0f, availY - m.frameHeight - 2.0f * sp);
    // What the 7-day panel holds: its title, a spacing, and the table's rows
    // of a day name, the high/low with its confidence word below, the icon
    // (as wide as the column allows) and the rain chance.
    const float column = (availX - 2.0f * m.windowPaddingX) / 7.0f - 2.0f * m.cellPaddingX;
    const float icon = std::min(0.74f * column, 118.0f);
    l.dailyH = 2.0f * m.windowPaddingY + 5.0f * m.textHeight + 3.0f * sp + 8.0f * m.cellPaddingY + icon + 2.0f;
    l.top = l.H - l.dailyH;
    if (l.top < 340.0f) {
        l.dailyH = std::max(185.0f, l.H - 340.0f);
        l.top = l.H - l.dailyH;
    }
    l.top = std::max(160.0f, l.top - 2.0f * sp - 2.0f);
    // Regions take whole pixels; rounding down keeps the rows inside the window.
    l.top = std::floor(l.top);
    l.dailyH = std::floor(l.dailyH);
    return l;
}

void UIRenderer::render(const WeatherData& data, const std::vector<WeatherAlert>& visibleAlerts,
                        const std::vector<Notification>& notifications, bool refreshing, const std::string& status) {
    dataFetchedAt = data.fetchedAt;
    skill = &data.skill;
    record = &data;
    frameSecond = wallSeconds();
    timedChange = panel::nextMinuteStart(frameSecond, placeClock(data).offsetAt(frameSecond));
    night = panel::isNightAt(data, frameSecond);
    todayEntry = todayOf(data, frameSecond);

    const ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(vp->Pos);
    ImGui::SetNextWindowSize(vp->Size);
    // The window and the dashboard's panels have the colour the frame is
    // cleared to, so their fills are not drawn again: a software renderer
    // would fill every pixel of each.
    ImGui::SetNextWindowBgAlpha(0);
    ImGui::Begin("Nimbrel", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoBringToFrontOnFocus);

    if (miniMode) {
        renderMiniStrip(data, refreshing);
        ImGui::End();
        renderMeteorEffect();
        return;
    }

    // Unread notifications, for the places bar's mailbox badge.
    const auto unread = std::count_if(notifications.begin(), notifications.end(),
                                      [](const Notification& n) { return !n.acknowledged; });
    if (locationManager.hasLocations()) {
        renderLocationBar(data, static_cast<int>(unread));
        renderBody(data);
    } else {
        renderFirstRunPrompt();
    }
    renderStatusBar(refreshing, status);

    // The library shows no modal when two open in the same frame, so only
    // the first one asked for is drawn; the others wait for it to close.
    bool modal = false;
    if (showSearch && !modal) {
        renderSearchPopup();
        modal = true;
    }
    if (showEdit && !modal) {
        renderEditPopup();
        modal = true;
    }
    if (showNotifications && !modal) {
        renderNotificationCenter(notifications, data);
        modal = true;
    }

    // Windows; only the first flagged modal opens in a frame.
    if (showSettings) renderSettingsPopup();
    else if (showHistory) renderHistoryWindow(data);
    else if (showStars) renderStarsWindow(data);

    ImGui::End();
    renderToasts(visibleAlerts, data);
    renderMeteorEffect();
}

void UIRenderer::renderBody(const WeatherData& data) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const BodyLayout l = layoutBody(avail.x, avail.y,
                                    {ImGui::GetFrameHeight(), ImGui::GetTextLineHeight(), style.ItemSpacing.y,
                                     style.WindowPadding.x, style.WindowPadding.y, style.CellPadding.x,
                                     style.CellPadding.y});
    ImGui::PushStyleColor(ImGuiCol_ChildBg, ImVec4(0, 0, 0, 0));  // the window's colour, cleared already
    ImGui::BeginChild("current", ImVec2(std::max(230.0f, 0.34f * avail.x), l.top), true);
    renderCurrentConditions(data);
    ImGui::EndChild();
    ImGui::SameLine();
    ImGui::BeginChild("rightcol", ImVec2(0, l.top), true);
    const RecordClock clock = recordClock(data);
    // The record as of now: the hours from the one holding now, the days
    // from the place's date.
    const std::span<const HourlyForecast> hours = hoursFrom(data, frameSecond, 24);
    renderRunOut("24-Hour Forecast", panel::forecastRunOut(data.hourly.size(), hours.size(), "hours"));
    renderHourlyForecast(hours, clock);
    ImGui::Separator();
    renderSkyCarousel(data);
    ImGui::EndChild();
    ImGui::Separator();
    ImGui::BeginChild("dailywrap", ImVec2(0, l.dailyH), true);
    const std::span<const DailyForecast> days = daysFrom(data, frameSecond);
    renderRunOut("7-Day Forecast", panel::forecastRunOut(data.daily.size(), days.size(), "days"));
    renderDailyForecast(days, panel::placeToday(data, frameSecond), clock);
    ImGui::EndChild();
    ImGui::PopStyleColor();
}

void UIRenderer::drawWeatherIcon(int code, bool isNight, float size) {
    const int cell = weatherCodeToIconCell(code, isNight);
    if (cell < 0 || weatherIcons.id == 0) return;
    const int col = cell % 6, row = cell / 6;
    ImGui::Image(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(weatherIcons.id)),
                 ImVec2(1.25f * size, size), ImVec2(col / 6.0f, row / 5.0f),
                 ImVec2((col + 1) / 6.0f, (row + 1) / 5.0f));
}

void UIRenderer::drawMoonSprite(int phaseIndex, float size) {
    if (phaseIndex < 0 || phaseIndex > 7 || moonPhases.id == 0) return;
    const int col = phaseIndex % 5, row = phaseIndex / 5;
    ImGui::Image(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(moonPhases.id)),
                 ImVec2(0.9001082f * size, size), ImVec2(col / 5.0f, row / 3.0f),
                 ImVec2((col + 1) / 5.0f, (row + 1) / 3.0f));
}

}  // namespace nbr
