// Keeping the interface's windows inside the main window: a window never
// reaches past its edges, whatever size the main window is given, and the
// alert toasts stay in front of the windows the user opens.
#pragma once

#include <imgui.h>

namespace nbr::draw {

struct Box {
    ImVec2 pos, size;
};

// `box` shrunk to at most the area's size, then moved the least that puts it
// inside the area.
Box fitInside(Box box, ImVec2 areaPos, ImVec2 areaSize);

// Moves, and where needed shrinks, every window shown in the last frame (the
// modal ones included) back inside the main viewport. Child regions move with
// their window; tooltips, menus and lists are placed by the library beside
// what opened them. Call once per frame before any window begins.
void keepWindowsInside();

// Keeps the close boxes of the plain windows clear of the window named
// `name`, which is kept in front of them: a window whose close box it covers
// is narrowed to end left of it, or, when that leaves it narrower than
// `least`, moved below it where it still gets `least` height. Call once per
// frame before any window begins, after keepWindowsInside.
void keepCloseBoxesClearOf(const char* name, ImVec2 least);

// Puts the window named `name` in front of every other window while no popup
// is shown (a popup stays in front of it). Call after the frame's
// clicks have raised the windows they hit, that is after ImGui::EndFrame.
void keepInFront(const char* name);

}  // namespace nbr::draw
