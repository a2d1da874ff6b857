// The current-conditions column: header with icon, temperature and advice,
// then the metrics grid, pressure and sun lines.
#include "model/DayScores.h"
#include "model/WeatherCodes.h"
#include "ui/Panel_Current.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <algorithm>

namespace nbr {

void UIRenderer::renderCurrentConditions(const WeatherData& data) {
    if (!panel::hasCurrentConditions(data)) return;
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float lineH = ImGui::GetTextLineHeightWithSpacing();
    const bool icon = weatherIcons.id != 0 && weatherCodeToIconCell(data.weatherCode, night) >= 0;
    const float iconH = icon ? std::clamp(0.4f * avail.x, 80.0f, 116.0f) : ImGui::GetTextLineHeight();
    const std::string takeaway = dailyTakeaway(data, todayEntry, placeClock(data), frameSecond, config.useFahrenheit);
    const float textH = ImGui::CalcTextSize(takeaway.c_str(), nullptr, false, avail.x).y;
    const float asOfH = panel::conditionsAsOf(data, config, frameSecond).empty() ? 0 : lineH;
    const float headH = 2 * ImGui::GetStyle().ItemSpacing.y + iconH + lineH + asOfH + textH + lineH + 8;

    if (avail.y - 60 > headH) {
        ImGui::BeginChild("curHead", ImVec2(0, headH), false, ImGuiWindowFlags_NoScrollbar);
        renderCurrentHeader(data);
        ImGui::EndChild();
        ImGui::Separator();
        ImGui::BeginChild("curMetrics", ImVec2(0, 0), false);
        renderCurrentMetrics(data);
        ImGui::EndChild();
    } else {
        ImGui::BeginChild("curAll", ImVec2(0, 0), false);
        renderCurrentHeader(data);
        ImGui::Spacing();
        ImGui::Separator();
        ImGui::Spacing();
        renderCurrentMetrics(data);
        ImGui::EndChild();
    }
}

void UIRenderer::renderCurrentHeader(const WeatherData& data) {
    ImGui::Spacing();
    const float w = ImGui::GetContentRegionAvail().x;
    if (weatherIcons.id != 0 && weatherCodeToIconCell(data.weatherCode, night) >= 0) {
        const float s = std::clamp(0.4f * w, 80.0f, 116.0f);
        ImGui::SetCursorPosX(ImGui::GetCursorPosX() + std::max(0.0f, (w - 1.25f * s) / 2));
        drawWeatherIcon(data.weatherCode, night, s);
    } else {
        draw::text(conditionText(data.weatherCode));
    }
    ImGui::Spacing();
    draw::text(formatTemp(data.temperature));
    ImGui::SameLine();
    draw::text(panel::feelsLikeText(data, config), panel::Tone::Dim);
    // Conditions kept past their hour say when they held.
    const std::string asOf = panel::conditionsAsOf(data, config, frameSecond);
    if (!asOf.empty()) draw::text(asOf, panel::Tone::Amber);
    else if (const int64_t from = conditionsAsOfFrom(data)) changesAt(from);
    const panel::Line advice = panel::currentAdvice(data, todayEntry, config, frameSecond);
    draw::text(advice.text, advice.tone, true);
}

void UIRenderer::renderCurrentMetrics(const WeatherData& data) {
    const std::vector<panel::Line> metrics = panel::currentMetrics(data, config);
    if (ImGui::BeginTable("curmetrics", 2, ImGuiTableFlags_SizingStretchSame)) {
        for (const panel::Line& m : metrics) {
            ImGui::TableNextColumn();
            draw::fittedText(m.text, m.tone);
        }
        ImGui::EndTable();
    }
    const std::string pressure = panel::pressureLine(data, config);
    if (!pressure.empty()) {
        draw::text(pressure, panel::Tone::Normal, true);
        const std::string warning = panel::pressureWarning(data);
        if (!warning.empty()) draw::text(warning, panel::Tone::Amber, true);
    }
    const std::string sun = panel::sunLine(data, todayEntry, config);
    if (!sun.empty()) {
        ImGui::Spacing();
        draw::text(sun);
    }
    const std::string daylight = panel::daylightLine(todayEntry);
    if (!daylight.empty()) draw::text(daylight);
}

}  // namespace nbr
