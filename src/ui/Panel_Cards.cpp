#include "ui/Panel_Cards.h"

#include "foundation/PlaceTime.h"
#include "model/DayScores.h"
#include "model/SkyEvents.h"
#include "model/UnitText.h"
#include "model/WeatherCodes.h"
#include "service/WeatherService.h"
#include "ui/UIRenderer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace nbr::panel {

std::string textf(const char* fmt, ...) {
    char small[256];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_start(ap, fmt);
    std::vsnprintf(out.data(), out.size(), fmt, ap);
    va_end(ap);
    out.resize(static_cast<size_t>(n));
    return out;
}

namespace {

constexpr double kFeetPerMetre = 3.28084;
constexpr double kMilesPerKm = 0.621371;
constexpr double kInchPerCm = 0.393701;

CardLine line(std::string text, CardTone tone = CardTone::Normal) {
    CardLine l;
    l.text = std::move(text);
    l.tone = tone;
    return l;
}

CardLine same(std::string text, CardTone tone = CardTone::Normal) {
    CardLine l = line(std::move(text), tone);
    l.sameLine = true;
    return l;
}

CardLine spaced(CardLine l) {
    l.spacingBefore = true;
    return l;
}

}  // namespace

CardTone aqiTone(double usAqi) {
    if (usAqi <= 50) return CardTone::Live;
    if (usAqi <= 100) return CardTone::Amber;
    return CardTone::Error;
}

CardTone pollenTone(double value, double moderateFrom, double highFrom) {
    if (value >= highFrom) return CardTone::Error;
    if (value >= moderateFrom) return CardTone::Amber;
    return CardTone::Live;
}

TableCard airCard(const WeatherData& data) {
    const AirQuality& a = data.airQuality;
    TableCard card;
    card.head.push_back(line(textf("US AQI %.0f  (%s)", a.usAqi, aqiCategory(a.usAqi)), aqiTone(a.usAqi)));
    card.head.push_back(same("ug/m3:", CardTone::Disabled));
    const std::pair<const char*, double> cells[] = {{"PM2.5", a.pm2_5},          {"PM10", a.pm10},
                                                    {"O3", a.ozone},             {"NO2", a.nitrogenDioxide},
                                                    {"SO2", a.sulphurDioxide},   {"CO", a.carbonMonoxide}};
    for (const auto& [name, v] : cells)
        card.cells.push_back(v >= 0 ? line(textf("%s %.0f", name, v)) : line(textf("%s --", name), CardTone::Disabled));
    const std::string guidance = aqiHealthGuidance(a.usAqi);
    if (!guidance.empty()) {
        CardLine g = spaced(line(guidance, CardTone::Dim));
        g.wrapped = true;
        card.foot.push_back(std::move(g));
    }
    return card;
}

TableCard pollenCard(const WeatherData& data) {
    const AirQuality& a = data.airQuality;
    struct Row {
        const char* name;
        double value, moderate, high;
    };
    const Row rows[] = {{"Grass", a.grassPollen, 20, 50},    {"Birch", a.birchPollen, 30, 90},
                        {"Alder", a.alderPollen, 30, 90},    {"Olive", a.olivePollen, 30, 90},
                        {"Mugwort", a.mugwortPollen, 20, 50}, {"Ragweed", a.ragweedPollen, 20, 50}};
    TableCard card;
    card.head.push_back(line("Pollen (grains/m3)", CardTone::Disabled));
    for (const Row& r : rows)
        if (r.value >= 0) card.cells.push_back(line(textf("%s %.0f", r.name, r.value), pollenTone(r.value, r.moderate, r.high)));
    card.foot.push_back(spaced(line("green = low, amber = moderate, red = high", CardTone::Disabled)));
    return card;
}

