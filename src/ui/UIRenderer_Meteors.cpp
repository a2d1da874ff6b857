// The meteor burst: spawned by the Sky card, moved and drawn above every
// window at the end of each frame, also in the mini strip.
#include "ui/Panel_Meteors.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <chrono>
#include <cstdint>

namespace nbr {

void UIRenderer::spawnMeteorShower() {
    if (!meteorRngSeeded) {
        const auto secs =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
        meteorRng.seed(static_cast<std::uint32_t>(secs));
        meteorRngSeeded = true;
    }
    panel::spawnMeteorBurst(meteorRng, ImGui::GetIO().DisplaySize.x, meteors);
}

void UIRenderer::renderMeteorEffect() {
    if (meteors.empty()) return;
    const ImGuiIO& io = ImGui::GetIO();
    panel::stepMeteors(meteors, io.DeltaTime, io.DisplaySize.x, io.DisplaySize.y);
    ImDrawList* dl = ImGui::GetForegroundDrawList();
    for (const Meteor& m : meteors) {
        const Texture& t = meteorSprites[m.sprite & 3];
        if (t.id == 0) continue;
        const auto q = panel::meteorQuad(m, static_cast<float>(t.width), static_cast<float>(t.height));
        dl->AddImageQuad(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(t.id)), ImVec2(q[0], q[1]),
                         ImVec2(q[2], q[3]), ImVec2(q[4], q[5]), ImVec2(q[6], q[7]));
    }
}

}  // namespace nbr
