#include "ui/UIRenderer.h"

#include "model/WeatherCodes.h"
#include "ui/Panel_Forecast.h"
#include "ui/Panel_Places.h"

#include <imgui.h>

#include <algorithm>

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

void UIRenderer::setSearchResults(const std::vector<GeoLocation>& results) { searchResults = results; }

bool isNightAt(long long epochSeconds, int utcOffsetSeconds) {
    const long long s = epochSeconds + utcOffsetSeconds;
    const long long hour = ((s % 86400) + 86400) % 86400 / 3600;
    return hour < 6 || hour > 18;
}

BodyLayout layoutBody(float availX, float availY, float frameHeightWithSpacing, float lineH, float cellPaddingY,
                      float itemSpacingY) {
    BodyLayout l;
    l.H = std::max(200.0f, availY - frameHeightWithSpacing - 6.0f);
    const float cellPadY2 = 2.0f * cellPaddingY;
    const float cell = std::min(availX / 7.0f * 0.74f, 118.0f);
    l.dailyH = 16.0f + cell + cellPadY2 + (lineH + 6.0f + 4.0f * (lineH + cellPadY2));
    l.top = l.H - l.dailyH;
    if (l.top < 340.0f) {
        l.dailyH = std::max(185.0f, l.H - 340.0f);
        l.top = l.H - l.dailyH;
    }
    l.top = std::max(160.0f, l.top - 2.0f * itemSpacingY - 2.0f);
    return l;
}

void UIRenderer::render(const WeatherData& data, const std::vector<WeatherAlert>& visibleAlerts,
                        const std::vector<Notification>& notifications, bool refreshing, const std::string& status) {
    dataFetchedAt = data.fetchedAt;
    skill = &data.skill;
    frameSecond = wallSeconds();
    timedChange = panel::nextMinuteStart(frameSecond, data.utcOffsetSeconds);
    night = isNightAt(frameSecond, data.utcOffsetSeconds);

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
        renderNotificationCenter(notifications);
        modal = true;
    }

    // Windows; only the first flagged modal opens in a frame.
    if (showSettings) renderSettingsPopup();
    else if (showHistory) renderHistoryWindow(data);
    else if (showStars) renderStarsWindow(data);

    ImGui::End();
    renderToasts(visibleAlerts, data.location.country);
    renderMeteorEffect();
}

void UIRenderer::renderBody(const WeatherData& data) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const BodyLayout l = layoutBody(avail.x, avail.y, ImGui::GetFrameHeightWithSpacing(),
                                    ImGui::GetTextLineHeightWithSpacing(), style.CellPadding.y, style.ItemSpacing.y);
    ImGui::PushStyleColor(ImGuiCol_ChildBg, ImVec4(0, 0, 0, 0));  // the window's colour, cleared already
    ImGui::BeginChild("current", ImVec2(std::max(230.0f, 0.34f * avail.x), l.top), true);
    renderCurrentConditions(data);
    ImGui::EndChild();
    ImGui::SameLine();
    ImGui::BeginChild("rightcol", ImVec2(0, l.top), true);
    renderHourlyForecast(data.hourly);
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
    renderSkyCarousel(data);
    ImGui::EndChild();
    ImGui::Separator();
    ImGui::BeginChild("dailywrap", ImVec2(0, l.dailyH), true);
    renderDailyForecast(data.daily);
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
