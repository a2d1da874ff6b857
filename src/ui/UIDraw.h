// Small drawing helpers shared by the renderer's panel files.
#pragma once

#include "ui/PanelText.h"
#include "ui/Theme.h"

#include <imgui.h>

#include <algorithm>
#include <string>
#include <vector>

namespace nbr::draw {

inline ImVec4 toneColour(panel::Tone t) {
    switch (t) {
    case panel::Tone::Dim: return ImGui::GetStyle().Colors[ImGuiCol_TextDisabled];
    case panel::Tone::Accent: return theme::Accent;
    case panel::Tone::Live: return theme::Live;
    case panel::Tone::Amber: return theme::Amber;
    case panel::Tone::Error: return theme::Error;
    default: return ImGui::GetStyle().Colors[ImGuiCol_Text];
    }
}

// Text drawn as it stands (never read as a format), in its tone.
inline void text(const std::string& s, panel::Tone tone = panel::Tone::Normal, bool wrap = false) {
    ImGui::PushStyleColor(ImGuiCol_Text, toneColour(tone));
    if (wrap) ImGui::PushTextWrapPos(0.0f);
    ImGui::TextUnformatted(s.c_str(), s.c_str() + s.size());
    if (wrap) ImGui::PopTextWrapPos();
    ImGui::PopStyleColor();
}

inline void lines(const std::vector<panel::Line>& ls) {
    for (const panel::Line& l : ls) {
        if (l.separatorBefore) ImGui::Separator();
        text(l.text, l.tone);
    }
}

inline float textWidth(const std::string& s) { return ImGui::CalcTextSize(s.c_str(), s.c_str() + s.size()).x; }

// Text centred in the available width of the current line.
inline void centred(const std::string& s, panel::Tone tone = panel::Tone::Normal) {
    const float w = ImGui::GetContentRegionAvail().x;
    ImGui::SetCursorPosX(ImGui::GetCursorPosX() + std::max(0.0f, (w - textWidth(s)) / 2.0f));
    text(s, tone);
}

// Same line when an item `width` wide still fits in the window, else on a
// new line (narrow windows and wide fonts).
inline void sameLineIfFits(float width) {
    ImGui::SameLine();
    if (ImGui::GetContentRegionAvail().x < width) ImGui::NewLine();
}

inline void tooltip(const char* s) {
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s", s);
}

}  // namespace nbr::draw