std::vector<CardLine> tidesCard(const WeatherData& data, const Config& config) {
    const TideInfo& t = data.tides;
    const bool imperial = config.useFahrenheit;
    std::vector<CardLine> out;
    auto waveLine = [&](bool spacing) {
        CardLine w = imperial ? line(textf("Waves ~%.1f ft", t.waveHeight * kFeetPerMetre))
                              : line(textf("Waves ~%.1f m", t.waveHeight));
        w.spacingBefore = spacing;
        out.push_back(std::move(w));
        out.push_back(same("(model)", CardTone::Disabled));
    };
    if (t.hasPredictions) {
        if (!t.stationName.empty()) out.push_back(line(t.stationName, CardTone::Disabled));
        for (const TideEvent& e : t.events) {
            int h = 0, m = 0;
            const std::string when =
                std::sscanf(e.time.c_str(), "%d:%d", &h, &m) == 2 ? clockHM(h, m, config.use24hClock) : e.time;
            const char* kind = e.high ? "High" : "Low ";
            out.push_back(line(textf("%s  %s%s", kind, when.c_str(),
                                     !e.height ? "" : imperial ? textf("  (%.1f ft)", *e.height * kFeetPerMetre).c_str()
                                                               : textf("  (%.1f m)", *e.height).c_str())));
        }
        if (t.waveHeight >= 0) waveLine(true);
    } else if (t.waveHeight >= 0) {
        waveLine(false);
    }
    if (t.waterTemperature > -900)
        out.push_back(line(textf("Water %s at %s", units::temp(config, t.waterTemperature).c_str(),
                                 t.stationName.empty() ? "station" : t.stationName.c_str())));
    if (t.hasBuoy) {
        out.push_back(imperial ? line(textf("Buoy %s (%.0f %s):", t.buoyId.c_str(), t.buoyDistanceKm * kMilesPerKm, "mi"))
                               : line(textf("Buoy %s (%.0f %s):", t.buoyId.c_str(), t.buoyDistanceKm, "km")));
        if (t.buoyWaveHeight >= 0)
            out.push_back(imperial ? same(textf("waves %.1f ft", t.buoyWaveHeight * kFeetPerMetre))
                                   : same(textf("waves %.1f m", t.buoyWaveHeight)));
        if (t.buoyWaterTemperature > -900)
            out.push_back(same(textf(" water %s", units::temp(config, t.buoyWaterTemperature).c_str())));
        out.back().tooltip = "Measured by the buoy, vs the marine model's waves";
    }
    if (!t.hasPredictions && t.waveHeight < 0 && !t.hasBuoy && t.waterTemperature <= -900)
        out.push_back(line("No tide / marine data here.", CardTone::Disabled));
    return out;
}

std::vector<CardLine> riverCard(const WeatherData& data, const Config& config) {
    const FloodInfo& f = data.flood;
    const bool imperial = config.useFahrenheit;
    std::vector<CardLine> out;
    // The week's peak stands without today's flow.
    const bool modelled = knownAmount(f.riverDischarge) || knownAmount(f.riverDischargeMax);
    if (modelled) {
        if (knownAmount(f.riverDischarge))
            out.push_back(line(textf("Nearest river: %.1f m3/s now", f.riverDischarge)));
        if (f.riverDischargeMax > 1.5 * f.riverDischarge && f.riverDischarge > 0)
            out.push_back(line(textf("Rising: peaks near %.1f m3/s this week", f.riverDischargeMax), CardTone::Amber));
        else
            out.push_back(line(textf("7-day peak: %.1f m3/s", f.riverDischargeMax)));
        out.push_back(line("(modelled - GloFAS)", CardTone::Disabled));
    }
    if (f.hasGauge) {
        CardLine g = line(textf("Gauge: %s", f.gaugeSite.c_str()));
        g.spacingBefore = modelled;
        out.push_back(std::move(g));
        if (f.gaugeDischarge >= 0) out.push_back(line(textf("  measured %.2f m3/s", f.gaugeDischarge)));
        if (f.gaugeHeight >= 0)
            out.push_back(imperial ? line(textf("  stage %.1f ft", f.gaugeHeight * kFeetPerMetre))
                                   : line(textf("  stage %.2f m", f.gaugeHeight)));
        out.push_back(imperial ? line(textf("(USGS gauge, %.0f %s away)", f.gaugeDistanceKm * kMilesPerKm, "mi"),
                                      CardTone::Disabled)
                               : line(textf("(USGS gauge, %.0f %s away)", f.gaugeDistanceKm, "km"), CardTone::Disabled));
    }
    return out;
}

