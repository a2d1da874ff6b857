// The forecast-history window and its chart of observed highs and lows.
#include "ui/Panel_History.h"
#include "ui/Theme.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <imgui.h>

#include <functional>

namespace nbr {

namespace {

void disabledText(const char* text) { ImGui::TextDisabled("%s", text); }

// A table with a header row; the last cell of each row carries its colour.
void skillTable(const char* id, std::initializer_list<const char*> headers, const std::vector<panel::TableRow>& rows,
                const std::function<void(const panel::CardLine&)>& drawLast) {
    if (!ImGui::BeginTable(id, static_cast<int>(headers.size()), ImGuiTableFlags_RowBg | ImGuiTableFlags_Borders))
        return;
    for (const char* h : headers) ImGui::TableSetupColumn(h);
    ImGui::TableHeadersRow();
    for (const panel::TableRow& r : rows) {
        ImGui::TableNextRow();
        for (const std::string& c : r.cells) {
            ImGui::TableNextColumn();
            ImGui::TextUnformatted(c.c_str());
        }
        ImGui::TableNextColumn();
        drawLast(r.last);
    }
    ImGui::EndTable();
}

}  // namespace

void UIRenderer::renderHistoryWindow(const WeatherData& data) {
    bool open = true, opened = false;
    const bool shown = beginModal("Location History", 620, 490, &open, &opened);
    if (opened) historyChartScrolled = false;
    if (shown) {
        const panel::HistoryView v = panel::historyView(data, config);
        auto drawLast = [this](const panel::CardLine& l) { drawCardLine(l); };
        if (v.noHistory) {
            ImGui::TextWrapped("%s", "No local history yet.\n\nNimbrel logs conditions and forecasts for this location "
                                     "while it runs, then scores the forecasts against what actually happened and "
                                     "tunes future ones. Come back after a few days of use.");
        } else {
            if (!v.loggingLine.empty()) ImGui::TextUnformatted(v.loggingLine.c_str());
            panel::CardLine status = v.status;
            status.wrapped = true;
            drawCardLine(status);

            ImGui::Spacing();
            ImGui::TextUnformatted("Observed highs/lows");
            // The key goes on the next line when it does not fit beside the
            // heading, and wraps when the window is narrower still.
            const std::string key = "(rings = day-ahead forecast, faint line = last year)";
            draw::sameLineIfFits(draw::textWidth(key));
            draw::text(key, panel::Tone::Dim, true);
            draw::noteItem("chartKey");
            renderHistoryChart(data.history);

            ImGui::Spacing();
            ImGui::Separator();
            ImGui::TextUnformatted("Forecast accuracy by lead time");
            if (v.skillValid)
                skillTable("skill", {"Lead", "Days scored", "Typical miss", "Tendency"}, v.leads, drawLast);
            else
                draw::text("No scored forecasts yet - a forecast is scored the day after it's made.", panel::Tone::Dim,
                           true);

            if (v.hasRainLine) {
                ImGui::Spacing();
                drawCardLine(v.rainLine);
            }
            if (v.hasCalibration) {
                ImGui::Spacing();
                ImGui::Separator();
                ImGui::TextUnformatted("Rain-chance calibration (forecast vs observed)");
                skillTable("popcal", {"Forecast said", "Days", "Actually rained"}, v.popBins, drawLast);
                draw::text("Tomorrow's displayed rain chance is calibrated toward the observed rates above.",
                           panel::Tone::Dim, true);
            }
            if (!v.models.empty()) {
                ImGui::Spacing();
                ImGui::Separator();
                ImGui::TextUnformatted("Which forecast model does best here");
                skillTable("modelskill", {"Model", "Days scored", "Typical miss", "Rain skill"}, v.models, drawLast);
            }
        }
        ImGui::EndPopup();
    }
    if (!open) showHistory = false;
}

void UIRenderer::renderHistoryChart(const std::vector<HistoryDay>& rows) {
    const bool f = config.useFahrenheit;
    const panel::ChartScale scale = panel::historyChartScale(rows, f);
    if (!scale.enough) {
        disabledText("Chart appears once two or more days are logged.");
        return;
    }
    const float chartH = panel::kChartHeight;
    const float height = ImGui::GetStyle().ScrollbarSize + ImGui::GetTextLineHeightWithSpacing() + chartH + 8;
    ImGui::BeginChild("histScroll", ImVec2(0, height), false, ImGuiWindowFlags_HorizontalScrollbar);
    const ImVec2 o = ImGui::GetCursorScreenPos();
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const ImU32 amber = ImGui::GetColorU32(theme::Amber), accent = ImGui::GetColorU32(theme::Accent),
                dim = ImGui::GetColorU32(theme::Dim), lastYear = ImGui::GetColorU32(theme::faintLine());
    auto at = [&](size_t i, double c) { return ImVec2(panel::chartX(o.x, i), panel::chartY(o.y, panel::chartDegrees(c, f), scale)); };
    for (size_t i = 1; i < rows.size(); ++i) {
        const HistoryDay &a = rows[i - 1], &b = rows[i];
        if (a.hasLastYear && b.hasLastYear) dl->AddLine(at(i - 1, a.lastYearHigh), at(i, b.lastYearHigh), lastYear, 1.5f);
    }
    for (size_t i = 1; i < rows.size(); ++i) {
        const HistoryDay &a = rows[i - 1], &b = rows[i];
        if (!a.hasObserved || !b.hasObserved) continue;
        dl->AddLine(at(i - 1, a.observedHigh), at(i, b.observedHigh), amber, 2.0f);
        dl->AddLine(at(i - 1, a.observedLow), at(i, b.observedLow), accent, 2.0f);
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        const HistoryDay& d = rows[i];
        if (d.hasObserved) {
            dl->AddCircleFilled(at(i, d.observedHigh), 2.2f, amber);
            dl->AddCircleFilled(at(i, d.observedLow), 2.2f, accent);
        }
        if (d.hasForecast) {
            dl->AddCircle(at(i, d.forecastHigh), 3.4f, dim, 0, 1.5f);
            dl->AddCircle(at(i, d.forecastLow), 3.4f, dim, 0, 1.5f);
        }
    }
    const float contentW = static_cast<float>(rows.size()) * panel::kChartColumn + 16;
    ImGui::Dummy(ImVec2(contentW, chartH));
    const float labelY = ImGui::GetCursorScreenPos().y;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string label = panel::chartDateLabel(rows[i].date);
        if (label.empty()) continue;
        const float w = ImGui::CalcTextSize(label.c_str()).x;
        ImGui::SetCursorScreenPos(ImVec2(panel::chartX(o.x, i) - w / 2, labelY));
        disabledText(label.c_str());
    }
    if (ImGui::IsWindowHovered()) {
        const ImVec2 mouse = ImGui::GetIO().MousePos;
        const int col = panel::chartColumnAt(o.x, o.y, mouse.x, mouse.y, rows.size());
        if (col >= 0) {
            const float x0 = o.x + 8 + panel::kChartColumn * static_cast<float>(col);
            dl->AddRectFilled(ImVec2(x0, o.y), ImVec2(x0 + panel::kChartColumn, o.y + chartH), ImGui::GetColorU32(ImVec4(1, 1, 1, 0.06f)));
            const std::vector<panel::CardLine> tip = panel::chartTooltip(rows[static_cast<size_t>(col)], config);
            ImGui::BeginTooltip();
            for (size_t k = 0; k < tip.size(); ++k) {
                drawCardLine(tip[k]);
                if (k == 0) ImGui::Separator();
            }
            ImGui::EndTooltip();
        }
    }
    if (!historyChartScrolled) {
        // The content width is known from the frame after the child first
        // appears; scroll to the newest day once it is.
        const float maxX = ImGui::GetScrollMaxX();
        ImGui::SetScrollX(maxX);
        historyChartScrolled = maxX > 0 || contentW <= ImGui::GetWindowWidth();
    }
    ImGui::EndChild();
}

}  // namespace nbr
