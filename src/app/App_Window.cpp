#include "app/App.h"

#include "desktop/Badge.h"
#include "foundation/Logger.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "ui/Texture.h"
#include "ui/Theme.h"
#include "ui/WindowFit.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace nbr {

WindowSize initialWindowSize(int storedW, int storedH, float scale, int maxW, int maxH) {
    WindowSize s;
    s.w = storedW >= 1 ? std::max(storedW, 700) : static_cast<int>(1040 * scale);
    s.h = storedH > 0 ? std::max(storedH, 500) : static_cast<int>(820 * scale);
    // A stored size from a larger display must not open a window the user
    // cannot reach the edges of.
    if (maxW > 0) s.w = std::min(s.w, maxW);
    if (maxH > 0) s.h = std::min(s.h, maxH);
    return s;
}

WindowBox fitToDisplay(WindowBox asked, WindowBox area) {
    if (area.w <= 0 || area.h <= 0) return asked;
    const WindowSize s = initialWindowSize(asked.w, asked.h, 1.0f, area.w, area.h);
    const draw::Box b = draw::fitInside({ImVec2(float(asked.x), float(asked.y)), ImVec2(float(s.w), float(s.h))},
                                        ImVec2(float(area.x), float(area.y)), ImVec2(float(area.w), float(area.h)));
    return {static_cast<int>(b.pos.x), static_cast<int>(b.pos.y), s.w, s.h};
}

void App::resizeOnDisplay(int w, int h) {
    const auto area = platform::gui::usableBounds(window);
    if (!area) {
        SDL_SetWindowSize(window, w, h);
        return;
    }
    int top = 0, left = 0, bottom = 0, right = 0;  // all 0 when the window manager does not say
    SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right);
    WindowBox box{0, 0, w, h};
    SDL_GetWindowPosition(window, &box.x, &box.y);
    box = fitToDisplay(box, {area->x + left, area->y + top, area->w - left - right, area->h - top - bottom});
    SDL_SetWindowSize(window, box.w, box.h);
    SDL_SetWindowPosition(window, box.x, box.y);
    config.windowW = box.w;
    config.windowH = box.h;
}

bool App::initSDL() {
    platform::gui::setStartupHints();
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) != 0) return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    const float s = displayScale();
    const auto bounds = platform::gui::usableBounds(nullptr);
    const WindowSize size =
        initialWindowSize(config.windowW, config.windowH, s, bounds ? bounds->w : 0, bounds ? bounds->h : 0);
    window = SDL_CreateWindow("Nimbrel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.w, size.h,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window) return false;
    glContext = SDL_GL_CreateContext(window);
    if (!glContext) return false;
    SDL_GL_MakeCurrent(window, glContext);
    SDL_GL_SetSwapInterval(1);

    hwnd = platform::gui::nativeWindow(window);
    if (!hwnd) return true;
    platform::gui::setThemeVariant(*hwnd, true);
    windowIcon = createBadgeIcon("N");
    platform::gui::setWindowIcon(window, windowIcon);
    return true;
}

float App::displayScale() const {
    int index = window ? SDL_GetWindowDisplayIndex(window) : 0;
    if (index < 0) index = 0;
    float ddpi = 0;
    if (SDL_GetDisplayDPI(index, &ddpi, nullptr, nullptr) != 0 || !(ddpi > 0)) return 1.0f;
    return ddpi / 96.0f;
}

platform::RgbaImage App::createBadgeIcon(const std::string& text) const {
    return paintBadge(text, {15, 18, 28}, {224, 121, 66});
}

void App::applyTheme() {
    const bool light = config.themeId == 1;
    // Start from the library's own style each time, so the sizes are scaled
    // once from their unscaled values however often the theme is applied.
    ImGui::GetStyle() = ImGuiStyle();
    theme::apply(light ? theme::Light : theme::Dark);
    int index = window ? SDL_GetWindowDisplayIndex(window) : 0;
    if (index < 0) index = 0;
    float ddpi = 0;
    if (SDL_GetDisplayDPI(index, &ddpi, nullptr, nullptr) == 0 && ddpi / 96.0f > 1.05f)
        ImGui::GetStyle().ScaleAllSizes(ddpi / 96.0f);
    if (hwnd) platform::gui::setThemeVariant(*hwnd, !light);
}

