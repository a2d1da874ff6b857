#include "ui/Theme.h"

#include <initializer_list>

namespace nbr::theme {

namespace {

struct Palette {
    int bg[3], panel[3], fg[3], dim[3], amber[3], muted[3], accent[3], live[3], error[3], surface[3],
        surfaceH[3], surfaceA[3], buttonH[3];
};

constexpr Palette kDark{{27, 22, 19},   {36, 23, 18},   {230, 214, 196}, {180, 125, 88}, {224, 121, 66},
                        {92, 63, 41},   {224, 167, 115}, {106, 216, 74}, {224, 86, 74}, {42, 26, 19},
                        {56, 35, 24},   {66, 41, 28},   {110, 74, 48}};
constexpr Palette kLight{{243, 236, 226}, {251, 246, 238}, {42, 33, 27},   {116, 86, 56},  {166, 68, 16},
                         {203, 183, 158}, {154, 90, 42},   {30, 112, 30},  {192, 57, 43},  {234, 224, 210},
                         {224, 211, 192}, {212, 195, 172}, {230, 216, 196}};

ImVec4 rgb(const int (&c)[3]) { return {c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, 1.0f}; }

ThemeId current = Dark;

}  // namespace

MapInks mapInks() {
    return {ImVec4(14 / 255.0f, 20 / 255.0f, 24 / 255.0f, 1.0f), rgb(kDark.fg), rgb(kDark.dim), rgb(kDark.amber),
            rgb(kDark.accent)};
}

ImVec4 faintLine() { return {Fg.x, Fg.y, Fg.z, 0.55f}; }

ImVec4 toastFill() {
    return current == Light ? ImVec4(250 / 255.0f, 228 / 255.0f, 220 / 255.0f, 0.97f)
                            : ImVec4(72 / 255.0f, 28 / 255.0f, 22 / 255.0f, 0.97f);
}

void apply(ThemeId id) {
    current = id == Light ? Light : Dark;
    const Palette& p = id == Light ? kLight : kDark;
    Bg = rgb(p.bg);
    Panel = rgb(p.panel);
    Fg = rgb(p.fg);
    Dim = rgb(p.dim);
    Amber = rgb(p.amber);
    Muted = rgb(p.muted);
    Accent = rgb(p.accent);
    Live = rgb(p.live);
    Error = rgb(p.error);
    Surface = rgb(p.surface);
    SurfaceH = rgb(p.surfaceH);
    SurfaceA = rgb(p.surfaceA);
    ButtonH = rgb(p.buttonH);

    ImGuiStyle& s = ImGui::GetStyle();
    ImVec4* c = s.Colors;
    c[ImGuiCol_Text] = Fg;
    c[ImGuiCol_TextDisabled] = Dim;
    for (int slot : {ImGuiCol_WindowBg, ImGuiCol_ChildBg, ImGuiCol_TitleBg, ImGuiCol_TitleBgActive,
                     ImGuiCol_TitleBgCollapsed, ImGuiCol_ScrollbarBg})
        c[slot] = Bg;
    for (int slot : {ImGuiCol_PopupBg, ImGuiCol_MenuBarBg, ImGuiCol_TableHeaderBg}) c[slot] = Panel;
    for (int slot : {ImGuiCol_Border, ImGuiCol_ScrollbarGrab, ImGuiCol_Button, ImGuiCol_HeaderHovered,
                     ImGuiCol_Separator, ImGuiCol_ResizeGrip, ImGuiCol_TableBorderStrong})
        c[slot] = Muted;
    c[ImGuiCol_BorderShadow] = ImVec4(0, 0, 0, 0);
    c[ImGuiCol_TableRowBg] = ImVec4(0, 0, 0, 0);
    c[ImGuiCol_FrameBg] = Surface;
    for (int slot : {ImGuiCol_FrameBgHovered, ImGuiCol_Header, ImGuiCol_TableBorderLight}) c[slot] = SurfaceH;
    c[ImGuiCol_FrameBgActive] = SurfaceA;
    for (int slot : {ImGuiCol_ScrollbarGrabHovered, ImGuiCol_ResizeGripHovered}) c[slot] = Dim;
    // Pressed buttons and rows keep their text readable: Dim is a text colour.
    for (int slot : {ImGuiCol_ButtonActive, ImGuiCol_HeaderActive}) c[slot] = SurfaceA;
    // ImGuiCol_NavHighlight is this library version's navigation cursor.
    for (int slot : {ImGuiCol_ScrollbarGrabActive, ImGuiCol_CheckMark, ImGuiCol_SliderGrab,
                     ImGuiCol_SeparatorHovered, ImGuiCol_SeparatorActive, ImGuiCol_ResizeGripActive,
                     ImGuiCol_PlotHistogram, ImGuiCol_NavHighlight})
        c[slot] = Amber;
    for (int slot : {ImGuiCol_SliderGrabActive, ImGuiCol_PlotLines, ImGuiCol_PlotHistogramHovered})
        c[slot] = Accent;
    c[ImGuiCol_ButtonHovered] = ButtonH;
    c[ImGuiCol_TableRowBgAlt] = ImVec4(Amber.x, Amber.y, Amber.z, 0.05f);
    c[ImGuiCol_TextSelectedBg] = ImVec4(Amber.x, Amber.y, Amber.z, 0.35f);

    s.WindowPadding = ImVec2(16, 14);
    s.WindowRounding = 5;
    s.WindowBorderSize = 1;
    s.ChildRounding = 4;
    s.ChildBorderSize = 1;
    s.PopupRounding = 4;
    s.FramePadding = ImVec2(9, 6);
    s.FrameRounding = 3;
    s.FrameBorderSize = 1;
    s.ItemSpacing = ImVec2(9, 9);
    s.ItemInnerSpacing = ImVec2(7, 6);
    s.ScrollbarSize = 13;
    s.ScrollbarRounding = 4;
    s.GrabMinSize = 12;
    s.GrabRounding = 3;
}

}  // namespace nbr::theme
