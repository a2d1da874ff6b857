// Everything the dashboard derives from a record, over a record whose every
// weather value is unknown and over full records with one value unknown at a
// time: no figure, judgement or word may come from an unknown-value marker.
#include "PlaceRecords.h"
#include "TestEnv.h"
#include "app/App.h"
#include "desktop/AlertEngine.h"
#include "foundation/PlaceTime.h"
#include "model/DayScores.h"
#include "model/Utf8.h"
#include "ui/Panel_Current.h"
#include "ui/Panel_Forecast.h"
#include "ui/Panel_History.h"
#include "ui/Panel_Sky.h"
#include "ui/Panel_Status.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <map>
#include <variant>

namespace nbr {
namespace {

using test::Place;
using test::readFile;
using test::TempDir;
using test::utcSeconds;
// Source name -> its texts. A name ending in '#' is a slot (texts compared in
// order); "~" marks a sentence; any other name is a list whose lines may be
// left out.
using Texts = std::map<std::string, std::vector<std::string>>;

template <class T>
using Field = std::variant<double T::*, int T::*>;
template <class T>
struct Named {
    const char* name;
    Field<T> field;
};
using H = HourlyForecast;
using D = DailyForecast;
using Q = MinutelyForecast;
using W = WeatherData;
const Named<H> kHourFields[] = {
    {"temperature", &H::temperature}, {"weatherCode", &H::weatherCode}, {"precipitation", &H::precipitation},
    {"snowfall", &H::snowfall}, {"precipitationProbability", &H::precipitationProbability}, {"uvIndex", &H::uvIndex},
    {"surfacePressure", &H::surfacePressure}, {"windSpeed", &H::windSpeed}, {"windDirection", &H::windDirection},
    {"snowDepth", &H::snowDepth}, {"freezingLevelHeight", &H::freezingLevelHeight}, {"cloudCover", &H::cloudCover}};
const Named<D> kDayFields[] = {
    {"weatherCode", &D::weatherCode}, {"temperatureMax", &D::temperatureMax}, {"temperatureMin", &D::temperatureMin},
    {"precipitationSum", &D::precipitationSum}, {"rainSum", &D::rainSum}, {"snowfallSum", &D::snowfallSum},
    {"precipitationProbabilityMax", &D::precipitationProbabilityMax}, {"uvIndexMax", &D::uvIndexMax},
    {"daylightDuration", &D::daylightDuration}};
const Named<Q> kQuarterFields[] = {{"precipitation", &Q::precipitation}, {"weatherCode", &Q::weatherCode}};
const Named<W> kCurrentFields[] = {
    {"temperature", &W::temperature}, {"apparentTemperature", &W::apparentTemperature},
    {"relativeHumidity", &W::relativeHumidity}, {"precipitation", &W::precipitation}, {"rain", &W::rain},
    {"snowfall", &W::snowfall}, {"weatherCode", &W::weatherCode}, {"cloudCover", &W::cloudCover},
    {"pressureMsl", &W::pressureMsl}, {"dewPoint", &W::dewPoint}, {"visibility", &W::visibility},
    {"uvIndex", &W::uvIndex}, {"windSpeed", &W::windSpeed}, {"windDirection", &W::windDirection},
    {"windGusts", &W::windGusts}};

// The value an entry holds before a reader fills it: the unknown marker.
template <class T>
void forget(T& entry, const Field<T>& f) {
    std::visit([&](auto p) { entry.*p = T{}.*p; }, f);
}
template <class T, size_t N>
void forgetAll(std::vector<T>& list, const Named<T> (&fields)[N]) {
    for (T& e : list)
        for (const Named<T>& f : fields) forget(e, f.field);
}

int64_t nowOf(const WeatherData& d) { return utcSeconds(2026, 1, 15, 14, 10) - d.utcOffsetSeconds; }

// A place record with every weather value known: Boston dry now with snow
// likely later, Oslo snowing now.
WeatherData fullRecord(Place place) {
    WeatherData d = test::placeRecord(place);
    const bool snowingNow = place == Place::Oslo;
    d.temperature = -2, d.apparentTemperature = -6, d.dewPoint = -5, d.relativeHumidity = 55;
    d.precipitation = d.snowfall = snowingNow ? 0.4 : 0, d.rain = 0;
    d.weatherCode = snowingNow ? 73 : 3, d.cloudCover = 90, d.pressureMsl = 1008, d.visibility = 9000;
    d.uvIndex = 1, d.windSpeed = 8, d.windDirection = 40, d.windGusts = 30;
    for (size_t i = 0; i < d.hourly.size(); ++i) {
        HourlyForecast& h = d.hourly[i];
        h.temperature = -4 + double(i % 6), h.weatherCode = 73, h.precipitation = 0.3, h.snowfall = 0.2;
        h.precipitationProbability = i == 5 ? 95 : 20 + 2 * double(i);  // one wettest hour
        h.uvIndex = i < 3 ? 1 : 0, h.surfacePressure = 1005;
        h.windSpeed = 8, h.windDirection = 40, h.snowDepth = 0.05, h.freezingLevelHeight = 300, h.cloudCover = 90;
    }
    for (size_t i = 0; i < d.daily.size(); ++i) {
        DailyForecast& day = d.daily[i];
        day.weatherCode = 73, day.precipitationSum = 3, day.rainSum = 0, day.snowfallSum = i == 0 ? 2.5 : 0;
        day.precipitationProbabilityMax = i == 0 ? 96 : 30, day.uvIndexMax = 1, day.daylightDuration = 33000;
        day.sunrise = day.date + "T07:10", day.sunset = day.date + "T16:35";
    }
    for (int m = 0; m < 8; ++m)
        d.minutely15.push_back({test::januaryDay(15) + "T" + std::to_string(14 + m / 4) + ":" +
                                    (m % 4 ? std::to_string(15 * (m % 4)) : "00"),
                                snowingNow ? 0.4 : 0, snowingNow ? 73 : 3});
    return d;
}

void addLines(Texts& t, const std::string& src, const std::vector<panel::CardLine>& lines) {
    for (const panel::CardLine& l : lines) {
        t[src].push_back(l.text);
        t[src].push_back(l.tooltip);
        for (const panel::CardLine& tip : l.tipLines) t[src].push_back(tip.text);
    }
}
void addLines(Texts& t, const std::string& src, const std::vector<panel::Line>& lines) {
    for (const panel::Line& l : lines) t[src].push_back(l.text);
}

// The history log's lines for the record, written to a folder of its own.
std::vector<std::string> logLines(WeatherData d) {
    static TempDir tmp;
    static int n = 0;
    HistoryStore store;
    store.dir = tmp.path() + "/" + std::to_string(n++);
    store.record(d);
    std::vector<std::string> out;
    std::istringstream in(readFile(store.pathFor(d.location.cacheKey())));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

Texts textsOf(const WeatherData& d) {
    Texts t;
    const int64_t now = nowOf(d);
    const DailyForecast* today = todayOf(d, now);
    const RecordClock clock = recordClock(d);
    for (const bool imperial : {true, false}) {
        Config cfg;
        if (!imperial) cfg.useFahrenheit = false, cfg.windUnit = cfg.pressureUnit = cfg.precipUnit = 1;
        const std::string u = imperial ? "F:" : "C:";
        // Current block, status and tray.
        t[u + "current#"] = {panel::feelsLikeText(d, cfg), panel::pressureLine(d, cfg), panel::pressureWarning(d),
                             panel::sunLine(d, today, cfg), panel::daylightLine(today)};
        t[u + "advice~"] = {panel::currentAdvice(d, today, cfg, now).text, dailyTakeaway(d, today, placeClock(d), now, imperial)};
        addLines(t, u + "metrics", panel::currentMetrics(d, cfg));
        for (int stat = 0; stat < 3; ++stat) {
            cfg.miniStat = stat;
            const panel::MiniStrip m = panel::miniStrip(d, cfg, false, now);
            t[u + "mini#"].push_back(m.top + " | " + m.stat.text);
        }
        const TrayQuickLook q = quickLookOf(d, cfg, now);
        for (const std::u16string* s : {&q.temperature, &q.condition, &q.feelsLike, &q.highLow, &q.wind, &q.rain})
            t[u + "tray#"].push_back(wideToUtf8(*s));
        t[u + "tray#"].push_back(trayTooltipOf(d, cfg, now));
        // Hourly strip, its tooltips and chart.
        const std::span<const HourlyForecast> hours = hoursFrom(d, now);
        for (const panel::HourCells& c : panel::hourStrip(hours, cfg, clock, now))
            t[u + "strip#"].insert(t[u + "strip#"].end(), {c.hour, c.temperature, c.condition, c.rain});
        for (size_t i = 0; i < hours.size(); ++i)
            addLines(t, u + "hourTip" + std::to_string(i), panel::hourlyTooltip(hours[i], cfg, clock));
        // Day table, its tooltips and the sun.
        const std::span<const DailyForecast> days = daysFrom(d, now);
        for (size_t k = 0; k < days.size(); ++k) {
            const panel::SunTimes sun = panel::sunTimes(days[k], clock, false);
            t[u + "day#"].insert(t[u + "day#"].end(),
                                 {panel::dayHeader(days[k], panel::placeToday(d, now), true),
                                  panel::dayTemperatures(days[k], cfg), panel::dayConfidence(days[k]).text,
                                  panel::dayRain(days[k]).text, sun.rise + sun.set + sun.word});
            addLines(t, u + "dayTip" + std::to_string(k),
                     panel::dailyTooltip(days[k], static_cast<int>(k), &d.skill, cfg, clock));
        }
        const panel::SunTrack sun = panel::sunTrack(d, now, false);
        t[u + "sunTrack#"] = {sun.riseText, sun.setText, sun.countdown.text, sun.goldenHours};
        // Cards, sky and history.
        for (const panel::TableCard& c : {panel::airCard(d), panel::pollenCard(d)}) {
            addLines(t, u + "table", c.head), addLines(t, u + "table", c.cells), addLines(t, u + "table", c.foot);
        }
        addLines(t, u + "tides", panel::tidesCard(d, cfg));
        addLines(t, u + "river", panel::riverCard(d, cfg));
        addLines(t, u + "almanac", panel::almanacCard(d, cfg, now));
        addLines(t, u + "trends", panel::trendsCard(d, cfg, now));
        addLines(t, u + "records", panel::recordsCard(d, cfg, now));
        addLines(t, u + "plan", panel::planCard(d, now));
        addLines(t, u + "quakes", panel::quakesCard(d));
        addLines(t, u + "winter", panel::winterCard(d, cfg, now));
        addLines(t, u + "sky", panel::skyCard(d, cfg, now).lines);
        for (const panel::SkyTab& tab : panel::skyTabs(d, now)) t[u + "tabs"].push_back(tab.label);
        const panel::HistoryView v = panel::historyView(d, cfg);
        t[u + "history"] = {v.loggingLine, v.status.text, v.rainLine.text};
        for (const auto* rows : {&v.leads, &v.popBins, &v.models})
            for (const panel::TableRow& r : *rows) {
                t[u + "history"].insert(t[u + "history"].end(), r.cells.begin(), r.cells.end());
                t[u + "history"].push_back(r.last.text);
            }
        for (const HistoryDay& day : d.history) addLines(t, u + "chart", panel::chartTooltip(day, cfg));
        // Alerts.
        const AlertEngine engine;
        const AlertWording wording{placeClock(d).dateOf(now), imperial, {}};
        for (const WeatherAlert& a : engine.evaluate(d, {64, 12, 0}, now))
            t[u + "alerts"].push_back(a.title + ": " + alertMessageOn(a, wording));
        for (const WeatherAlert& a : engine.evaluateSkyEvents(d, now))
            t[u + "alerts"].push_back(a.title + ": " + alertMessageOn(a, wording));
    }
    const DayScores s = computeDayScores(d, today, now);
    for (const DayScore* x : {&s.stargazing, &s.laundry, &s.running})
        t["scores#"].push_back(x->score < 0 ? "--" : std::to_string(x->score) + " " + x->label + " " + x->reason);
    t["log"] = logLines(d);
    return t;
}

// The numbers of a text as written ("-1", "4.6"; not the "-01" of a date).
std::vector<std::string> figures(const std::string& text) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const auto word = [&](size_t i) { return std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '.'; };
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!digit(text[i]) || (i > 0 && word(i - 1))) continue;
        size_t end = i;
        while (end < text.size() && (digit(text[end]) || text[end] == '.')) ++end;
        const bool negative = i > 0 && text[i - 1] == '-' && (i == 1 || !word(i - 2));
        out.push_back((negative ? "-" : "") + text.substr(i, end - i));
        i = end;
    }
    return out;
}