std::vector<CardLine> almanacCard(const WeatherData& data, const Config& config, int64_t now) {
    const bool imperial = config.useFahrenheit;
    std::vector<CardLine> out;
    out.push_back(line(textf("Normal: high %s / low %s", units::temp(config, data.normals.tmax).c_str(),
                             units::temp(config, data.normals.tmin).c_str())));
    // No comparison with a high or a normal that is not known.
    const DailyForecast* today = todayOf(data, now);
    if (today && knownTemperature(today->temperatureMax) && knownTemperature(data.normals.tmax)) {
        double d = today->temperatureMax - data.normals.tmax;
        if (imperial) d *= 1.8;
        CardLine l = d >= 1    ? line(textf("Today's high runs %.0f above average", d), CardTone::Amber)
                     : d <= -1 ? line(textf("Today's high runs %.0f below average", -d), CardTone::Live)
                               : line("Today's high is about average.", CardTone::Disabled);
        out.push_back(spaced(std::move(l)));
    }
    if (data.seasonalAnomaly.valid) {
        double a = data.seasonalAnomaly.anomaly;
        if (imperial) a *= 1.8;
        CardLine l = a >= 0.5    ? line(textf("Next 3 months lean warmer (about +%.0f deg)", a), CardTone::Amber)
                     : a <= -0.5 ? line(textf("Next 3 months lean cooler (about %.0f deg)", a), CardTone::Accent)
                                 : line("Next 3 months look near normal", CardTone::Disabled);
        out.push_back(spaced(std::move(l)));
    }
    if (mercuryRetrograde(now)) {
        CardLine l = line("Mercury: retrograde", CardTone::Disabled);
        l.tooltip = "(no effect on the weather)";
        out.push_back(std::move(l));
    }
    out.push_back(spaced(line("(10-year average for this date)", CardTone::Disabled)));
    return out;
}

TomorrowViews tomorrowViews(const WeatherData& data, int64_t now) {
    TomorrowViews v;
    v.own = dayAhead(data, now, 1);
    if (!v.own) return v;
    // Each service's values were worked out for one date: shown only for this one.
    const auto ofTomorrow = [&](const ProviderForecast& p) { return p.valid && p.date == v.own->date; };
    if (ofTomorrow(data.metNorway)) v.metNorway = &data.metNorway;
    if (ofTomorrow(data.nws)) v.nws = &data.nws;
    return v;
}

bool madeToday(const WeatherData& data, int64_t now) { return !WeatherService::fromAnotherDay(data, now); }

std::vector<CardLine> trendsCard(const WeatherData& data, const Config& config, int64_t now) {
    const bool imperial = config.useFahrenheit;
    const AnalogOutlook& a = data.analogs;
    std::vector<CardLine> out;
    if (a.valid && madeToday(data, now)) {
        out.push_back(line(textf("Similar stretches, %d-yr archive (n=%d):", a.years, a.matches), CardTone::Disabled));
        out.push_back(line(textf("Next day: %s / %s avg", units::temp(config, a.nextHighAvg).c_str(),
                                 units::temp(config, a.nextLowAvg).c_str())));
        const std::string delta = units::tempDelta(config, a.trendAvg);
        CardLine trend = a.trendAvg <= -1.0 ? same(textf(" trend: cooling (%s)", delta.c_str()), CardTone::Live)
                         : a.trendAvg >= 1.0 ? same(textf(" trend: warming (%s)", delta.c_str()), CardTone::Amber)
                                             : same(" trend: flat", CardTone::Disabled);
        std::vector<double> highs = a.nextHighs;
        std::sort(highs.begin(), highs.end());
        trend.tipLines.push_back(
            line(textf("Next-day highs across the %d matches:", static_cast<int>(highs.size())), CardTone::Disabled));
        for (double h : highs) trend.tipHistogram.push_back(static_cast<float>(shownDegrees(h, imperial)));
        trend.tipHistogramId = "##analogs";
        trend.tipHistogramAt = 1;
        trend.tipHistogramWidth = 220;
        trend.tipHistogramHeight = 60;
        if (!highs.empty())
            trend.tipLines.push_back(line(textf("min %s   avg %s   max %s", units::temp(config, highs.front()).c_str(),
                                                units::temp(config, a.nextHighAvg).c_str(),
                                                units::temp(config, highs.back()).c_str())));
        out.push_back(std::move(trend));
        if (a.rainPct >= 25) out.push_back(line(textf("Rain next day: %.0f%% of matches", a.rainPct)));
    }
    if (const TomorrowViews t = tomorrowViews(data, now); t.any()) {
        const size_t first = out.size();
        if (t.metNorway)
            out.push_back(line(textf("Tomorrow  %-12s%s / %s", "MET Norway:",
                                     units::temp(config, t.metNorway->temperatureMax).c_str(),
                                     units::temp(config, t.metNorway->temperatureMin).c_str())));
        if (t.nws) {
            const double chance = t.nws->precipitationProbability;
            const std::string rain = knownAmount(chance) ? "  rain " + units::chance(chance) : std::string();
            out.push_back(line(textf("%s  nws:        %s / %s%s", t.metNorway ? "        " : "Tomorrow",
                                     units::temp(config, t.nws->temperatureMax).c_str(),
                                     units::temp(config, t.nws->temperatureMin).c_str(), rain.c_str())));
        }
        out.push_back(line(textf("          Open-Meteo: %s / %s", units::temp(config, t.own->temperatureMax).c_str(),
                                 units::temp(config, t.own->temperatureMin).c_str()),
                           CardTone::Disabled));
        out[first].spacingBefore = a.valid;
    }
    return out;
}


