// What the application window needs of X11 beyond SDL: the native handle, a
// wait on the connection, the title-bar theme hint, click-through and the
// window icon.
#pragma once

#include "platform/Image.h"

#include <optional>

struct SDL_Window;

namespace nbr::platform::gui {

// The X11 display and window behind an SDL window.
struct NativeWindow {
    void* display = nullptr;  // Display*
    unsigned long window = 0;  // Window
};

// Hints to set before SDL starts: a closed window must not quit by itself.
void setStartupHints();

// The X11 handle of `w`; empty under other video drivers.
std::optional<NativeWindow> nativeWindow(SDL_Window* w);

// Waits up to `ms` milliseconds for the X connection to have something to
// read, sending the requests made so far first when `flush`; true when it
// has, or when the wait was cut short by a signal. What SDL already queued
// is not looked at: ask it first.
bool waitForInput(const NativeWindow& nw, int ms, bool flush);

// Asks the window manager for a dark or light title bar (_GTK_THEME_VARIANT).
void setThemeVariant(const NativeWindow& nw, bool dark);

// Lets every mouse click pass through the window (an empty input shape), or
// restores normal input.
void setClickThrough(const NativeWindow& nw, bool on);

// True when the X server has the shape extension click-through needs.
bool clickThroughSupported(const NativeWindow& nw);

// Sets the window's icon from RGBA pixels; nothing for an empty image.
void setWindowIcon(SDL_Window* w, const RgbaImage& icon);

// The usable area of the display that shows `w` (the first display when
// `w` is null), or empty when SDL cannot tell.
struct Rect {
    int x, y, w, h;
};
std::optional<Rect> usableBounds(SDL_Window* w);

}  // namespace nbr::platform::gui
