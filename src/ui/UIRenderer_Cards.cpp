// The data cards of the sky carousel, and the text items every card and
// window of this group is made of.
#include "ui/Panel_Cards.h"
#include "ui/Panel_Sky.h"
#include "ui/Theme.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

namespace nbr {

namespace {

void toneText(panel::CardTone tone, const std::string& text, bool wrapped) {
    using panel::CardTone;
    const ImVec4* colour = nullptr;
    switch (tone) {
    case CardTone::Normal: break;
    case CardTone::Disabled: colour = &ImGui::GetStyle().Colors[ImGuiCol_TextDisabled]; break;
    case CardTone::Live: colour = &theme::Live; break;
    case CardTone::Amber: colour = &theme::Amber; break;
    case CardTone::Error: colour = &theme::Error; break;
    case CardTone::Accent: colour = &theme::Accent; break;
    case CardTone::Dim: colour = &theme::Dim; break;
    }
    if (colour) ImGui::PushStyleColor(ImGuiCol_Text, *colour);
    if (wrapped) ImGui::PushTextWrapPos(0.0f);
    ImGui::TextUnformatted(text.c_str(), text.c_str() + text.size());
    if (wrapped) ImGui::PopTextWrapPos();
    if (colour) ImGui::PopStyleColor();
}

}  // namespace

bool UIRenderer::drawCardLine(const panel::CardLine& l) {
    if (l.separatorBefore) ImGui::Separator();
    if (l.spacingBefore) ImGui::Spacing();
    if (l.sameLine) ImGui::SameLine(0.0f, l.joined ? 0.0f : -1.0f);
    toneText(l.tone, l.text, l.wrapped);
    draw::noteItem(l.text.c_str());
    const bool hovered = ImGui::IsItemHovered();
    if (hovered && !l.tooltip.empty()) ImGui::SetTooltip("%s", l.tooltip.c_str());
    if (hovered && (!l.tipLines.empty() || !l.tipHistogram.empty())) {
        ImGui::BeginTooltip();
        for (size_t i = 0; i <= l.tipLines.size(); ++i) {
            if (i == l.tipHistogramAt && !l.tipHistogram.empty())
                ImGui::PlotHistogram(l.tipHistogramId.c_str(), l.tipHistogram.data(),
                                     static_cast<int>(l.tipHistogram.size()), 0, nullptr, FLT_MAX, FLT_MAX,
                                     ImVec2(l.tipHistogramWidth, l.tipHistogramHeight));
            if (i < l.tipLines.size()) drawCardLine(l.tipLines[i]);
        }
        ImGui::EndTooltip();
    }
    return ImGui::IsItemClicked();
}

void UIRenderer::drawCardLines(const std::vector<panel::CardLine>& lines) {
    for (const panel::CardLine& l : lines) drawCardLine(l);
}

void UIRenderer::drawCardTable(const char* id, const std::vector<panel::CardLine>& cells) {
    if (cells.empty() || !ImGui::BeginTable(id, 3, ImGuiTableFlags_SizingStretchSame)) return;
    for (const panel::CardLine& c : cells) {
        ImGui::TableNextColumn();
        drawCardLine(c);
    }
    ImGui::EndTable();
}

bool UIRenderer::beginModal(const char* name, float width, float height, bool* open, bool* justOpened) {
    const bool opening = !ImGui::IsPopupOpen(name);
    if (opening) ImGui::OpenPopup(name);
    if (justOpened) *justOpened = opening;
    const float fs = ImGui::GetFontSize() / 16.0f;
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(ImVec2(vp->Pos.x + vp->Size.x / 2, vp->Pos.y + vp->Size.y / 2), ImGuiCond_Appearing,
                            ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(width * fs, height * fs), ImGuiCond_FirstUseEver);
    // Never larger than the main window: the content scrolls instead.
    ImGui::SetNextWindowSizeConstraints(ImVec2(0, 0), vp->Size);
    return ImGui::BeginPopupModal(name, open);
}

void UIRenderer::renderSkyCardAir(const WeatherData& data) {
    const panel::TableCard card = panel::airCard(data);
    drawCardLines(card.head);
    drawCardTable("pollutants", card.cells);
    drawCardLines(card.foot);
}

void UIRenderer::renderSkyCardPollen(const WeatherData& data) {
    const panel::TableCard card = panel::pollenCard(data);
    drawCardLines(card.head);
    drawCardTable("pollen", card.cells);
    drawCardLines(card.foot);
}

void UIRenderer::renderSkyCardTides(const WeatherData& data) { drawCardLines(panel::tidesCard(data, config)); }
void UIRenderer::renderSkyCardRiver(const WeatherData& data) { drawCardLines(panel::riverCard(data, config)); }
void UIRenderer::renderSkyCardAlmanac(const WeatherData& data) {
    drawCardLines(panel::almanacCard(data, config, skyMinute()));
}
void UIRenderer::renderSkyCardTrends(const WeatherData& data) {
    drawCardLines(panel::trendsCard(data, config, skyMinute()));
}
void UIRenderer::renderSkyCardRecords(const WeatherData& data) {
    drawCardLines(panel::recordsCard(data, config, skyMinute()));
}
void UIRenderer::renderSkyCardPlan(const WeatherData& data) { drawCardLines(panel::planCard(data, skyMinute())); }
void UIRenderer::renderSkyCardQuakes(const WeatherData& data) { drawCardLines(panel::quakesCard(data)); }
void UIRenderer::renderSkyCardWinter(const WeatherData& data) {
    drawCardLines(panel::winterCard(data, config, skyMinute()));
}

void UIRenderer::renderSkyCardDiscussion(const WeatherData& data) {
    const panel::DiscussionCard card = panel::discussionCard(data, config);
    if (!card.officeLine.empty()) toneText(panel::CardTone::Disabled, card.officeLine, false);
    ImGui::BeginChild("afdScroll", ImVec2(0, 0), false, ImGuiWindowFlags_HorizontalScrollbar);
    ImGui::TextUnformatted(card.text->c_str(), card.text->c_str() + card.text->size());
    ImGui::EndChild();
}

void UIRenderer::renderSkyCard(int kind, const WeatherData& data) {
    switch (kind) {
    case panel::SkyAir: renderSkyCardAir(data); break;
    case panel::SkyDiscussion: renderSkyCardDiscussion(data); break;
    case panel::SkyAlmanac: renderSkyCardAlmanac(data); break;
    case panel::SkyTides: renderSkyCardTides(data); break;
    case panel::SkyPollen: renderSkyCardPollen(data); break;
    case panel::SkyRiver: renderSkyCardRiver(data); break;
    case panel::SkyTrends: renderSkyCardTrends(data); break;
    case panel::SkyRecords: renderSkyCardRecords(data); break;
    case panel::SkyPlan: renderSkyCardPlan(data); break;
    case panel::SkyQuakes: renderSkyCardQuakes(data); break;
    case panel::SkyWinter: renderSkyCardWinter(data); break;
    default: renderSkyCardSky(data); break;
    }
}

}  // namespace nbr
