#include "ui/WindowFit.h"

#include <imgui_internal.h>

#include <algorithm>

namespace nbr::draw {

Box fitInside(Box box, ImVec2 areaPos, ImVec2 areaSize) {
    box.size.x = std::min(box.size.x, areaSize.x);
    box.size.y = std::min(box.size.y, areaSize.y);
    box.pos.x = std::clamp(box.pos.x, areaPos.x, areaPos.x + areaSize.x - box.size.x);
    box.pos.y = std::clamp(box.pos.y, areaPos.y, areaPos.y + areaSize.y - box.size.y);
    return box;
}

void keepWindowsInside() {
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    if (vp->Size.x <= 0 || vp->Size.y <= 0) return;
    for (ImGuiWindow* w : GImGui->Windows) {
        // A hidden window is placed by its own code when it shows again.
        if (!w->WasActive || (w->Flags & (ImGuiWindowFlags_ChildWindow | ImGuiWindowFlags_Tooltip))) continue;
        if ((w->Flags & ImGuiWindowFlags_Popup) && !(w->Flags & ImGuiWindowFlags_Modal)) continue;
        const ImVec2 full = fitInside({w->Pos, w->SizeFull}, vp->Pos, vp->Size).size;
        if (full.x != w->SizeFull.x || full.y != w->SizeFull.y) ImGui::SetWindowSize(w, full);
        // A collapsed window shows only its title bar.
        const ImVec2 pos = fitInside({w->Pos, w->Collapsed ? w->Size : full}, vp->Pos, vp->Size).pos;
        if (pos.x != w->Pos.x || pos.y != w->Pos.y) ImGui::SetWindowPos(w, pos);
    }
}

void keepCloseBoxesClearOf(const char* name, ImVec2 least) {
    const ImGuiWindow* front = ImGui::FindWindowByName(name);
    if (!front || !front->WasActive) return;
    const ImRect cover = front->Rect();
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    const float gap = ImGui::GetStyle().ItemSpacing.x, bottom = vp->Pos.y + vp->Size.y;
    for (ImGuiWindow* w : GImGui->Windows) {
        if (w == front || !w->WasActive || !w->HasCloseButton ||
            (w->Flags & (ImGuiWindowFlags_ChildWindow | ImGuiWindowFlags_Popup | ImGuiWindowFlags_Tooltip)))
            continue;
        const float t = w->TitleBarHeight(), right = w->Pos.x + w->Size.x;
        if (!cover.Overlaps(ImRect(right - t, w->Pos.y, right, w->Pos.y + t))) continue;
        const float width = cover.Min.x - gap - w->Pos.x, top = cover.Max.y + gap;
        if (width >= least.x) {
            ImGui::SetWindowSize(w, ImVec2(width, w->SizeFull.y));
        } else if (bottom - top >= least.y) {
            ImGui::SetWindowPos(w, ImVec2(w->Pos.x, top));
            ImGui::SetWindowSize(w, ImVec2(w->SizeFull.x, std::min(w->SizeFull.y, bottom - top)));
        }
    }
}

void keepInFront(const char* name) {
    ImGuiWindow* w = ImGui::FindWindowByName(name);
    if (!w || !w->Active) return;
    for (const ImGuiPopupData& popup : GImGui->OpenPopupStack)
        if (popup.Window && popup.Window->Active) return;
    ImGui::BringWindowToDisplayFront(w);
}

}  // namespace nbr::draw
