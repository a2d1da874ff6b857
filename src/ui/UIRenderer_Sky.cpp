// The sky carousel (tab row, rotation, card region) and the Sky card.
#include "ui/Panel_Forecast.h"
#include "ui/Panel_Sky.h"
#include "ui/Theme.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nbr {

namespace {
constexpr float kMoonMinSize = 76.0f;
}

void UIRenderer::renderSkyCarousel(const WeatherData& data) {
    const std::vector<panel::SkyTab> tabs = panel::skyTabs(data, skyMinute());
    panel::CarouselState s{carouselIndex, carouselAutoRotate, carouselTimer};
    panel::clampCarouselIndex(s, tabs.size());
    // The turn is decided before anything is drawn, so the frame that makes
    // it shows the new card (a frame equal to the one on screen is followed
    // by none). The card's hover is the one noted in the last frame.
    panel::advanceCarousel(s, tabs.size(), config.carouselSeconds, carouselHovered, ImGui::GetIO().DeltaTime);
    const int n = static_cast<int>(tabs.size());
    // One row of tabs. When they do not all fit, the row shows a run of them
    // with the selected one, and arrows step to the card before or after.
    const ImGuiStyle& style = ImGui::GetStyle();
    const float padX = 2 * style.FramePadding.x, gap = style.ItemSpacing.x;
    std::vector<std::string> labels;
    std::vector<float> widths;
    for (const panel::SkyTab& t : tabs) {
        char label[24];
        std::snprintf(label, sizeof label, "[ %s ]", t.label);
        labels.emplace_back(label);
        widths.push_back(draw::textWidth(label) + padX);
    }
    const bool showAuto = !s.autoRotate && n > 1;
    float room = ImGui::GetContentRegionAvail().x - (showAuto ? draw::textWidth("[auto]") + padX + gap : 0);
    float all = 0;  // the whole row, summed as tabRun sums it
    for (size_t i = 0; i < widths.size(); ++i) all += widths[i] + (i > 0 ? gap : 0);
    const bool stepped = all > room;
    if (stepped) room -= 2 * (draw::textWidth("<") + padX + gap);
    const panel::TabRun run = panel::tabRun(widths, gap, room, s.index, carouselFirstTab);
    if (stepped) {
        if (draw::smallButton("<")) panel::selectCarouselTab(s, (s.index + n - 1) % n);
        draw::tooltip("Previous card");
        ImGui::SameLine();
    }
    carouselFirstTab = run.first;
    for (int i = run.first; i < run.first + run.count; ++i) {
        if (i > run.first) ImGui::SameLine();
        const bool selected = i == s.index;
        if (selected) {
            ImGui::PushStyleColor(ImGuiCol_Text, theme::Amber);
            // The selected tab sits on the window's own fill, where its amber
            // label reads; a tab button's fill is too close to amber.
            ImGui::PushStyleColor(ImGuiCol_Button, theme::Bg);
            ImGui::PushStyleColor(ImGuiCol_ButtonHovered, theme::Surface);
        }
        if (draw::smallButton(labels[static_cast<size_t>(i)].c_str())) panel::selectCarouselTab(s, i);
        if (selected) ImGui::PopStyleColor(3);
    }
    if (stepped) {
        ImGui::SameLine();
        if (draw::smallButton(">")) panel::selectCarouselTab(s, (s.index + 1) % n);
        draw::tooltip("Next card");
    }
    if (showAuto) {
        ImGui::SameLine();
        if (draw::smallButton("[auto]")) panel::resumeCarouselRotation(s);
        draw::tooltip("Resume auto-rotate");
    }
    // The card gets the rest of the column, and at least the height of the
    // smallest moon picture: in a short window the column scrolls to it.
    // Each card has a region of its own, so the frame that turns to a card
    // takes the scroll bar and position from that card's content as last
    // shown, not from the card before.
    const int kind = tabs[static_cast<size_t>(s.index)].kind;
    ImGui::PushID(kind);
    ImGui::BeginChild("skyBody", ImVec2(0, std::max(ImGui::GetContentRegionAvail().y, kMoonMinSize)), false);
    carouselHovered = ImGui::IsWindowHovered(ImGuiHoveredFlags_ChildWindows);
    renderSkyCard(kind, data);
    ImGui::EndChild();
    ImGui::PopID();
    carouselIndex = s.index;
    carouselAutoRotate = s.autoRotate;
    carouselTimer = s.timer;
}

namespace {

// A moon drawn with lines when the phase atlas is missing: dark disc, lit
// part as horizontal chords, outline.
void drawMoonShape(const MoonInfo& m, float size) {
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const float r = size / 2;
    const ImVec2 p = ImGui::GetCursorScreenPos();
    const ImVec2 c(p.x + r, p.y + r);
    dl->AddCircleFilled(c, r, IM_COL32(42, 30, 24, 255), 48);
    const float k = std::cos(2.0f * 3.14159265f * static_cast<float>(m.phase));
    const ImU32 lit = ImGui::GetColorU32(theme::Accent);
    for (int i = 0; i <= 64; ++i) {
        const float dy = i * size / 64 - r;
        const float half = std::sqrt(std::max(r * r - dy * dy, 0.0f));
        if (m.waxing) {
            if (k * half + 0.5f < half) dl->AddLine(ImVec2(c.x + k * half, c.y + dy), ImVec2(c.x + half, c.y + dy), lit, 2.0f);
        } else if (-k * half > 0.5f - half) {
            dl->AddLine(ImVec2(c.x - half, c.y + dy), ImVec2(c.x - k * half, c.y + dy), lit, 2.0f);
        }
    }
    dl->AddCircle(c, r, ImGui::GetColorU32(theme::Muted), 48, 1.5f);
    ImGui::Dummy(ImVec2(size, size));
}

}  // namespace

void UIRenderer::renderSkyCardSky(const WeatherData& data) {
    const panel::SkyCardView view = panel::skyCard(data, config, skyMinute());
    const float size = std::clamp(0.66f * ImGui::GetContentRegionAvail().y, kMoonMinSize, 150.0f);
    if (moonPhases.id != 0 && view.moon.phaseIndex < 8) drawMoonSprite(view.moon.phaseIndex, size);
    else drawMoonShape(view.moon, size);
    draw::noteItem("moon");
    ImGui::SameLine();
    ImGui::BeginGroup();
    for (const panel::CardLine& l : view.lines) {
        if (!drawCardLine(l)) continue;
        if (l.click == panel::CardClick::MeteorLine && panel::countMeteorClick(meteorClicks)) spawnMeteorShower();
        if (l.click == panel::CardClick::StarsLine) showStars = true;
    }
    ImGui::EndGroup();
    // The tracker goes below the text when the rest of the line is too narrow
    // for it, rather than being cut by the card's edge.
    draw::sameLineIfFits(panel::sunTrackerMinWidth(ImGui::GetTextLineHeight()));
    renderSunTracker(data);
}

}  // namespace nbr
