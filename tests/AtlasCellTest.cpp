// Cutting one cell out of the weather-icon and moon-phase atlases.
#include "service/WeatherService.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <gtest/gtest.h>

namespace nbr {
namespace {

class AtlasCellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(800, 600);
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImVec2(800, 600));
        ImGui::Begin("t");
        ui.weatherIcons = Texture{7, 960, 640};
        ui.moonPhases = Texture{9, 540, 360};
    }
    void TearDown() override {
        ImGui::End();
        ImGui::EndFrame();
        ImGui::DestroyContext(ctx_);
        // Fake texture names: nothing to delete.
        ui.weatherIcons = {};
        ui.moonPhases = {};
    }

    // The last image drawn: texture, UV corners and size.
    struct Drawn {
        ImTextureID tex;
        ImVec2 uv0, uv1, size;
    };
    Drawn last() {
        ImDrawList* dl = ImGui::GetWindowDrawList();
        const ImDrawVert* v = dl->VtxBuffer.Data + dl->VtxBuffer.Size - 4;  // one quad
        ImTextureID tex = nullptr;  // of the last command that holds elements
        for (int i = dl->CmdBuffer.Size - 1; i >= 0 && !tex; --i)
            if (dl->CmdBuffer[i].ElemCount > 0) tex = dl->CmdBuffer[i].TextureId;
        return {tex, v[0].uv, v[2].uv, ImVec2(v[2].pos.x - v[0].pos.x, v[2].pos.y - v[0].pos.y)};
    }

    ImGuiContext* ctx_ = nullptr;
    Config config;
    WeatherService service;
    LocationManager places{config, service};
    UIRenderer ui{places, config};
};

TEST_F(AtlasCellTest, LastWeatherCellIsTheBottomRightOfASixByFiveGrid) {
    ui.drawWeatherIcon(95, true, 40);  // night thunderstorm: cell 29
    const Drawn d = last();
    EXPECT_EQ(d.tex, reinterpret_cast<ImTextureID>(7));
    EXPECT_FLOAT_EQ(d.uv0.x, 5 / 6.0f);
    EXPECT_FLOAT_EQ(d.uv0.y, 4 / 5.0f);
    EXPECT_FLOAT_EQ(d.uv1.x, 1.0f);
    EXPECT_FLOAT_EQ(d.uv1.y, 1.0f);
    EXPECT_FLOAT_EQ(d.size.x, 50);  // 1.25 times as wide as tall
    EXPECT_FLOAT_EQ(d.size.y, 40);

    ui.drawWeatherIcon(61, false, 20);  // slight rain: cell 6, first of row 1
    const Drawn r = last();
    EXPECT_FLOAT_EQ(r.uv0.x, 0.0f);
    EXPECT_FLOAT_EQ(r.uv0.y, 1 / 5.0f);
    EXPECT_FLOAT_EQ(r.uv1.x, 1 / 6.0f);
    EXPECT_FLOAT_EQ(r.uv1.y, 2 / 5.0f);
}

TEST_F(AtlasCellTest, MoonPhaseSevenIsColumnTwoOfRowOne) {
    ui.drawMoonSprite(7, 30);
    const Drawn d = last();
    EXPECT_EQ(d.tex, reinterpret_cast<ImTextureID>(9));
    EXPECT_FLOAT_EQ(d.uv0.x, 2 / 5.0f);
    EXPECT_FLOAT_EQ(d.uv0.y, 1 / 3.0f);
    EXPECT_FLOAT_EQ(d.uv1.x, 3 / 5.0f);
    EXPECT_FLOAT_EQ(d.uv1.y, 2 / 3.0f);
    EXPECT_FLOAT_EQ(d.size.x, 0.9001082f * 30);
    EXPECT_FLOAT_EQ(d.size.y, 30);
}

TEST_F(AtlasCellTest, UnknownCellsAndMissingAtlasesDrawNothingAndKeepTheLayout) {
    const ImVec2 start = ImGui::GetCursorScreenPos();
    const int vertices = ImGui::GetWindowDrawList()->VtxBuffer.Size;
    ui.drawMoonSprite(8, 30);
    ui.drawMoonSprite(-1, 30);
    ui.drawWeatherIcon(42, false, 30);  // a code without a cell
    ui.weatherIcons.id = 0;
    ui.drawWeatherIcon(0, false, 30);
    ui.moonPhases.id = 0;
    ui.drawMoonSprite(0, 30);
    EXPECT_EQ(ImGui::GetWindowDrawList()->VtxBuffer.Size, vertices);
    EXPECT_EQ(ImGui::GetCursorScreenPos().x, start.x);
    EXPECT_EQ(ImGui::GetCursorScreenPos().y, start.y);
}

}  // namespace
}  // namespace nbr
