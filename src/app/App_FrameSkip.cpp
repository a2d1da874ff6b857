// Frame skipping: a frame whose draw data equals the last presented frame's
// is not drawn again, unless a window event arrived since that present (the
// window system may have lost the picture, or the window changed size).
#include "app/App.h"

#include <imgui.h>
#include <xxhash.h>

#include <memory>

namespace nbr {

namespace {

struct HashState {
    std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state{XXH3_createState(), &XXH3_freeState};

    template <class T>
    void add(const T& value) {
        XXH3_64bits_update(state.get(), &value, sizeof value);
    }
    void addBytes(const void* data, size_t size) {
        if (size > 0) XXH3_64bits_update(state.get(), data, size);
    }
};

}  // namespace

std::uint64_t drawDataHash(const ImDrawData& d, const ImVec4& clearColor) {
    HashState h;
    if (!h.state || XXH3_64bits_reset(h.state.get()) == XXH_ERROR) return 0;
    h.add(clearColor.x);
    h.add(clearColor.y);
    h.add(clearColor.z);
    h.add(d.DisplayPos.x);
    h.add(d.DisplayPos.y);
    h.add(d.DisplaySize.x);
    h.add(d.DisplaySize.y);
    h.add(d.FramebufferScale.x);
    h.add(d.FramebufferScale.y);
    h.add(d.CmdListsCount);
    for (int i = 0; i < d.CmdListsCount; ++i) {
        const ImDrawList* list = d.CmdLists[i];
        h.add(list->VtxBuffer.Size);
        h.addBytes(list->VtxBuffer.Data, static_cast<size_t>(list->VtxBuffer.Size) * sizeof(ImDrawVert));
        h.add(list->IdxBuffer.Size);
        h.addBytes(list->IdxBuffer.Data, static_cast<size_t>(list->IdxBuffer.Size) * sizeof(ImDrawIdx));
        h.add(list->CmdBuffer.Size);
        for (const ImDrawCmd& c : list->CmdBuffer) {
            // Field by field: the struct's padding bytes are not defined.
            h.add(c.ClipRect.x);
            h.add(c.ClipRect.y);
            h.add(c.ClipRect.z);
            h.add(c.ClipRect.w);
            h.add(c.TextureId);
            h.add(c.VtxOffset);
            h.add(c.IdxOffset);
            h.add(c.ElemCount);
            h.add(c.UserCallback);
            h.add(c.UserCallbackData);
        }
    }
    return XXH3_64bits_digest(h.state.get());
}

bool App::framePresentNeeded(const ImDrawData& drawData, const ImVec4& clearColor) {
    const std::uint64_t hash = drawDataHash(drawData, clearColor);
    if (!presentForced && hash == lastPresentedHash) return false;
    presentForced = false;
    lastPresentedHash = hash;
    return true;
}

}  // namespace nbr
