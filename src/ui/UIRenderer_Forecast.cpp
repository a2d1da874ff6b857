// The 24-hour strip, the 7-day table and the sun's day arc.
#include "model/WeatherCodes.h"
#include "ui/Panel_Forecast.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

namespace nbr {

namespace {
constexpr float kColumn = 64.0f;  // width of one hour's column
constexpr float kInset = 6.0f;    // left inset of the strip
constexpr float kPi = 3.14159265358979f;

// The strip's grid lines and empty rain bars: dark browns on the dark theme;
// on the light theme the palette's surface shades, so they do not show as
// black blocks.
ImU32 gridColour(int themeId) {
    return themeId == theme::Light ? ImGui::GetColorU32(theme::SurfaceA) : IM_COL32(58, 42, 32, 255);
}
ImU32 barBackground(int themeId) {
    return themeId == theme::Light ? ImGui::GetColorU32(theme::SurfaceH) : IM_COL32(42, 30, 24, 255);
}
}  // namespace

void UIRenderer::renderHourlyForecast(std::span<const HourlyForecast> hourly, const RecordClock& clock) {
    if (hourly.empty()) return;
    const ImGuiStyle& style = ImGui::GetStyle();
    ImGui::TextUnformatted("24-Hour Forecast");
    ImGui::SameLine();
    if (draw::smallButton("Radar")) {
        actions.toggleRadar = true;
        actions.radarBelow = ImGui::GetItemRectMax().y;
    }
    draw::tooltip("Open weather radar");

    // The chart, its rain bars and four rows of text, over the strip's scroll
    // bar: the right column's carousel gets every pixel not used here.
    const float rowH = ImGui::GetTextLineHeightWithSpacing();
    const float h = 2 * style.ItemSpacing.y + 70 + 4 * rowH + style.ScrollbarSize;
    // The strip's width is known now: giving it up front shows the scroll bar
    // in the first frame instead of one frame later.
    ImGui::SetNextWindowContentSize(ImVec2(kColumn * static_cast<float>(hourly.size()) + kInset, 0));
    ImGui::BeginChild("hourlyScroll", ImVec2(0, h), false, ImGuiWindowFlags_HorizontalScrollbar);
    const ImVec2 p = ImGui::GetCursorScreenPos();
    renderHourlyChart(hourly, kColumn, kInset);
    ImGui::Spacing();

    const size_t n = hourly.size();
    const ImVec2 g = ImGui::GetCursorScreenPos();
    ImDrawList* dl = ImGui::GetWindowDrawList();
    for (size_t i = 0; i <= n; ++i) {
        const float x = g.x + kInset + kColumn * static_cast<float>(i);
        dl->AddLine(ImVec2(x, g.y), ImVec2(x, g.y + 4 * rowH), gridColour(config.themeId), 1.0f);
    }

    const std::vector<panel::HourCells>& cells =
        hourStripMemo.get(panel::hourStripInputs(hourly, config, clock, frameSecond),
                          [&] { return panel::hourStrip(hourly, config, clock, frameSecond); });
    const float rowX = ImGui::GetCursorPosX();
    auto row = [&](std::string panel::HourCells::*field) {
        for (size_t i = 0; i < n; ++i) {
            const std::string& t = cells[i].*field;
            const float x = rowX + kColumn * static_cast<float>(i) + kInset + (kColumn - draw::textWidth(t)) / 2;
            if (i == 0) ImGui::SetCursorPosX(x);
            else ImGui::SameLine(x);
            draw::text(t);
        }
    };
    row(&panel::HourCells::hour);
    row(&panel::HourCells::temperature);
    row(&panel::HourCells::condition);
    row(&panel::HourCells::rain);

    if (ImGui::IsWindowHovered()) {
        const ImVec2 m = ImGui::GetIO().MousePos;
        const float bottom = ImGui::GetCursorScreenPos().y;
        if (m.y >= p.y && m.y < bottom) {
            const float rel = m.x - (p.x + kInset);
            if (rel >= 0) {
                const size_t i = static_cast<size_t>(rel / kColumn);
                if (i < n) {
                    const float x0 = p.x + kInset + kColumn * static_cast<float>(i);
                    dl->AddRectFilled(ImVec2(x0, p.y), ImVec2(x0 + kColumn, bottom), IM_COL32(255, 255, 255, 15));
                    renderHourlyTooltip(hourly[i], clock);
                }
            }
        }
    }
    ImGui::EndChild();
}

void UIRenderer::renderRunOut(const char* title, const std::string& note) {
    if (note.empty()) return;
    ImGui::TextUnformatted(title);
    draw::text(note, panel::Tone::Dim, true);
}

void UIRenderer::renderHourlyChart(std::span<const HourlyForecast> hourly, float w, float inset) {
    const std::vector<float> level = panel::hourlyChartLevels(hourly, config.useFahrenheit);
    if (level.empty()) return;
    const size_t n = level.size();
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const ImVec2 o = ImGui::GetCursorScreenPos();
    const float base = o.y + 38;
    const ImU32 accent = ImGui::GetColorU32(theme::Accent);
    auto point = [&](size_t i) {
        return ImVec2(o.x + inset + (static_cast<float>(i) + 0.5f) * w, base - level[i] * 30);
    };
    // No point for an hour whose temperature is unknown, nor a line to it.
    const auto known = [&](size_t i) { return !std::isnan(level[i]); };
    for (size_t i = 0; i + 1 < n; ++i)
        if (known(i) && known(i + 1)) dl->AddLine(point(i), point(i + 1), accent, 2.0f);
    for (size_t i = 0; i < n; ++i)
        if (known(i)) dl->AddCircleFilled(point(i), 1.6f, accent);
    ImGui::Dummy(ImVec2(static_cast<float>(n) * w + inset, 44));

    const ImVec2 r = ImGui::GetCursorScreenPos();
    const float half = w * 0.58f * 0.5f;
    const ImU32 amber = ImGui::GetColorU32(theme::Amber);
    for (size_t i = 0; i < n; ++i) {
        if (!knownAmount(hourly[i].precipitationProbability)) continue;  // no bar for an unknown chance
        const float c = r.x + inset + (static_cast<float>(i) + 0.5f) * w;
        dl->AddRectFilled(ImVec2(c - half, r.y), ImVec2(c + half, r.y + 26), barBackground(config.themeId));
        const float pop = static_cast<float>(hourly[i].precipitationProbability) / 100.0f;
        if (pop > 0)
            dl->AddRectFilled(ImVec2(c - half, r.y + (1 - std::min(pop, 1.0f)) * 26), ImVec2(c + half, r.y + 26),
                              amber);
    }
    ImGui::Dummy(ImVec2(static_cast<float>(n) * w + inset, 26));
}

void UIRenderer::renderHourlyTooltip(const HourlyForecast& hour, const RecordClock& clock) {
    ImGui::BeginTooltip();
    draw::lines(panel::hourlyTooltip(hour, config, clock));
    ImGui::EndTooltip();
}

void UIRenderer::renderDailyForecast(std::span<const DailyForecast> daily, const std::string& today,
                                     const RecordClock& clock) {
    if (daily.empty()) return;
    ImGui::TextUnformatted("7-Day Forecast");
    ImGui::SameLine();
    draw::text("(hi/lo  -  confidence  -  rain%)", panel::Tone::Dim);
    ImGui::Spacing();
    const int cols = panel::dailyColumns(daily.size());
    const ImGuiTableFlags flags =
        ImGuiTableFlags_RowBg | ImGuiTableFlags_Borders | ImGuiTableFlags_SizingStretchSame;
    if (!ImGui::BeginTable("forecast", cols, flags)) return;
    auto hoverTip = [&](int c) {
        if (ImGui::IsItemHovered()) renderDailyTooltip(daily[static_cast<size_t>(c)], clock);
    };

    ImGui::TableNextRow();
    for (int c = 0; c < cols; ++c) {
        ImGui::TableSetColumnIndex(c);
        const std::string head = panel::dayHeader(daily[static_cast<size_t>(c)], today, config.dailyShowDates);
        draw::text(head);
        hoverTip(c);
    }
    ImGui::TableNextRow();
    for (int c = 0; c < cols; ++c) {
        const DailyForecast& d = daily[static_cast<size_t>(c)];
        ImGui::TableSetColumnIndex(c);
        draw::text(panel::dayTemperatures(d, config));
        hoverTip(c);
        if (d.corrected) {
            ImGui::SameLine(0, 3);
            draw::text("*", panel::Tone::Live);
            hoverTip(c);
        }
        const panel::Line conf = panel::dayConfidence(d);
        if (!conf.text.empty()) {
            draw::text(conf.text, conf.tone);
            hoverTip(c);
        }
    }
    // The icons are placed here and drawn after the table, all in one go: a
    // picture inside a cell would keep the table from merging its columns'
    // drawing, which costs a draw call per cell.
    struct Icon {
        ImVec2 pos;
        float size;
        int cell;
    };
    Icon icons[7];
    int iconCount = 0;
    ImGui::TableNextRow();
    for (int c = 0; c < cols; ++c) {
        const DailyForecast& d = daily[static_cast<size_t>(c)];
        ImGui::TableSetColumnIndex(c);
        const int cell = weatherCodeToIconCell(d.weatherCode, false);
        if (weatherIcons.id != 0 && cell >= 0) {
            const float avail = ImGui::GetContentRegionAvail().x;
            const float z = std::min(0.74f * avail, 118.0f);
            ImGui::SetCursorPosX(ImGui::GetCursorPosX() + std::max(0.0f, (avail - 1.25f * z) / 2));
            icons[iconCount++] = {ImGui::GetCursorScreenPos(), z, cell};
            ImGui::Dummy(ImVec2(1.25f * z, z));
        } else {
            draw::text(weatherCodeToShortString(d.weatherCode));
        }
        hoverTip(c);
    }
    ImGui::TableNextRow();
    for (int c = 0; c < cols; ++c) {
        ImGui::TableSetColumnIndex(c);
        const panel::Line rain = panel::dayRain(daily[static_cast<size_t>(c)]);
        draw::text(rain.text, rain.tone);
        hoverTip(c);
    }
    ImGui::EndTable();
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const auto tex = reinterpret_cast<ImTextureID>(static_cast<intptr_t>(weatherIcons.id));
    for (int i = 0; i < iconCount; ++i) {
        const Icon& ic = icons[i];
        const float col = static_cast<float>(ic.cell % 6), row = static_cast<float>(ic.cell / 6);
        dl->AddImage(tex, ic.pos, ImVec2(ic.pos.x + 1.25f * ic.size, ic.pos.y + ic.size),
                     ImVec2(col / 6.0f, row / 5.0f), ImVec2((col + 1) / 6.0f, (row + 1) / 5.0f));
    }
}

void UIRenderer::renderDailyTooltip(const DailyForecast& day, const RecordClock& clock) {
    ImGui::BeginTooltip();
    // The skill of forecasts made as far ahead as this one was, in its record.
    const int lead = record ? panel::forecastLead(*record, day) : -1;
    draw::lines(panel::dailyTooltip(day, lead, skill, config, clock));
    ImGui::EndTooltip();
}

void UIRenderer::renderSunTracker(const WeatherData& data) {
    const panel::SunTrack t = panel::sunTrack(data, frameSecond, config.use24hClock);
    if (!t.show) return;
    changesAt(frameSecond + t.changesIn);
    const ImVec2 avail = ImGui::GetContentRegionAvail(), q = ImGui::GetCursorScreenPos();
    const panel::SunTrackerLayout l = panel::sunTrackerLayout(
        t, q.x, q.y, avail.x, avail.y, draw::textWidth(t.countdown.text), ImGui::GetTextLineHeight());
    ImGui::Dummy(ImVec2(l.width, l.height));
    draw::noteItem("sunTracker");
    if (!t.goldenHours.empty() && ImGui::IsItemHovered()) ImGui::SetTooltip("%s", t.goldenHours.c_str());

    ImDrawList* dl = ImGui::GetWindowDrawList();
    const float b = l.horizon, x0 = l.centreX, r = l.radius, s = l.scale;
    ImVec2 arc[41];
    for (int k = 0; k <= 40; ++k) {
        const float a = (1.0f - k / 40.0f) * kPi;
        arc[k] = ImVec2(x0 + r * std::cos(a), b - r * std::sin(a));
    }
    dl->AddPolyline(arc, 41, ImGui::GetColorU32(theme::Muted), 0, 1.5f);
    const ImU32 dim = ImGui::GetColorU32(theme::Dim);
    dl->AddLine(ImVec2(x0 - r - 8 * s, b), ImVec2(x0 + r + 8 * s, b), dim, 1.0f);
    dl->AddCircleFilled(ImVec2(x0 - r, b), 2.5f * s, dim);
    dl->AddCircleFilled(ImVec2(x0 + r, b), 2.5f * s, dim);

    const ImVec2 sun(l.markerX, l.markerY);
    if (t.day) {
        const ImU32 amber = ImGui::GetColorU32(theme::Amber);
        dl->AddCircleFilled(sun, 6 * s, amber);
        for (int j = 0; j < 8; ++j) {
            const float ra = j * kPi / 4;
            dl->AddLine(ImVec2(sun.x + 8 * s * std::cos(ra), sun.y + 8 * s * std::sin(ra)),
                        ImVec2(sun.x + 11 * s * std::cos(ra), sun.y + 11 * s * std::sin(ra)), amber, 1.2f * s);
        }
    } else {
        dl->AddCircleFilled(sun, 5 * s, IM_COL32(107, 74, 46, 255));
    }

    auto centredAt = [&](const std::string& text, float cx, float top, ImU32 col) {
        dl->AddText(ImVec2(cx - draw::textWidth(text) / 2, top), col, text.c_str());
    };
    // The clock labels in the dimmed text colour (the arc's own colour is too
    // faint to read as text).
    centredAt(t.riseText, x0 - r, b + 6 * s, dim);
    centredAt(t.setText, x0 + r, b + 6 * s, dim);
    dl->AddText(ImVec2(l.countdown.x0, l.countdown.y0), ImGui::GetColorU32(draw::toneColour(t.countdown.tone)),
                t.countdown.text.c_str());
}

}  // namespace nbr
