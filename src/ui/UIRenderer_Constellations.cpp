// The constellation guide: what is in season tonight, best placed first, as
// pictures from the constellation atlases with facts and article links.
#include "foundation/OsIntegration.h"
#include "ui/Panel_Constellations.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <algorithm>

namespace nbr {

void UIRenderer::renderStarsWindow(const WeatherData& data) {
    if (!starFactsRequested && starFacts.empty()) {
        actions.fetchStarFacts = true;
        starFactsRequested = true;
    }
    bool open = true;
    if (beginModal("Constellation Guide", 660, 560, &open)) {
        const panel::StarGuide g = panel::starGuide(data, config, skyMinute());
        draw::text(g.header, panel::Tone::Normal, true);
        draw::text(g.subheader, panel::Tone::Dim, true);
        ImGui::Separator();
        // Room below the grid for the footer's wrapped lines and its separator.
        const float footerH = g.poorSky ? ImGui::CalcTextSize(g.footer.c_str(), nullptr, false,
                                                               ImGui::GetContentRegionAvail().x).y +
                                              2 * ImGui::GetStyle().ItemSpacing.y + 1
                                        : 0.0f;
        ImGui::BeginChild("starsGrid", ImVec2(0, -footerH), false);
        if ((constellationAtlas.id != 0 || constellationAtlas2.id != 0) && ImGui::BeginTable("stars", 3)) {
            for (const panel::StarRow& r : g.rows) {
                const Constellation& c = *r.c;
                ImGui::TableNextColumn();
                ImGui::PushID(c.name);
                ImGui::BeginGroup();
                const Texture& tex = c.atlas == 1 ? constellationAtlas2 : constellationAtlas;
                const float rows = c.atlas == 1 ? 5.0f : 8.0f;
                if (tex.id != 0) {
                    const float w = std::max(80.0f, ImGui::GetContentRegionAvail().x - 8);
                    const float aspect = (tex.height / rows) / (tex.width / 7.0f);
                    ImGui::Image(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(tex.id)), ImVec2(w, w * aspect),
                                 ImVec2(c.col / 7.0f, c.row / rows), ImVec2((c.col + 1) / 7.0f, (c.row + 1) / rows),
                                 ImVec4(1, 1, 1, panel::starTintAlpha(r.altitude, g.poorSky)), ImVec4(0, 0, 0, 0));
                }
                ImGui::Text("%s%s", c.name, g.poorSky ? " *" : "");
                ImGui::TextDisabled("%s", panel::starPositionText(r, g.timeLabel).c_str());
                ImGui::EndGroup();
                if (ImGui::IsItemHovered()) {
                    ImGui::BeginTooltip();
                    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + 340);
                    for (panel::CardLine l : panel::starTooltip(r, g.timeLabel, starFacts)) {
                        l.wrapped = false;  // the tooltip's own wrap width applies
                        drawCardLine(l);
                    }
                    ImGui::PopTextWrapPos();
                    ImGui::EndTooltip();
                }
                if (ImGui::IsItemClicked()) os::openUrl(panel::starArticleUrl(c));
                ImGui::PopID();
                ImGui::Spacing();
            }
            ImGui::EndTable();
        }
        ImGui::EndChild();
        if (g.poorSky) {
            ImGui::Separator();
            draw::text(g.footer, panel::Tone::Dim, true);
        }
        ImGui::EndPopup();
    }
    if (!open) showStars = false;
}

}  // namespace nbr