// A figure no known value gives: the markers themselves, "Unknown" as a
// condition, and -1 or a number of 900 or more that the full record's texts
// of the same source do not hold.
std::string markerFigure(const std::string& text, const std::vector<std::string>& full) {
    if (text.find("999") != std::string::npos || text.find("Unknown") != std::string::npos) return text;
    for (const std::string& n : figures(text)) {
        if (std::stod(n) != -1 && std::fabs(std::stod(n)) < 900) continue;
        if (std::none_of(full.begin(), full.end(), [&](const std::string& f) {
                const std::vector<std::string> held = figures(f);
                return std::find(held.begin(), held.end(), n) != held.end();
            }))
            return n;
    }
    return {};
}

// Whether a log line says only what a line of the full record says.
bool saysLess(const std::string& line, const std::vector<std::string>& full) {
    const nlohmann::json j = nlohmann::json::parse(line);
    return std::any_of(full.begin(), full.end(), [&](const std::string& f) {
        const nlohmann::json g = nlohmann::json::parse(f);
        return std::all_of(j.items().begin(), j.items().end(),
                           [&](const auto& kv) { return g.contains(kv.key()) && g[kv.key()] == kv.value(); });
    });
}

// Whether the words of `line` are those of `full`, in order, with some left
// out.
bool wordsLeftOut(const std::string& line, const std::string& full) {
    std::istringstream a(line), b(full);
    std::string w, v;
    while (a >> w) {
        do {
            if (!(b >> v)) return false;
        } while (v != w);
    }
    return true;
}