std::vector<CardLine> recordsCard(const WeatherData& data, const Config& config, int64_t now) {
    const ArchiveInsights& i = data.insights;
    std::vector<CardLine> out;
    if (!i.valid || !madeToday(data, now)) return out;
    out.push_back(line(textf("This date, %d-yr archive:", i.years), CardTone::Disabled));
    out.push_back(line(textf("Record: %s ('%02d)  /  %s ('%02d)", units::temp(config, i.recordHigh).c_str(),
                             i.recordHighYear % 100, units::temp(config, i.recordLow).c_str(), i.recordLowYear % 100)));
    if (i.hasLastYear)
        out.push_back(line(textf("Last year: %s / %s%s", units::temp(config, i.lastYearHigh).c_str(),
                                 units::temp(config, i.lastYearLow).c_str(), i.lastYearPrecip >= 1.0 ? "  (rain)" : "")));
    if (i.streakDays > 0) {
        out.push_back(line(textf("Streak: %d days ", i.streakDays)));
        CardLine word = same(i.streakAbove ? "above" : "below", i.streakAbove ? CardTone::Amber : CardTone::Accent);
        word.joined = true;
        out.push_back(std::move(word));
        CardLine rest = same(" seasonal average");
        rest.joined = true;
        out.push_back(std::move(rest));
    }
    if (i.monthRain >= 0) {
        CardLine l = line(textf("Month rain: %s of %s typical", units::precip(config, i.monthRain).c_str(),
                                units::precip(config, i.monthRainTypical).c_str()));
        l.tipLines.push_back(line("This month's rain by year (oldest left):", CardTone::Disabled));
        for (double v : i.monthRainByYear) l.tipHistogram.push_back(static_cast<float>(v));
        l.tipHistogramId = "##monthrain";
        l.tipHistogramAt = 1;
        if (!i.monthRainByYear.empty()) {
            const auto [lo, hi] = std::minmax_element(i.monthRainByYear.begin(), i.monthRainByYear.end());
            l.tipLines.push_back(line(textf("range %s - %s", units::precip(config, *lo).c_str(),
                                            units::precip(config, *hi).c_str())));
        }
        out.push_back(std::move(l));
    }
    return out;
}

