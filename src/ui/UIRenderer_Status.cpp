// The status bar, the alert toasts, the mini strip and the notification
// centre.
#include "model/WeatherCodes.h"
#include "ui/Panel_Current.h"
#include "ui/Panel_Status.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace nbr {

namespace {
constexpr int kToastLines = 3;  // of an alert's text in its toast
}

void UIRenderer::renderStatusBar(bool refreshing, const std::string& status) {
    const ImGuiStyle& style = ImGui::GetStyle();
    ImGui::Separator();
    const panel::Line left =
        panel::statusText(locationManager.hasLocations(), refreshing, status, dataFetchedAt, frameSecond);
    changesAt(frameSecond + panel::statusChangesIn(dataFetchedAt, frameSecond));
    const float groupW = draw::textWidth("Settings") + draw::textWidth("Mini") + draw::textWidth("Stars") +
                         6 * style.FramePadding.x + 2 * style.ItemSpacing.x;
    const float startX = ImGui::GetWindowContentRegionMax().x - groupW;  // clear of a scroll bar
    ImGui::AlignTextToFramePadding();
    draw::text(left.text, left.tone);
    // Beside the weather's state, not instead of it; cut to the room before
    // the buttons, whole in its tooltip. The first-run prompt shows it whole.
    const panel::Line notice = panel::settingsNotice(config);
    if (!notice.text.empty() && locationManager.hasLocations()) {
        ImGui::SameLine(0, 2 * style.ItemSpacing.x);
        const std::string shown = draw::elided(notice.text, startX - ImGui::GetCursorPosX() - style.ItemSpacing.x);
        draw::text(shown, notice.tone);
        if (shown != notice.text) draw::tooltip(notice.text.c_str());
    }
    const std::string newer = panel::newerVersionText(newerVersion);
    if (!newer.empty()) {
        ImGui::SameLine();
        draw::text(newer, panel::Tone::Amber);
    }
    draw::rightGroupAt(startX);
    if (draw::smallButton("Mini")) actions.toggleMini = true;
    draw::tooltip("Shrink to a small always-on-top strip");
    ImGui::SameLine();
    if (draw::smallButton("Stars")) showStars = !showStars;
    draw::tooltip("Constellations in season for this date and hemisphere");
    ImGui::SameLine();
    if (draw::smallButton("Settings")) showSettings = !showSettings;
}

AlertWording UIRenderer::alertWording(const WeatherAlert& a, const WeatherData& data) const {
    return panel::alertWording(a, locationManager.locations(), data, config, frameSecond);
}

ToastBox toastBox(const std::string& label, const panel::Toast& toast, float textWidth) {
    const ImGuiStyle& style = ImGui::GetStyle();
    ToastBox b;
    b.label = label;
    b.place = toast.place;
    b.text = draw::numbersWithUnits(toast.text);
    if (std::string cut = draw::elidedLines(b.text, textWidth, kToastLines); cut != b.text)
        b.whole = std::exchange(b.text, std::move(cut));
    // The lines of the group beside the sign and the close button, then the
    // spacing after that row and after the separator.
    float group = -style.ItemSpacing.y;
    for (const std::string* part : {&b.label, &b.place, &b.text})
        if (!part->empty())
            group += ImGui::CalcTextSize(part->c_str(), part->c_str() + part->size(), false, textWidth).y +
                     style.ItemSpacing.y;
    b.height = std::max(group, ImGui::GetTextLineHeight()) + 2 * style.ItemSpacing.y;
    return b;
}

float toastTextWidth(bool scrolls) {
    const ImGuiStyle& style = ImGui::GetStyle();
    return kToastsWidth - 2 * style.WindowPadding.x - (scrolls ? style.ScrollbarSize : 0) -
           (ImGui::GetTextLineHeight() + style.ItemSpacing.x) - (ImGui::GetFrameHeight() + style.ItemSpacing.x);
}

