// The palette and the GUI style written by the theme.
#include "ui/Theme.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace nbr {
namespace {

class ThemeTest : public ::testing::Test {
protected:
    void SetUp() override { ctx_ = ImGui::CreateContext(); }
    void TearDown() override { ImGui::DestroyContext(ctx_); }

    static bool same(const ImVec4& a, const ImVec4& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
    static ImVec4 rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f, 1.0f}; }

    ImGuiContext* ctx_ = nullptr;
};

TEST_F(ThemeTest, SwitchingLightThenDarkRestoresTheStartValuesBitForBit) {
    const ImVec4* all[] = {&theme::Bg,    &theme::Panel,   &theme::Fg,      &theme::Dim,     &theme::Amber,
                           &theme::Muted, &theme::Accent,  &theme::Live,    &theme::Error,   &theme::Surface,
                           &theme::SurfaceH, &theme::SurfaceA, &theme::ButtonH};
    theme::apply(theme::Dark);
    ImVec4 start[13];
    for (int i = 0; i < 13; ++i) start[i] = *all[i];
    const ImGuiStyle darkStyle = ImGui::GetStyle();

    theme::apply(theme::Light);
    EXPECT_TRUE(same(theme::Bg, rgb(243, 236, 226)));
    EXPECT_TRUE(same(theme::Fg, rgb(42, 33, 27)));
    EXPECT_TRUE(same(theme::Dim, rgb(116, 86, 56)));
    EXPECT_TRUE(same(ImGui::GetStyle().Colors[ImGuiCol_Text], theme::Fg));

    theme::apply(theme::Dark);
    for (int i = 0; i < 13; ++i) EXPECT_TRUE(same(*all[i], start[i])) << "colour " << i;
    EXPECT_EQ(std::memcmp(ImGui::GetStyle().Colors, darkStyle.Colors, sizeof darkStyle.Colors), 0);
    EXPECT_TRUE(same(theme::Bg, rgb(27, 22, 19)));
    EXPECT_TRUE(same(theme::Amber, rgb(224, 121, 66)));
}

TEST_F(ThemeTest, ValuesOtherThanOneGiveTheDarkTheme) {
    for (int id : {2, -1, 0}) {
        theme::apply(theme::Light);
        theme::apply(static_cast<theme::ThemeId>(id));
        EXPECT_TRUE(same(theme::Bg, rgb(27, 22, 19))) << id;
        EXPECT_TRUE(same(theme::ButtonH, rgb(110, 74, 48))) << id;
    }
}

TEST_F(ThemeTest, TransparentAndTintedSlotsAndUntouchedTabsInBothThemes) {
    const ImVec4 libraryTab = ImGui::GetStyle().Colors[ImGuiCol_Tab];
    for (theme::ThemeId id : {theme::Dark, theme::Light}) {
        theme::apply(id);
        const ImVec4* c = ImGui::GetStyle().Colors;
        EXPECT_EQ(c[ImGuiCol_BorderShadow].w, 0.0f);
        EXPECT_EQ(c[ImGuiCol_TableRowBg].w, 0.0f);
        EXPECT_TRUE(same(c[ImGuiCol_TableRowBgAlt], ImVec4(theme::Amber.x, theme::Amber.y, theme::Amber.z, 0.05f)));
        EXPECT_TRUE(same(c[ImGuiCol_TextSelectedBg], ImVec4(theme::Amber.x, theme::Amber.y, theme::Amber.z, 0.35f)));
        EXPECT_TRUE(same(c[ImGuiCol_Tab], libraryTab));
        EXPECT_TRUE(same(c[ImGuiCol_FrameBgActive], theme::SurfaceA));
        EXPECT_TRUE(same(c[ImGuiCol_ButtonHovered], theme::ButtonH));
    }
}

// Every text colour reads at 4.5:1 or better (luminance contrast) on each
// fill it is drawn on, and every chart line at 3:1, in both themes.
TEST_F(ThemeTest, TextOnEachFillItIsDrawnOnReachesFourAndAHalfToOne) {
    auto lum = [](const ImVec4& c) {
        auto ch = [](float v) { return v <= 0.03928f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f); };
        return 0.2126f * ch(c.x) + 0.7152f * ch(c.y) + 0.0722f * ch(c.z);
    };
    auto over = [](const ImVec4& t, const ImVec4& u) {
        return ImVec4(t.x * t.w + u.x * (1 - t.w), t.y * t.w + u.y * (1 - t.w), t.z * t.w + u.z * (1 - t.w), 1);
    };
    for (theme::ThemeId id : {theme::Dark, theme::Light}) {
        theme::apply(id);
        const ImVec4* c = ImGui::GetStyle().Colors;
        // Windows and cards, popups, the 7-day table's tinted rows, toasts.
        const ImVec4 win = c[ImGuiCol_WindowBg], pop = c[ImGuiCol_PopupBg], row = over(c[ImGuiCol_TableRowBgAlt], win),
                     toast = over(theme::toastFill(), win);
        const theme::MapInks map = theme::mapInks();  // the radar map's labels and notes on its canvas
        const std::vector<std::pair<ImVec4, std::vector<ImVec4>>> table = {
            {c[ImGuiCol_Text], {win, pop, row, toast, c[ImGuiCol_Button], c[ImGuiCol_ButtonHovered],
                                c[ImGuiCol_ButtonActive], c[ImGuiCol_FrameBg], c[ImGuiCol_FrameBgHovered],
                                c[ImGuiCol_FrameBgActive], c[ImGuiCol_Header], c[ImGuiCol_HeaderActive]}},
            {c[ImGuiCol_TextDisabled], {win, pop, row}},
            {theme::Amber, {win, pop, row, toast, theme::Surface}},  // and the selected tab, hovered
            {theme::Accent, {win, pop}}, {theme::Live, {win, pop, row}}, {theme::Error, {win, pop}},
            {map.label, {map.canvas}}, {map.note, {map.canvas}}};
        for (size_t t = 0; t < table.size(); ++t)
            for (const ImVec4& fill : table[t].second) {
                const float a = lum(table[t].first), b = lum(fill);
                EXPECT_GE((std::max(a, b) + 0.05f) / (std::min(a, b) + 0.05f), 4.5f) << "theme " << id << " text " << t;
            }
        // Chart lines at 3:1: the hourly temperatures; the history chart's lines in its popup.
        for (const ImVec4& line : {theme::Accent, theme::Amber, theme::Dim, over(theme::faintLine(), pop)})
            for (const float a = lum(line); const ImVec4& fill : {win, pop})
                EXPECT_GE((std::max(a, lum(fill)) + 0.05f) / (std::min(a, lum(fill)) + 0.05f), 3.0f) << "theme " << id;
    }
}

TEST_F(ThemeTest, SizesAreResetToTheirUnscaledValuesOnEveryCall) {
    theme::apply(theme::Dark);
    ImGui::GetStyle().ScaleAllSizes(1.5f);
    theme::apply(theme::Dark);
    const ImGuiStyle& s = ImGui::GetStyle();
    EXPECT_EQ(s.WindowPadding.x, 16);
    EXPECT_EQ(s.WindowPadding.y, 14);
    EXPECT_EQ(s.FramePadding.x, 9);
    EXPECT_EQ(s.ItemSpacing.y, 9);
    EXPECT_EQ(s.ItemInnerSpacing.x, 7);
    EXPECT_EQ(s.ScrollbarSize, 13);
    EXPECT_EQ(s.GrabMinSize, 12);
    EXPECT_EQ(s.WindowRounding, 5);
}

}  // namespace
}  // namespace nbr
