// The interface's colour palette and widget style. Two themes: warm dark (the
// default) and light. Panels read the palette colours by name; everything
// else takes its colours from the GUI style that `apply` writes.
#pragma once

#include <imgui.h>

namespace nbr::theme {

enum ThemeId : int { Dark = 0, Light = 1 };

// Dark values until the first `apply`.
inline ImVec4 Bg{27 / 255.0f, 22 / 255.0f, 19 / 255.0f, 1.0f};
inline ImVec4 Panel{36 / 255.0f, 23 / 255.0f, 18 / 255.0f, 1.0f};
inline ImVec4 Fg{230 / 255.0f, 214 / 255.0f, 196 / 255.0f, 1.0f};
inline ImVec4 Dim{180 / 255.0f, 125 / 255.0f, 88 / 255.0f, 1.0f};
inline ImVec4 Amber{224 / 255.0f, 121 / 255.0f, 66 / 255.0f, 1.0f};
inline ImVec4 Muted{92 / 255.0f, 63 / 255.0f, 41 / 255.0f, 1.0f};
inline ImVec4 Accent{224 / 255.0f, 167 / 255.0f, 115 / 255.0f, 1.0f};
inline ImVec4 Live{106 / 255.0f, 216 / 255.0f, 74 / 255.0f, 1.0f};
inline ImVec4 Error{224 / 255.0f, 86 / 255.0f, 74 / 255.0f, 1.0f};
inline ImVec4 Surface{42 / 255.0f, 26 / 255.0f, 19 / 255.0f, 1.0f};
inline ImVec4 SurfaceH{56 / 255.0f, 35 / 255.0f, 24 / 255.0f, 1.0f};
inline ImVec4 SurfaceA{66 / 255.0f, 41 / 255.0f, 28 / 255.0f, 1.0f};
inline ImVec4 ButtonH{110 / 255.0f, 74 / 255.0f, 48 / 255.0f, 1.0f};

// Fills the palette for `id` (1 light, anything else dark) and writes the
// current GUI style's colours and unscaled sizes from it. GUI thread only,
// with a GUI context in place.
void apply(ThemeId id);

// The radar map's near-black canvas and what is drawn on it: labels, notes,
// the crosshair and wind arrow, the place dots. The same in both themes (the
// dark palette's light colours), as the radar imagery is drawn for a dark map.
struct MapInks {
    ImVec4 canvas, label, note, mark, dot;
};
MapInks mapInks();

// A chart's secondary line (last year's highs): the text colour faded, so it
// stays behind the data lines yet reads at 3:1 on a window or popup fill.
ImVec4 faintLine();

// The alert toasts' background: a deep red under the dark theme's light text,
// a pale red under the light theme's dark text.
ImVec4 toastFill();

}  // namespace nbr::theme
