// Everything the dashboard derives from a record, over a record whose every weather value is unknown and over
// full records with one value unknown at a time: no figure, judgement or word may come from an unknown marker.
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

#include <cmath>
#include <functional>
#include <map>

namespace nbr {
namespace {

// Source name -> its texts: "#" ends a slot (compared in order), "~" a sentence, any other name a list.
using Texts = std::map<std::string, std::vector<std::string>>;
// A field's name, and forgetting it: the value an entry holds before a reader fills it, the unknown marker.
template <class T>
using Fields = std::vector<std::pair<const char*, std::function<void(T&)>>>;
#define F(m) {#m, [](auto& e) { e.m = std::remove_reference_t<decltype(e)>{}.m; }}
const Fields<HourlyForecast> kHourFields = {F(temperature), F(weatherCode), F(precipitation), F(snowfall),
    F(precipitationProbability), F(uvIndex), F(surfacePressure), F(windSpeed), F(windDirection), F(snowDepth),
    F(freezingLevelHeight), F(cloudCover)};
const Fields<DailyForecast> kDayFields = {F(weatherCode), F(temperatureMax), F(temperatureMin), F(precipitationSum),
    F(rainSum), F(snowfallSum), F(precipitationProbabilityMax), F(uvIndexMax), F(daylightDuration)};
const Fields<MinutelyForecast> kQuarterFields = {F(precipitation), F(weatherCode)};
const Fields<WeatherData> kCurrentFields = {F(temperature), F(apparentTemperature), F(relativeHumidity),
    F(precipitation), F(rain), F(snowfall), F(weatherCode), F(cloudCover), F(pressureMsl), F(dewPoint),
    F(visibility), F(uvIndex), F(windSpeed), F(windDirection), F(windGusts)};
#undef F

int64_t nowOf(const WeatherData& d) { return test::utcSeconds(2026, 1, 15, 14, 10) - d.utcOffsetSeconds; }

// Every weather value known: Boston dry now with snow likely later, Oslo snowing now.
WeatherData fullRecord(test::Place place) {
    WeatherData d = test::placeRecord(place);
    const bool snowingNow = place == test::Place::Oslo;
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

Texts textsOf(const WeatherData& d) {
    Texts t;
    const int64_t now = nowOf(d);
    const DailyForecast* today = todayOf(d, now);
    const RecordClock clock = recordClock(d);
    for (const bool imperial : {true, false}) {
        Config cfg;
        if (!imperial) cfg.useFahrenheit = false, cfg.windUnit = cfg.pressureUnit = cfg.precipUnit = 1;
        const std::string u = imperial ? "F:" : "C:";
        const auto add = [&](const std::string& src, std::initializer_list<std::string> s) {
            t[u + src].insert(t[u + src].end(), s);
        };
        const auto addLines = [&]<class L>(const std::string& src, const std::vector<L>& lines) {
            for (const L& l : lines) {
                add(src, {l.text});
                if constexpr (requires { l.tipLines; }) {
                    add(src, {l.tooltip});
                    for (const panel::CardLine& tip : l.tipLines) add(src, {tip.text});
                }
            }
        };
        add("current#", {panel::feelsLikeText(d, cfg), panel::pressureLine(d, cfg), panel::pressureWarning(d),
                         panel::sunLine(d, today, cfg), panel::daylightLine(today)});
        add("advice~", {panel::currentAdvice(d, today, cfg, now).text,
                        dailyTakeaway(d, today, placeClock(d), now, imperial)});
        addLines("metrics", panel::currentMetrics(d, cfg));
        for (cfg.miniStat = 0; cfg.miniStat < 3; ++cfg.miniStat) {
            const panel::MiniStrip m = panel::miniStrip(d, {}, cfg, false, now);
            add("mini#", {m.top + " | " + m.stat.text});
        }
        const TrayQuickLook q = quickLookOf(d, cfg, now);
        for (const std::u16string* s : {&q.temperature, &q.condition, &q.feelsLike, &q.highLow, &q.wind, &q.rain})
            add("tray#", {wideToUtf8(*s)});
        add("tray#", {trayTooltipOf(d, {}, cfg, now)});
        const std::span<const HourlyForecast> hours = hoursFrom(d, now);
        for (const panel::HourCells& c : panel::hourStrip(hours, cfg, clock, now))
            add("strip#", {c.hour, c.temperature, c.condition, c.rain});
        for (size_t i = 0; i < hours.size(); ++i)
            addLines("hourTip" + std::to_string(i), panel::hourlyTooltip(hours[i], cfg, clock));
        const std::span<const DailyForecast> days = daysFrom(d, now);
        for (size_t k = 0; k < days.size(); ++k) {
            const panel::SunTimes sun = panel::sunTimes(days[k], clock, false);
            add("day#", {panel::dayHeader(days[k], panel::placeToday(d, now), true),
                         panel::dayTemperatures(days[k], cfg), panel::dayConfidence(days[k]).text,
                         panel::dayRain(days[k]).text, sun.rise + sun.set + sun.word});
            addLines("dayTip" + std::to_string(k), panel::dailyTooltip(days[k], int(k), &d.skill, cfg, clock));
        }
        const panel::SunTrack sun = panel::sunTrack(d, now, false);
        add("sunTrack#", {sun.riseText, sun.setText, sun.countdown.text, sun.goldenHours});
        const panel::TableCard air = panel::airCard(d), pollen = panel::pollenCard(d);
        for (const auto& lines : {air.head, air.cells, air.foot, pollen.head, pollen.cells, pollen.foot,
                                  panel::tidesCard(d, cfg), panel::riverCard(d, cfg), panel::almanacCard(d, cfg, now),
                                  panel::trendsCard(d, cfg, now), panel::recordsCard(d, cfg, now),
                                  panel::planCard(d, now), panel::quakesCard(d), panel::winterCard(d, cfg, now),
                                  panel::skyCard(d, cfg, now).lines})
            addLines("cards", lines);
        for (const panel::SkyTab& tab : panel::skyTabs(d, now)) add("tabs", {tab.label});
        const panel::HistoryView v = panel::historyView(d, cfg);
        add("history", {v.loggingLine, v.status.text, v.rainLine.text});
        for (const auto* rows : {&v.leads, &v.popBins, &v.models})
            for (const panel::TableRow& r : *rows) {
                t[u + "history"].insert(t[u + "history"].end(), r.cells.begin(), r.cells.end());
                add("history", {r.last.text});
            }
        for (const HistoryDay& day : d.history) addLines("chart", panel::chartTooltip(day, cfg));
        const AlertEngine engine;
        const AlertWording wording{placeClock(d).dateOf(now), imperial, {}};
        for (const auto& alerts : {engine.evaluate(d, {64, 12, 0}, now), engine.evaluateSkyEvents(d, now)})
            for (const WeatherAlert& a : alerts) add("alerts", {a.title + ": " + alertMessageOn(a, wording)});
    }
    const DayScores s = computeDayScores(d, today, placeClock(d), now);
    for (const DayScore* x : {&s.stargazing, &s.laundry, &s.running})
        t["scores#"].push_back(x->score < 0 ? "--" : std::to_string(x->score) + " " + x->label + " " + x->reason);
    static test::TempDir tmp;  // the history log's lines, one JSON entry each, in a folder of the record's own
    static int n = 0;
    HistoryStore store;
    store.dir = tmp.path() + "/" + std::to_string(n++);
    WeatherData logged = d;
    store.record(logged);
    std::istringstream in(test::readFile(store.pathFor(d.location.cacheKey())));
    for (std::string line; std::getline(in, line);) t["log"].push_back(line);
    return t;
}

// The numbers of a text as written ("-1", "4.6"; not the "-01" of a date).
std::vector<std::string> figures(const std::string& s) {
    const auto digit = [&](size_t i) { return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); };
    const auto word = [&](size_t i) { return std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '.'; };
    std::vector<std::string> out;
    for (size_t i = 0, end = 0; i < s.size(); i = std::max(i, end) + 1) {
        if (!digit(i) || (i > 0 && word(i - 1))) continue;
        for (end = i; digit(end) || s[end] == '.';) ++end;
        out.push_back((i > 0 && s[i - 1] == '-' && (i == 1 || !word(i - 2)) ? "-" : "") + s.substr(i, end - i));
    }
    return out;
}

// Whether the words of `line` are those of `full`, in order, with some left out; commas and braces part words
// too, so a log line's words are its "key":value pairs.
bool wordsLeftOut(const std::string& line, const std::string& full) {
    const auto next = [](const std::string& s, size_t& p) {
        const size_t b = s.find_first_not_of(" \n\t,{}", p);
        p = s.find_first_of(" \n\t,{}", b);
        return b == s.npos ? std::string_view() : std::string_view(s).substr(b, p - b);
    };
    size_t a = 0, b = 0;
    for (std::string_view w; !(w = next(line, a)).empty();)
        for (std::string_view v; (v = next(full, b)) != w;)
            if (v.empty()) return false;
    return true;
}

// The texts of `u` against those of the full record `f`: none holds "999", "Unknown", or a -1 or figure of 900
// or more the full source lacks; a slot reads as it did or shows "--"; a list's lines only lose words; a
// sentence names no rain or snow the full one did not.
void expectNoMarker(const Texts& u, const Texts& f, const std::string& what) {
    for (const auto& [src, texts] : u) {
        const std::vector<std::string>& full = f.at(src);
        const auto held = [&](const std::string& n) {
            return std::any_of(full.begin(), full.end(), [&](auto& l) { return std::ranges::count(figures(l), n); });
        };
        for (size_t i = 0; i < texts.size(); ++i) {
            std::string s = texts[i], was = i < full.size() ? full[i] : "";
            const auto at = [&] { return what + " " + src + std::to_string(i) + ": " + texts[i]; };
            EXPECT_EQ(s.find("999"), s.npos) << at();
            EXPECT_EQ(s.find("Unknown"), s.npos) << at();
            for (const std::string& n : figures(s))
                EXPECT_FALSE((n == "-1" || std::fabs(std::stod(n)) >= 900) && !held(n)) << at();
            if (s.find("--") != s.npos || s.find("unknown") != s.npos || s.find("partial") != s.npos) continue;
            if (src.back() == '#') {
                EXPECT_TRUE(i < full.size() && wordsLeftOut(s, was)) << at();
            } else if (src.back() != '~') {
                EXPECT_TRUE(std::any_of(full.begin(), full.end(), [&](auto& l) { return wordsLeftOut(s, l); })) << at();
            } else {
                for (std::string* x : {&s, &was}) std::transform(x->begin(), x->end(), x->begin(), ::tolower);
                for (const char* w : {"rain", "snow", "umbrella", "shower"})
                    EXPECT_FALSE(s.find(w) != s.npos && was.find(w) == was.npos) << at();
            }
        }
    }
}

TEST(UnknownValues, NoTextFigureOrJudgementComesFromAMarker) {
    for (const test::Place place : {test::Place::Boston, test::Place::Oslo}) {
        const WeatherData full = fullRecord(place);
        const Texts fullTexts = textsOf(full);
        const auto check = [&](const WeatherData& d, const std::string& what) {
            expectNoMarker(textsOf(d), fullTexts, test::placeName(place) + (" " + what));
            // The chart's known points still span its height: a marker never scales it.
            float lo = 1, hi = 0;
            for (float v : panel::hourlyChartLevels(hoursFrom(d, nowOf(d)), true))
                if (!std::isnan(v)) lo = std::min(lo, v), hi = std::max(hi, v);
            EXPECT_TRUE(lo >= hi || (lo == 0 && hi == 1)) << what << " chart " << lo << ".." << hi;
        };
        // Each value forgotten alone (Oslo, snowing now, adds only the nowcast's and current values'), then all.
        WeatherData unknown = full;
        const auto forget = [&](auto entries, const auto& fields, const std::string& list, bool alone) {
            for (size_t i = 0; i < entries(unknown).size(); ++i)
                for (const auto& [name, forgetIt] : fields) {
                    forgetIt(entries(unknown)[i]);
                    if (!alone) continue;
                    WeatherData d = full;
                    forgetIt(entries(d)[i]);
                    check(d, list + "[" + std::to_string(i) + "]." + name);
                }
        };
        const bool boston = place == test::Place::Boston;
        forget([](WeatherData& d) { return std::span(d.hourly); }, kHourFields, "hourly", boston);
        forget([](WeatherData& d) { return std::span(d.daily); }, kDayFields, "daily", boston);
        forget([](WeatherData& d) { return std::span(d.minutely15); }, kQuarterFields, "minutely15", true);
        forget([](WeatherData& d) { return std::span(&d, 1); }, kCurrentFields, "current", true);
        check(unknown, "all unknown");
    }
}

}  // namespace
}  // namespace nbr
