// Small drawing helpers shared by the renderer's panel files.
#pragma once

#include "model/Utf8.h"
#include "ui/PanelText.h"
#include "ui/Theme.h"

#include <imgui.h>

#include <algorithm>
#include <cstring>
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

// Wrapped lines break at spaces: a number is joined to the word after it
// (its unit) by a no-break space, so the two stay on one line.
inline std::string numbersWithUnits(std::string s) {
    for (size_t i = 1; i < s.size(); ++i)
        if (s[i] == ' ' && s[i - 1] >= '0' && s[i - 1] <= '9') s.replace(i, 1, "\xC2\xA0");
    return s;
}

// Text drawn as it stands (never read as a format), in its tone; wrapped at
// the window's edge when `wrap` is set.
inline void text(const std::string& s, panel::Tone tone = panel::Tone::Normal, bool wrap = false) {
    ImGui::PushStyleColor(ImGuiCol_Text, toneColour(tone));
    if (wrap) {
        const std::string joined = numbersWithUnits(s);
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextUnformatted(joined.c_str(), joined.c_str() + joined.size());
        ImGui::PopTextWrapPos();
    } else {
        ImGui::TextUnformatted(s.c_str(), s.c_str() + s.size());
    }
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

// Called with every control drawn through the helpers below, its label and
// its rectangle, and the clip rectangle it was drawn into. Left empty by the
// program; the layout tests set it to check that nothing falls off the window
// or overlaps.
using ItemHook = void (*)(const char* label, ImVec2 min, ImVec2 max, ImVec2 clipMin, ImVec2 clipMax);
inline ItemHook itemHook = nullptr;

// A rectangle drawn straight into the window's draw list (a text placed by hand).
inline void noteRect(const char* label, ImVec2 min, ImVec2 max) {
    if (!itemHook) return;
    ImDrawList* dl = ImGui::GetWindowDrawList();
    itemHook(label, min, max, dl->GetClipRectMin(), dl->GetClipRectMax());
}

inline void noteItem(const char* label) { noteRect(label, ImGui::GetItemRectMin(), ImGui::GetItemRectMax()); }

inline bool smallButton(const char* label) {
    const bool clicked = ImGui::SmallButton(label);
    noteItem(label);
    return clicked;
}

inline bool button(const char* label) {
    const bool clicked = ImGui::Button(label);
    noteItem(label);
    return clicked;
}

// `s` cut on a character boundary and ended with "..." so that it is at most
// `width` wide; unchanged when it fits.
inline std::string elided(const std::string& s, float width) {
    if (textWidth(s) <= width) return s;
    std::string cut = s;
    while (!cut.empty()) {
        cut = utf8Cut(cut, cut.size() - 1);
        if (textWidth(cut + "...") <= width) break;
    }
    return cut + "...";
}

// `s` shortened so that, wrapped at `width`, it takes at most `maxLines`
// lines: its last line ends after a whole word (or, for a word longer than
// the line, on a character boundary) and "...". Unchanged when it fits.
inline std::string elidedLines(const std::string& s, float width, int maxLines) {
    ImFont* font = ImGui::GetFont();
    const float scale = ImGui::GetFontSize() / font->FontSize;
    const char* p = s.c_str();
    const char* end = p + s.size();
    for (int line = 1; line < maxLines && p < end; ++line) {
        // As the library draws it: a line ends at a line break, or where it
        // wraps, with the blanks (and one line break) after it skipped.
        const char* next = font->CalcWordWrapPositionA(scale, p, end, width);
        if (const void* nl = std::memchr(p, '\n', static_cast<size_t>(next - p))) {
            p = static_cast<const char*>(nl) + 1;
            continue;
        }
        if (next == p) {  // never stuck: at least one character a line
            ++next;
            while (next < end && (static_cast<unsigned char>(*next) & 0xC0) == 0x80) ++next;
        }
        while (next < end && *next == ' ') ++next;
        if (next < end && *next == '\n') ++next;
        p = next;
    }
    const std::string rest(p, end);
    if (rest.find('\n') == std::string::npos && textWidth(rest) <= width) return s;
    std::string last = elided(rest.substr(0, rest.find('\n')) + " ...", width);
    const size_t space = last.rfind(' ', last.size() - 3);
    if (space != std::string::npos && space > 0) last = last.substr(0, space) + "...";
    return std::string(s.c_str(), p) + last;
}

// Text that fits the space left on its line: a longer one is shortened with
// "..." and shows in full when hovered.
inline void fittedText(const std::string& s, panel::Tone tone = panel::Tone::Normal) {
    const std::string shown = elided(s, ImGui::GetContentRegionAvail().x);
    text(shown, tone);
    if (shown != s && ImGui::IsItemHovered()) ImGui::SetTooltip("%s", s.c_str());
}

// Places a right-aligned group starting at `startX` (from the window's left
// edge): on the line of the last item drawn when it clears that item's end,
// else on the next line.
inline void rightGroupAt(float startX) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float end = ImGui::GetItemRectMax().x - ImGui::GetWindowPos().x + style.ItemSpacing.x;
    if (startX >= end) ImGui::SameLine(startX);
    else ImGui::SetCursorPosX(std::max(startX, style.WindowPadding.x));
}

inline void tooltip(const char* s) {
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s", s);
}

}  // namespace nbr::draw