void UIRenderer::renderToasts(const std::vector<WeatherAlert>& visibleAlerts, const WeatherData& data) {
    if (visibleAlerts.empty()) return;
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    // Each toast is shown whole or not at all: the window is as tall as the
    // toasts that fit whole, and once they do not all fit, its scroll bar
    // narrows their texts, which are then laid out again.
    std::vector<std::pair<std::string, panel::Toast>> texts;
    for (const WeatherAlert& a : visibleAlerts)
        texts.emplace_back(panel::toastLabel(a, data.location.country), panel::toastText(a, alertWording(a, data)));
    std::vector<ToastBox> boxes;
    std::vector<float> heights;
    float width = 0;
    panel::ToastWindow window;
    for (const bool scrolls : {false, true}) {
        width = toastTextWidth(scrolls);
        boxes.clear();
        heights.clear();
        for (const auto& [label, toast] : texts)
            heights.push_back(boxes.emplace_back(toastBox(label, toast, width)).height);
        window = panel::toastWindow(heights, vp->Size.y, style.WindowPadding.y, style.ItemSpacing.y);
        if (!window.scrolls) break;
    }
    ImGui::SetNextWindowPos(ImVec2(vp->Pos.x + vp->Size.x - kToastsWidth - 16, vp->Pos.y + 46));
    ImGui::SetNextWindowSize(ImVec2(kToastsWidth, window.height));
    ImGui::PushStyleColor(ImGuiCol_WindowBg, theme::toastFill());
    ImGui::PushStyleColor(ImGuiCol_Border, theme::Error);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 1.5f);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                                   ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav |
                                   (window.scrolls ? ImGuiWindowFlags_AlwaysVerticalScrollbar : 0);
    if (ImGui::Begin(kToastsWindow, nullptr, flags)) {
        const float lh = ImGui::GetTextLineHeight();
        const ImU32 amber = ImGui::GetColorU32(theme::Amber);
        for (size_t i = 0; i < boxes.size(); ++i) {
            const ToastBox& b = boxes[i];
            const std::string key = visibleAlerts[i].deduplicationKey();
            ImGui::PushID(key.c_str());
            ImDrawList* dl = ImGui::GetWindowDrawList();
            const ImVec2 c = ImGui::GetCursorScreenPos();
            dl->AddTriangleFilled(ImVec2(c.x + 0.5f * lh, c.y + 0.05f * lh), ImVec2(c.x + 0.04f * lh, c.y + 0.92f * lh),
                                  ImVec2(c.x + 0.96f * lh, c.y + 0.92f * lh), amber);
            const ImU32 mark = IM_COL32(28, 18, 15, 255);
            dl->AddRectFilled(ImVec2(c.x + 0.44f * lh, c.y + 0.32f * lh), ImVec2(c.x + 0.56f * lh, c.y + 0.64f * lh),
                              mark);
            dl->AddCircleFilled(ImVec2(c.x + 0.5f * lh, c.y + 0.77f * lh), 0.08f * lh, mark);
            ImGui::Dummy(ImVec2(lh, lh));
            ImGui::SameLine();

            // The label, the place's title (never shortened) and the text,
            // all wrapped clear of the close button; a long text is
            // shortened to a few lines, and hovering shows it whole.
            ImGui::BeginGroup();
            ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + width);
            if (!b.label.empty()) draw::text(b.label, panel::Tone::Amber);
            if (!b.place.empty()) draw::text(b.place, panel::Tone::Amber);
            ImGui::TextUnformatted(b.text.c_str(), b.text.c_str() + b.text.size());
            ImGui::PopTextWrapPos();
            if (!b.whole.empty() && ImGui::IsItemHovered()) {
                ImGui::BeginTooltip();
                ImGui::PushTextWrapPos(ImGui::GetFontSize() * 30);
                ImGui::TextUnformatted(b.whole.c_str(), b.whole.c_str() + b.whole.size());
                ImGui::PopTextWrapPos();
                ImGui::EndTooltip();
            }
            ImGui::EndGroup();

            ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - ImGui::GetFrameHeight());
            if (ImGui::SmallButton("X")) actions.acknowledgeKey = key;
            draw::tooltip("Acknowledge");
            ImGui::Separator();
            ImGui::PopID();
        }
    }
    ImGui::End();
    ImGui::PopStyleVar();
    ImGui::PopStyleColor(2);
}

void UIRenderer::renderMiniStrip(const WeatherData& data, bool refreshing) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const int cell = weatherCodeToIconCell(data.weatherCode, night);
    if (weatherIcons.id != 0 && cell >= 0 && panel::hasCurrentConditions(data)) {
        const int col = cell % 6, row = cell / 6;
        ImGui::Image(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(weatherIcons.id)), ImVec2(55, 44),
                     ImVec2(col / 6.0f, row / 5.0f), ImVec2((col + 1) / 6.0f, (row + 1) / 5.0f));
        ImGui::SameLine();
    }
    const panel::MiniStrip m = panel::miniStrip(data, locationManager.locations(), config, refreshing, frameSecond);
    ImGui::BeginGroup();
    draw::text(m.top);
    if (!m.stat.text.empty()) draw::text(m.stat.text, m.stat.tone);
    // A long title is shortened to the window's edge; what follows it stays whole.
    const float room = ImGui::GetContentRegionAvail().x - draw::textWidth(m.updating);
    draw::text(draw::elided(m.place, room) + m.updating, panel::Tone::Dim);
    ImGui::EndGroup();
    const float x = ImGui::GetWindowWidth() - (draw::textWidth("Full") + 2 * style.FramePadding.x) -
                    style.WindowPadding.x;
    ImGui::SameLine(std::max(x, ImGui::GetCursorPosX()));
    if (ImGui::SmallButton("Full")) actions.toggleMini = true;
}

void UIRenderer::renderNotificationCenter(const std::vector<Notification>& notifications, const WeatherData& data) {
    bool open = true;
    if (beginModal("Notifications", 380, 360, &open)) {
        if (notifications.empty()) {
            draw::text("No notifications yet.", panel::Tone::Dim);
        } else {
            if (ImGui::SmallButton("Mark all read")) actions.markAllRead = true;
            ImGui::SameLine();
            if (ImGui::SmallButton("Clear all")) actions.clearNotifications = true;
            ImGui::Separator();
            // The list fills the rest of the window and scrolls by itself, so the
            // window never needs a scroll bar of its own.
            ImGui::BeginChild("notiflist", ImVec2(0, 0), false);
            int i = 0;
            for (auto it = notifications.rbegin(); it != notifications.rend(); ++it, ++i) {
                const Notification& n = *it;
                draw::text(panel::notificationTime(n, locationManager.locations(), data, config.use24hClock),
                           panel::notificationTimeTone(n));
                ImGui::SameLine();
                draw::text(alertMessageOn(n.alert, alertWording(n.alert, data)), panel::notificationTextTone(n), true);
                if (!n.acknowledged) {
                    ImGui::PushID(i);
                    if (ImGui::SmallButton("Dismiss")) actions.acknowledgeKey = n.alert.deduplicationKey();
                    draw::tooltip("Quiet until this one's day has passed");
                    ImGui::PopID();
                }
                ImGui::Separator();
            }
            ImGui::EndChild();
        }
        if (!showNotifications) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
    if (!open) showNotifications = false;
}

}  // namespace nbr
