// What the panels' text functions hand to the drawing code: a text with the
// palette role it is drawn in, so the choices are testable without a GUI.
#pragma once

#include <cstdio>
#include <string>

namespace nbr::panel {

// Palette role of a text: the normal text colour, the disabled colour, or one
// of the palette's named colours.
enum class Tone : int { Normal = 0, Dim, Accent, Live, Amber, Error };

struct Line {
    std::string text;
    Tone tone = Tone::Normal;
    bool separatorBefore = false;  // a separator line comes first
};

// printf into a fixed buffer of N bytes: longer texts are cut there.
template <size_t N = 128, typename... Args>
std::string printed(const char* fmt, Args... args) {
    char buf[N];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

}  // namespace nbr::panel