bool App::initImGui() {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    static const std::string iniPath = Config::configDir() + "/ui_layout.ini";
    // The library writes the file with fopen, which keeps an existing file's
    // mode: create it owner-only first. Not empty: this version of the
    // library reads past the end of an empty settings file.
    platform::ensurePrivateFile(iniPath, "\n");
    io.IniFilename = iniPath.c_str();

    applyTheme();
    ImGui_ImplSDL2_InitForOpenGL(window, glContext);
    ImGui_ImplOpenGL3_Init("#version 330");
    io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;  // see updateMouseCursor
    static const SDL_SystemCursor kCursors[ImGuiMouseCursor_COUNT] = {
        SDL_SYSTEM_CURSOR_ARROW,    SDL_SYSTEM_CURSOR_IBEAM,    SDL_SYSTEM_CURSOR_SIZEALL,
        SDL_SYSTEM_CURSOR_SIZENS,   SDL_SYSTEM_CURSOR_SIZEWE,   SDL_SYSTEM_CURSOR_SIZENESW,
        SDL_SYSTEM_CURSOR_SIZENWSE, SDL_SYSTEM_CURSOR_HAND,     SDL_SYSTEM_CURSOR_NO};
    for (SDL_SystemCursor c : kCursors) mouseCursors.push_back(SDL_CreateSystemCursor(c));
    guiReady = true;
    rebuildFonts();

    renderer = std::make_unique<UIRenderer>(locationManager, config);
    // A picture that does not load leaves its panel without it; the log says
    // where it was looked for.
    const auto picture = [](const char* name, bool colorKey) {
        const std::string path = resourcePath(name);
        const Texture t = loadTexture(path, colorKey);
        if (t.id == 0) Log::warn("picture not loaded: %s", path.c_str());
        return t;
    };
    renderer->weatherIcons = picture("weather-icons.png", false);
    renderer->moonPhases = picture("moon-phases.png", false);
    renderer->constellationAtlas = picture("constellations-atlas.png", false);
    renderer->constellationAtlas2 = picture("constellations-atlas2.png", false);
    const char* meteors[4] = {"small-meteor-a.png", "small-meteor-b.png", "medium-meteor.png", "large-meteor.png"};
    for (int i = 0; i < 4; ++i) renderer->meteorSprites[i] = picture(meteors[i], true);
    return true;
}

void App::updateMouseCursor() {
    const int wanted = ImGui::GetIO().MouseDrawCursor ? ImGuiMouseCursor_None : ImGui::GetMouseCursor();
    if (wanted == shownCursor) return;
    shownCursor = wanted;
    if (wanted < 0 || static_cast<size_t>(wanted) >= mouseCursors.size()) {
        SDL_ShowCursor(SDL_FALSE);
        return;
    }
    SDL_Cursor* c = mouseCursors[static_cast<size_t>(wanted)];
    SDL_SetCursor(c ? c : mouseCursors[ImGuiMouseCursor_Arrow]);
    SDL_ShowCursor(SDL_TRUE);
}

void App::rebuildFonts() {
    ImGuiIO& io = ImGui::GetIO();
    // The backend builds the font texture with its first frame; after that a
    // rebuild replaces it.
    const bool hadTexture = guiReady && io.Fonts->TexID != nullptr;
    io.Fonts->Clear();
    const float px = static_cast<float>(std::lround(16.0f * displayScale()));

    bool crisp = false;
    if (config.crispFont) {
        for (const std::string& path : platform::monoFontPaths()) {
            const std::string bytes = platform::readUsableFont(path);
            if (bytes.empty()) continue;
            // The atlas takes ownership of a buffer from the library's allocator.
            void* data = IM_ALLOC(bytes.size());
            std::memcpy(data, bytes.data(), bytes.size());
            ImFontConfig cfg;
            cfg.OversampleH = 3;
            cfg.OversampleV = 2;
            if (io.Fonts->AddFontFromMemoryTTF(data, static_cast<int>(bytes.size()), px, &cfg)) {
                crisp = true;
                break;
            }
        }
    }
    if (!crisp) {
        ImFontConfig cfg;
        cfg.SizePixels = px;
        io.Fonts->AddFontDefault(&cfg);
    }
    fontsCrisp = crisp;
    if (hadTexture) {
        ImGui_ImplOpenGL3_DestroyFontsTexture();
        ImGui_ImplOpenGL3_CreateFontsTexture();
        // The new atlas may reuse the old texture's name.
        presentForced = true;
    }
}

}  // namespace nbr
