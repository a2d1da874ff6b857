// The places bar, the first-run prompt and the search and edit windows.
#include "model/Utf8.h"
#include "ui/Panel_Places.h"
#include "ui/Panel_Status.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>

namespace nbr {

namespace {

// Opens a modal once while its flag is set, centred on the main viewport.
void openCentred(const char* name) {
    if (!ImGui::IsPopupOpen(name)) ImGui::OpenPopup(name);
    ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
}

float fontScale() { return ImGui::GetFontSize() / 16.0f; }

// The "Lat" and "Lon" number fields, side by side when they fit.
void coordinateFields(double& latitude, double& longitude) {
    const ImGuiStyle& style = ImGui::GetStyle();
    ImGui::SetNextItemWidth(130);
    ImGui::InputDouble("Lat", &latitude, 0.0, 0.0, "%.6f");
    draw::sameLineIfFits(130 + style.ItemInnerSpacing.x + draw::textWidth("Lon"));
    ImGui::SetNextItemWidth(130);
    ImGui::InputDouble("Lon", &longitude, 0.0, 0.0, "%.6f");
}

}  // namespace

// ---- What the buttons do ----

void UIRenderer::openSearch() {
    showSearch = true;
    searchInput[0] = '\0';
    searchResults.clear();
    searchError.clear();
    searchAnswered = false;
}

void UIRenderer::submitSearch() {
    if (searchInput[0] == '\0') return;
    actions.searchQuery = utf8Valid(searchInput);
    ++searchesPending;
}

void UIRenderer::searchFromPrompt() {
    if (searchInput[0] == '\0') return;
    submitSearch();
    showSearch = true;  // the window shows the results when they arrive
}

void UIRenderer::pickSearchResult(size_t index) {
    if (index >= searchResults.size()) return;
    actions.newLocation = searchResults[index];
    actions.addLocation = true;
    showSearch = false;
    searchInput[0] = '\0';
}

void UIRenderer::addCoordinates() {
    if (!panel::checkCoordinateEntry(coordLatitude, coordLongitude).valid) return;
    actions.newLocation = panel::coordinatePlace(coordLabel, coordLatitude, coordLongitude);
    actions.addLocation = true;
    showSearch = false;
    coordLatitude = coordLongitude = 0;
    coordLabel[0] = '\0';
}

panel::Line UIRenderer::searchWindowNote() const {
    return panel::searchNote(searchesPending > 0, searchAnswered, searchError, !searchResults.empty());
}

void UIRenderer::openEdit() {
    if (!locationManager.hasLocations()) return;
    const GeoLocation& active = locationManager.activeLocation();
    showEdit = true;
    utf8CopyToBuffer(editName, sizeof editName, utf8Valid(panel::placeTitle(active)));
    editLatitude = active.latitude;
    editLongitude = active.longitude;
}

void UIRenderer::saveEdit() {
    if (!locationManager.hasLocations() || !panel::canSaveEdit(editName, editLatitude, editLongitude)) return;
    actions.editedLocation = panel::editedPlace(locationManager.activeLocation(), editName, editLatitude, editLongitude);
    actions.updateActive = true;
    showEdit = false;
}

// ---- Drawing ----

void UIRenderer::renderLocationBar(const WeatherData& data, int unread) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const bool several = locationManager.locations().size() > 1;
    const float frameH = ImGui::GetFrameHeight(), gap = style.ItemSpacing.x, pad = 2 * style.FramePadding.x;
    const std::string clock = panel::placeClockText(data, frameSecond, config.use24hClock);

    // The right-hand group ends at the right margin. The title gives way to
    // it first (shortened with "..."); when even a short title leaves no
    // room, the group moves to a line of its own.
    const float groupW = draw::textWidth("History") + draw::textWidth("Refresh") + draw::textWidth("X") +
                         draw::textWidth("+") + 4 * (pad + gap) + 1.5f * frameH;
    const float startX = ImGui::GetWindowContentRegionMax().x - groupW;  // clear of a scroll bar
    const float lineW = ImGui::GetContentRegionAvail().x;
    const float others = (several ? 2 * (frameH + gap) : 0) + gap + draw::textWidth("edit") + pad +
                         (clock.empty() ? 0 : gap + draw::textWidth(clock));
    const float titleRoom = lineW - others - gap - groupW;
    const bool groupOnLine = titleRoom >= 8 * draw::textWidth("n");
    const std::string title =
        draw::elided(panel::placeTitle(locationManager.activeLocation()), groupOnLine ? titleRoom : lineW - others);

    if (several) {
        if (ImGui::ArrowButton("##prev", ImGuiDir_Left)) {
            locationManager.cyclePrev();
            actions.locationChanged = true;
        }
        draw::noteItem("##prev");
        ImGui::SameLine();
    }
    ImGui::AlignTextToFramePadding();
    draw::text(title);
    draw::noteItem("title");
    if (several) {
        ImGui::SameLine();
        if (ImGui::ArrowButton("##next", ImGuiDir_Right)) {
            locationManager.cycleNext();
            actions.locationChanged = true;
        }
        draw::noteItem("##next");
    }
    ImGui::SameLine();
    if (draw::smallButton("edit")) openEdit();
    draw::tooltip("Edit this location");