std::vector<CardLine> planCard(const WeatherData& data, int64_t now) {
    const DayScores s = computeDayScores(data, todayOf(data, now), placeClock(data), now);
    const std::pair<const char*, const DayScore*> rows[] = {
        {"Stargazing", &s.stargazing}, {"Laundry", &s.laundry}, {"Running", &s.running}};
    std::vector<CardLine> out;
    for (const auto& [name, score] : rows) {
        if (score->score < 0) continue;
        out.push_back(line(textf("%-11s", name)));
        const CardTone tone = score->score >= 8 ? CardTone::Live : score->score < 5 ? CardTone::Error : CardTone::Amber;
        out.push_back(same(textf("%2d/10 %s", score->score, score->label), tone));
        out.push_back(same(textf("- %s", score->reason.c_str()), CardTone::Disabled));
    }
    out.push_back(spaced(line("(scored from clouds, moon, rain odds, humidity, air)", CardTone::Disabled)));
    return out;
}

std::vector<CardLine> quakesCard(const WeatherData& data) {
    std::vector<CardLine> out;
    out.push_back(line("Earthquakes within 500 km, past week:", CardTone::Disabled));
    const auto& events = data.quakes.events;
    for (size_t k = 0; k < events.size() && k < 2; ++k) {
        const QuakeEvent& q = events[k];
        const CardTone tone = q.magnitude >= 5.0 ? CardTone::Error : q.magnitude >= 4.0 ? CardTone::Amber : CardTone::Dim;
        out.push_back(line(textf("M%.1f", q.magnitude), tone));
        // An event whose position is unknown has no distance to give.
        out.push_back(same(q.distanceKm >= 0 ? textf("%.0f km away, %.0fh ago", q.distanceKm, q.hoursAgo)
                                             : textf("%.0fh ago", q.hoursAgo)));
        if (!q.place.empty()) out.push_back(line(textf("  %s", q.place.c_str()), CardTone::Disabled));
    }
    out.push_back(spaced(line("(USGS)", CardTone::Disabled)));
    return out;
}

FreshSnow hourlySnowfallSum(const WeatherData& data, int64_t now) {
    constexpr int kHours = 24;
    const std::span<const HourlyForecast> hours = hoursWithin(data, now, kHours);
    FreshSnow out;
    out.unknownHours = kHours - static_cast<int>(hours.size());  // missing from the record or past its end
    for (const HourlyForecast& h : hours) {
        if (knownAmount(h.snowfall)) out.cm += h.snowfall;
        else ++out.unknownHours;
    }
    return out;
}

std::vector<CardLine> winterCard(const WeatherData& data, const Config& config, int64_t now) {
    std::vector<CardLine> out;
    const std::span<const HourlyForecast> hours = hoursFrom(data, now, 1);
    if (hours.empty()) return out;
    const bool imperial = config.useFahrenheit;
    const HourlyForecast& first = hours.front();  // the hour holding now
    if (first.snowDepth > 0.01)
        out.push_back(imperial ? line(textf("Snow on the ground: %.1f in", first.snowDepth * 100 * kInchPerCm))
                               : line(textf("Snow on the ground: %.0f cm", first.snowDepth * 100)));
    // A sum with hours missing says how many.
    if (const FreshSnow fresh = hourlySnowfallSum(data, now); fresh.cm > 0.1) {
        const std::string missing = fresh.unknownHours > 0 ? textf(" (%d h unknown)", fresh.unknownHours) : "";
        out.push_back(line(textf("Next 24h: %s of fresh snow%s", units::snow(config, fresh.cm).c_str(), missing.c_str()),
                           CardTone::Accent));
    }
    if (first.freezingLevelHeight >= 0) {
        out.push_back(imperial ? line(textf("Freezing level: %.0f ft up", first.freezingLevelHeight * kFeetPerMetre))
                               : line(textf("Freezing level: %.0f m up", first.freezingLevelHeight)));
        out.push_back(line("(rain below that altitude, snow above)", CardTone::Disabled));
    }
    return out;
}

DiscussionCard discussionCard(const WeatherData& data, const Config& config) {
    DiscussionCard card;
    card.text = &data.afdText;
    if (!data.afdOffice.empty()) {
        card.officeLine = "WFO " + data.afdOffice;
        const std::string clock = formatPlaceClock(data.afdIssued, placeClock(data), config.use24hClock);
        if (!clock.empty()) card.officeLine += "  -  issued " + clock;
    }
    return card;
}

}  // namespace nbr::panel
