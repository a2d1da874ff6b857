#include "platform/gui/Window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <cstring>

#include <poll.h>

namespace nbr::platform::gui {

void setStartupHints() {
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

std::optional<NativeWindow> nativeWindow(SDL_Window* w) {
    if (!w) return std::nullopt;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return std::nullopt;
    if (!info.info.x11.display || !info.info.x11.window) return std::nullopt;
    return NativeWindow{info.info.x11.display, info.info.x11.window};
}

bool waitForInput(const NativeWindow& nw, int ms, bool flush) {
    auto* dpy = static_cast<Display*>(nw.display);
    if (flush) XFlush(dpy);
    if (XEventsQueued(dpy, QueuedAlready) > 0) return true;  // read in by an earlier call
    pollfd p{ConnectionNumber(dpy), POLLIN, 0};
    return poll(&p, 1, ms) != 0;  // input, an error to report, or a signal to hand on
}

void setThemeVariant(const NativeWindow& nw, bool dark) {
    auto* dpy = static_cast<Display*>(nw.display);
    const Atom prop = XInternAtom(dpy, "_GTK_THEME_VARIANT", False);
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    const char* value = dark ? "dark" : "light";
    XChangeProperty(dpy, nw.window, prop, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value), static_cast<int>(std::strlen(value)));
    XFlush(dpy);
}

bool clickThroughSupported(const NativeWindow& nw) {
    int eventBase = 0, errorBase = 0;
    return XShapeQueryExtension(static_cast<Display*>(nw.display), &eventBase, &errorBase);
}

void setClickThrough(const NativeWindow& nw, bool on) {
    if (!clickThroughSupported(nw)) return;
    auto* dpy = static_cast<Display*>(nw.display);
    if (on) {
        XShapeCombineRectangles(dpy, nw.window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    } else {
        XShapeCombineMask(dpy, nw.window, ShapeInput, 0, 0, None, ShapeSet);
    }
    XFlush(dpy);
}

void setWindowIcon(SDL_Window* w, const RgbaImage& icon) {
    if (!w || icon.empty()) return;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint8_t*>(icon.pixels.data()), icon.width, icon.height, 32, icon.width * 4,
        SDL_PIXELFORMAT_RGBA32);
    if (!s) return;
    SDL_SetWindowIcon(w, s);  // SDL copies the pixels
    SDL_FreeSurface(s);
}

std::optional<Rect> usableBounds(SDL_Window* w) {
    int index = w ? SDL_GetWindowDisplayIndex(w) : 0;
    if (index < 0) index = 0;
    SDL_Rect r;
    if (SDL_GetDisplayUsableBounds(index, &r) != 0 || r.w <= 0 || r.h <= 0) return std::nullopt;
    return Rect{r.x, r.y, r.w, r.h};
}

}  // namespace nbr::platform::gui