    // The place's clock sits after the title, where it stays in view.
    if (!clock.empty()) {
        ImGui::SameLine();
        draw::text(clock, panel::Tone::Dim);
        draw::noteItem("clock");
    }

    draw::rightGroupAt(startX);
    if (draw::smallButton("History")) showHistory = !showHistory;
    draw::tooltip("Logged history & forecast accuracy for this location");
    ImGui::SameLine();
    if (draw::smallButton("Refresh")) actions.refresh = true;
    ImGui::SameLine();
    if (draw::smallButton("X")) actions.removeActive = true;
    draw::tooltip("Remove this location");
    ImGui::SameLine();

    // The mailbox: an envelope button with the unread count on a badge.
    const ImVec2 p = ImGui::GetCursorScreenPos();
    const ImVec2 size(1.5f * frameH, frameH);
    if (ImGui::InvisibleButton("##mailbox", size)) showNotifications = !showNotifications;
    draw::noteItem("##mailbox");
    draw::tooltip("Notifications");
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const ImGuiCol bg = ImGui::IsItemActive()    ? ImGuiCol_ButtonActive
                        : ImGui::IsItemHovered() ? ImGuiCol_ButtonHovered
                                                 : ImGuiCol_Button;
    dl->AddRectFilled(p, ImVec2(p.x + size.x, p.y + size.y), ImGui::GetColorU32(bg), style.FrameRounding);
    const float ew = 0.85f * frameH, eh = 0.62f * ew;
    const ImVec2 e0(p.x + (size.x - ew) / 2, p.y + (size.y - eh) / 2), e1(e0.x + ew, e0.y + eh);
    const ImU32 ink = ImGui::GetColorU32(unread >= 1 ? theme::Amber : style.Colors[ImGuiCol_Text]);
    dl->AddRect(e0, e1, ink, 0.0f, 0, 1.0f);
    const ImVec2 flap(e0.x + ew / 2, e0.y + 0.55f * eh);
    dl->AddLine(e0, flap, ink, 1.0f);
    dl->AddLine(ImVec2(e1.x, e0.y), flap, ink, 1.0f);
    const std::string badge = panel::mailboxBadge(unread);
    if (!badge.empty()) {
        const float r = 0.3f * frameH;
        const ImVec2 c(e1.x, e0.y - 0.2f * r);
        dl->AddCircleFilled(c, r, ImGui::GetColorU32(theme::Amber));
        const ImVec2 ts = ImGui::CalcTextSize(badge.c_str());
        dl->AddText(ImVec2(c.x - ts.x / 2, c.y - ts.y / 2), ImGui::GetColorU32(style.Colors[ImGuiCol_WindowBg]),
                    badge.c_str());
    }
    ImGui::SameLine();
    if (draw::smallButton("+")) openSearch();
    draw::tooltip("Add location");
    ImGui::Separator();
}

void UIRenderer::renderFirstRunPrompt() {
    ImGui::Spacing();
    ImGui::Spacing();
    const float w = ImGui::GetContentRegionAvail().x;
    draw::centred("Welcome to Nimbrel");
    ImGui::Spacing();
    draw::centred("Add a location to get started:");
    ImGui::Spacing();
    ImGui::Spacing();
    ImGui::SetCursorPosX(ImGui::GetCursorPosX() + std::max(0.0f, (w - 300 - 70) / 2));
    ImGui::SetNextItemWidth(300);
    const bool enter =
        ImGui::InputText("##firstSearch", searchInput, sizeof searchInput, ImGuiInputTextFlags_EnterReturnsTrue);
    ImGui::SameLine();
    const bool clicked = ImGui::Button("Search##firstrun");
    if (enter || clicked) searchFromPrompt();
    // A settings file that could not be read (or saved), and where it is kept.
    const panel::Line notice = panel::settingsNotice(config);
    if (notice.text.empty()) return;
    ImGui::Spacing();
    ImGui::Spacing();
    const float blockW = std::min(w, 520 * fontScale());
    ImGui::SetCursorPosX(ImGui::GetCursorPosX() + (w - blockW) / 2);
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + blockW);
    draw::text(notice.text, notice.tone);
    ImGui::PopTextWrapPos();
}