bool shownUnknown(const std::string& s) {
    return s.find("--") != std::string::npos || s.find("unknown") != std::string::npos ||
           s.find("partial") != std::string::npos;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The texts of `u` against those of the full record `f`: a slot reads as it
// did or shows "--"; a list only loses lines or shows "--" in them; a log
// line only loses keys; a sentence names no rain or snow the full one did
// not; and nothing holds a marker's figure.
void expectNoMarker(const Texts& u, const Texts& f, const std::string& what) {
    for (const auto& [src, texts] : u) {
        const auto found = f.find(src);
        const std::vector<std::string> none;
        const std::vector<std::string>& full = found == f.end() ? none : found->second;
        for (size_t i = 0; i < texts.size(); ++i) {
            const std::string& s = texts[i];
            EXPECT_EQ(markerFigure(s, full), "") << what << " " << src << ": " << s;
            if (s.empty() || shownUnknown(s)) continue;
            if (src == "log") {
                EXPECT_TRUE(saysLess(s, full)) << what << " log: " << s;
            } else if (src.back() == '~') {
                const std::string was = i < full.size() ? lower(full[i]) : "";
                for (const char* w : {"rain", "snow", "umbrella", "shower"})
                    EXPECT_FALSE(lower(s).find(w) != std::string::npos && was.find(w) == std::string::npos)
                        << what << " " << src << ": " << s;
            } else if (src.back() == '#') {
                EXPECT_TRUE(i < full.size() && wordsLeftOut(s, full[i])) << what << " " << src << i << ": " << s;
            } else {
                const auto was = [&](const std::string& f) { return wordsLeftOut(s, f); };
                EXPECT_TRUE(std::any_of(full.begin(), full.end(), was)) << what << " " << src << ": " << s;
            }
        }
    }
}

// The chart's known points still span its height: a marker never scales it.
void expectChartOfKnown(const WeatherData& d, const std::string& what) {
    const std::vector<float> levels = panel::hourlyChartLevels(hoursFrom(d, nowOf(d)), true);
    float lo = 1, hi = 0;
    for (float v : levels)
        if (!std::isnan(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    if (lo < hi) {
        EXPECT_TRUE(lo == 0 && hi == 1) << what << " chart " << lo << ".." << hi;
    }
}

TEST(UnknownValues, NoTextFigureOrJudgementComesFromAMarker) {
    for (const Place place : {Place::Boston, Place::Oslo}) {
        const WeatherData full = fullRecord(place);
        const Texts fullTexts = textsOf(full);
        const std::string name = test::placeName(place);
        const auto check = [&](const WeatherData& d, const std::string& what) {
            expectNoMarker(textsOf(d), fullTexts, name + " " + what);
            expectChartOfKnown(d, name + " " + what);
        };
        WeatherData unknown = full;
        forgetAll(unknown.hourly, kHourFields), forgetAll(unknown.daily, kDayFields);
        forgetAll(unknown.minutely15, kQuarterFields);
        for (const Named<W>& f : kCurrentFields) forget(unknown, f.field);
        check(unknown, "all unknown");
        const auto eachOne = [&](auto member, const auto& fields, const char* list) {
            for (size_t i = 0; i < (full.*member).size(); ++i)
                for (const auto& f : fields) {
                    WeatherData d = full;
                    forget((d.*member)[i], f.field);
                    check(d, std::string(list) + "[" + std::to_string(i) + "]." + f.name);
                }
        };
        if (place == Place::Boston) {  // Oslo, snowing now, adds the nowcast's and the current values' cases
            eachOne(&W::hourly, kHourFields, "hourly");
            eachOne(&W::daily, kDayFields, "daily");
        }
        eachOne(&W::minutely15, kQuarterFields, "minutely15");
        for (const Named<W>& f : kCurrentFields) {
            WeatherData d = full;
            forget(d, f.field);
            check(d, std::string("current.") + f.name);
        }
    }
}

}  // namespace
}  // namespace nbr
