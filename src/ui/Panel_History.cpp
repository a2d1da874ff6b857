#include "ui/Panel_History.h"

#include "model/UnitText.h"
#include "ui/UIRenderer.h"

#include <cmath>

namespace nbr::panel {

namespace {

CardLine text(std::string s, CardTone tone = CardTone::Normal) {
    CardLine l;
    l.text = std::move(s);
    l.tone = tone;
    return l;
}

// A tuned forecast needs this many scored days at one lead.
constexpr int kTuningDays = 10;

}  // namespace

HistoryView historyView(const WeatherData& data, const Config& config) {
    HistoryView v;
    const ForecastSkill& s = data.skill;
    if (data.history.empty()) {
        v.noHistory = true;
        return v;
    }
    if (!s.loggingSince.empty())
        v.loggingLine = textf("Logging since %s  -  %d day(s) recorded", s.loggingSince.c_str(), s.daysRecorded);

    bool tuned = false;
    for (int k = 1; k <= 6; ++k) tuned = tuned || s.leads[k].n >= kTuningDays;
    if (s.seeded)
        v.status = text("Seeded: corrections borrowed from the nearest saved location (reduced weight) until local "
                        "data accumulates.",
                        CardTone::Amber);
    else if (tuned)
        v.status = text("Forecast tuning active - highs/lows corrected for the measured local error (marked *).",
                        CardTone::Live);
    else
        v.status = text(textf("Still learning - forecasts get tuned once ~%d days of comparisons exist.", kTuningDays),
                        CardTone::Disabled);

    const double degree = config.useFahrenheit ? 1.8 : 1.0;
    v.skillValid = s.valid;
    if (s.valid) {
        for (int k = 1; k <= 6; ++k) {
            const LeadSkill& l = s.leads[k];
            if (l.n == 0) continue;
            TableRow row;
            row.cells = {k == 1 ? std::string("1 day") : textf("%d days", k), textf("%d", l.n),
                         textf("%.1f deg", (l.maeHigh + l.maeLow) / 2 * degree)};
            if (l.n > 9) {
                const double b = (l.biasHigh + l.biasLow) / 2;
                row.last = b >= 0.3    ? text("runs warm " + units::tempDelta(config, b), CardTone::Amber)
                           : b <= -0.3 ? text("runs cool " + units::tempDelta(config, b), CardTone::Accent)
                                       : text("neutral", CardTone::Disabled);
            } else {
                row.last = text("learning", CardTone::Disabled);
            }
            v.leads.push_back(std::move(row));
        }
    }

    if (s.rainSamples > 9 && std::fabs(s.rainFactor - 1.0) >= 0.15) {
        v.hasRainLine = true;
        v.rainLine = text(textf("Rain amounts: actual ~%.1fx forecast here (n=%d)", s.rainFactor, s.rainSamples));
        v.rainLine.tooltip = "Ratio of rain that fell vs rain forecast, over days\nthe day-ahead forecast called >= 0.5 "
                             "mm. Displayed\nprecip totals for future days are scaled by this.";
    }

    for (const PopBin& b : s.popBins) v.hasCalibration = v.hasCalibration || b.n > 11;
    if (v.hasCalibration) {
        for (int i = 0; i < 5; ++i) {
            const PopBin& b = s.popBins[i];
            if (b.n == 0) continue;
            TableRow row;
            row.cells = {textf("%d-%d%%", 20 * i, 20 * i + 20), textf("%d", b.n)};
            row.last = b.n < 12 ? text("learning", CardTone::Disabled) : text(textf("%.0f%%", b.rainy * 100.0 / b.n));
            v.popBins.push_back(std::move(row));
        }
    }

    for (const ModelSkillEntry& m : s.models) {
        TableRow row;
        row.cells = {m.model, textf("%d", m.days), textf("%.1f deg", m.mae * degree)};
        if (m.brierN > 11 && m.brier >= 0) {
            row.last = text(textf("%.2f", m.brier));
            row.last.tooltip = textf("Brier score of its rain probabilities here\n(0 = perfect, 0.25 = coin flip; "
                                     "n=%d).\nSharper sources get more weight in the\nrain-chance consensus.",
                                     m.brierN);
        } else {
            row.last = text("--", CardTone::Disabled);
        }
        v.models.push_back(std::move(row));
    }
    return v;
}

float chartDegrees(double c, bool fahrenheit) {
    return static_cast<float>(shownDegrees(c, fahrenheit));
}

ChartScale historyChartScale(const std::vector<HistoryDay>& days, bool f) {
    ChartScale s;
    s.enough = days.size() >= 2;
    if (!s.enough) return s;
    float lo = 1e9f, hi = -1e9f;
    auto take = [&](double c) {
        const float v = chartDegrees(c, f);
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (const HistoryDay& d : days) {
        if (d.hasObserved) take(d.observedHigh), take(d.observedLow);
        if (d.hasForecast) take(d.forecastHigh), take(d.forecastLow);
        if (d.hasLastYear) take(d.lastYearHigh);
    }
    if (lo > hi) lo = hi = 0;  // no value at all: a flat scale around zero
    if (hi - lo < 1.0f) {
        lo -= 0.5f;
        hi += 0.5f;
    }
    s.min = lo;
    s.max = hi;
    return s;
}

float chartX(float originX, size_t i) { return originX + 8.0f + (static_cast<float>(i) + 0.5f) * kChartColumn; }

float chartY(float originY, float v, const ChartScale& s) {
    return originY + kChartHeight - 8.0f - (v - s.min) / (s.max - s.min) * 114.0f;
}

int chartColumnAt(float ox, float oy, float mx, float my, size_t days) {
    if (my < oy || my >= oy + kChartHeight) return -1;
    const float rel = mx - ox - 8.0f;
    if (rel < 0) return -1;
    const size_t i = static_cast<size_t>(rel / kChartColumn);
    return i < days ? static_cast<int>(i) : -1;
}

std::string chartDateLabel(const std::string& date) {
    if (date.size() < 10) return {};
    return date.substr(5, 2) + "/" + date.substr(8, 2);
}

std::vector<CardLine> chartTooltip(const HistoryDay& d, const Config& config) {
    std::vector<CardLine> out;
    out.push_back(text(d.date));
    if (d.hasObserved)
        out.push_back(text(textf("Actual:   %s / %s", units::temp(config, d.observedHigh).c_str(),
                                 units::temp(config, d.observedLow).c_str())));
    if (d.hasLastYear)
        out.push_back(text(textf("Last yr high: %s", units::temp(config, d.lastYearHigh).c_str()), CardTone::Disabled));
    if (d.hasForecast)
        out.push_back(text(textf("Forecast: %s / %s  (day before)", units::temp(config, d.forecastHigh).c_str(),
                                 units::temp(config, d.forecastLow).c_str())));
    if (d.hasObserved && d.hasForecast)
        out.push_back(text(textf("Miss: high %s, low %s deg",
                                 units::tempDelta(config, d.forecastHigh - d.observedHigh).c_str(),
                                 units::tempDelta(config, d.forecastLow - d.observedLow).c_str()),
                           CardTone::Disabled));
    return out;
}

}  // namespace nbr::panel