void UIRenderer::renderSearchPopup() {
    const char* name = "Search Location";
    openCentred(name);
    // As tall as its content, never taller than the main window (less the
    // margin the library keeps when it sizes a window to its content).
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 screen = ImGui::GetMainViewport()->Size;
    const float w = std::min(360 * fontScale(), screen.x), maxH = screen.y - 2 * style.DisplaySafeAreaPadding.y;
    ImGui::SetNextWindowSizeConstraints(ImVec2(w, 0), ImVec2(w, maxH));
    bool open = true;
    if (ImGui::BeginPopupModal(name, &open, ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::TextUnformatted("Enter city name or zip code:");
        ImGui::SetNextItemWidth(-FLT_MIN);
        if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();  // typing goes into the field at once
        const bool enter =
            ImGui::InputText("##search", searchInput, sizeof searchInput, ImGuiInputTextFlags_EnterReturnsTrue);
        if (ImGui::Button("Search") || enter) submitSearch();

        ImGui::Separator();
        // The results scroll in the height the rest of the window leaves them
        // (as measured last frame), so the coordinate entry, the detect
        // button, its note and any error stay in view.
        ImGuiStorage* storage = ImGui::GetStateStorage();
        const ImGuiID restKey = ImGui::GetID("##restHeight");
        const float row = ImGui::GetTextLineHeightWithSpacing();
        const panel::Line note = searchWindowNote();
        const bool list = note.text.empty() && !searchResults.empty();
        const float wrapW = w - 2 * style.WindowPadding.x;  // the note wraps within the window
        const float rows = list ? static_cast<float>(searchResults.size() + 1) * row
                                : ImGui::CalcTextSize(note.text.c_str(), nullptr, false, wrapW).y + style.ItemSpacing.y;
        const float listH = std::clamp(maxH - storage->GetFloat(restKey, 0.0f), row, std::max(row, rows));
        ImGui::BeginChild("results", ImVec2(0, listH));
        if (list) {
            ImGui::TextUnformatted("Select a location:");
            for (size_t i = 0; i < searchResults.size(); ++i) {
                if (ImGui::Selectable(panel::searchResultLabel(searchResults[i], i).c_str())) {
                    pickSearchResult(i);
                    break;  // the list is still there, but this frame is done with it
                }
            }
        } else if (!note.text.empty()) {
            draw::text(note.text, note.tone, true);
            draw::noteItem("searchNote");
        }
        ImGui::EndChild();

        ImGui::Separator();
        ImGui::TextUnformatted("Or enter exact coordinates:");
        coordinateFields(coordLatitude, coordLongitude);
        ImGui::SetNextItemWidth(-FLT_MIN);
        ImGui::InputTextWithHint("##label", "Label (optional)", coordLabel, sizeof coordLabel);
        const panel::CoordinateEntry entry = panel::checkCoordinateEntry(coordLatitude, coordLongitude);
        if (ImGui::Button("Add coordinates")) addCoordinates();
        if (entry.showHint) {
            const std::string hint = "(lat -90..90, lon -180..180)";
            draw::sameLineIfFits(draw::textWidth(hint));
            draw::text(hint, panel::Tone::Dim);
        }

        ImGui::Separator();
        if (draw::button("Detect my location")) actions.detectLocation = true;
        const std::string detectNote = "(uses your OS location, with permission)";
        draw::sameLineIfFits(draw::textWidth(detectNote));
        draw::text(detectNote, panel::Tone::Dim);
        draw::noteItem("detectNote");
        if (!detectError.empty()) {
            draw::text(detectError, panel::Tone::Amber, true);
            draw::noteItem("detectError");
        }
        // The content's own height (the window may be cut to the main window's).
        storage->SetFloat(restKey, ImGui::GetCursorPosY() - style.ItemSpacing.y + style.WindowPadding.y - listH);

        if (!showSearch) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
    if (!open) showSearch = false;
}

void UIRenderer::renderEditPopup() {
    const char* name = "Edit Location";
    openCentred(name);
    // Fixed width, height fitted to the content (the range text comes and goes).
    const float w = std::min(360 * fontScale(), ImGui::GetMainViewport()->Size.x);
    ImGui::SetNextWindowSizeConstraints(ImVec2(w, 0), ImVec2(w, FLT_MAX));
    bool open = true;
    if (ImGui::BeginPopupModal(name, &open, ImGuiWindowFlags_AlwaysAutoResize)) {
        const ImGuiStyle& style = ImGui::GetStyle();
        ImGui::TextUnformatted("Name:");
        ImGui::SetNextItemWidth(-FLT_MIN);
        const bool enter =
            ImGui::InputText("##editname", editName, sizeof editName, ImGuiInputTextFlags_EnterReturnsTrue);
        ImGui::Spacing();
        ImGui::TextUnformatted("Coordinates:");
        coordinateFields(editLatitude, editLongitude);
        if (!coordinatesInRange(editLatitude, editLongitude))
            draw::text("Lat -90..90, Lon -180..180", panel::Tone::Error);
        ImGui::Spacing();
        ImGui::Separator();
        ImGui::Spacing();
        if (ImGui::Button("Save") || enter) saveEdit();
        ImGui::SameLine();
        if (ImGui::Button("Cancel")) showEdit = false;
        ImGui::SameLine();
        const float delX = ImGui::GetWindowWidth() - (draw::textWidth("Delete location") + 2 * style.FramePadding.x) -
                           style.WindowPadding.x;
        ImGui::SameLine(std::max(delX, ImGui::GetCursorPosX()));
        ImGui::PushStyleColor(ImGuiCol_Text, theme::Error);
        if (ImGui::Button("Delete location")) {
            actions.removeActive = true;
            showEdit = false;
        }
        ImGui::PopStyleColor();
        if (!showEdit) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
    if (!open) showEdit = false;
}

}  // namespace nbr
