// A GUI library context without a window: frames are built (not drawn) at a
// fixed display size, so tests can run the dashboard's panels, press their
// buttons by identifier and read what they asked for.
#pragma once

#include <imgui.h>
#include <imgui_internal.h>

#include <functional>
#include <string>

namespace nbr::test {

class GuiContext {
public:
    explicit GuiContext(float width = 900, float height = 650) {
        ctx_ = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(width, height);
        io.DeltaTime = 1.0f / 60;
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        io.Fonts->AddFontDefault();
        io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
    }
    ~GuiContext() { ImGui::DestroyContext(ctx_); }
    GuiContext(const GuiContext&) = delete;
    GuiContext& operator=(const GuiContext&) = delete;

    // One frame around `body`.
    void frame(const std::function<void()>& body, float dt = 1.0f / 60) {
        ImGui::GetIO().DeltaTime = dt;
        ImGui::NewFrame();
        body();
        ImGui::Render();
    }

    // Identifier of the item `label` submitted directly in the window named
    // `window`, or of `sub` inside the item's own scope (a number field's
    // "+" and "-" buttons).
    static ImGuiID itemId(const char* window, const char* label, const char* sub = nullptr) {
        ImGuiWindow* w = ImGui::FindWindowByName(window);
        if (!w) return 0;
        const ImGuiID id = ImHashStr(label, 0, w->ID);
        return sub ? ImHashStr(sub, 0, id) : id;
    }

    // Presses the item in the next frame, as a click would.
    static void press(ImGuiID id) { ImGui::ActivateItem(id); }

private:
    ImGuiContext* ctx_ = nullptr;
};

}  // namespace nbr::test
