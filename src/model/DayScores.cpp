#include "model/DayScores.h"

#include "model/ReplyTime.h"
#include "model/SkyEvents.h"
#include "model/WeatherCodes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <span>

namespace nbr {
namespace {

// Half up, clamped to 0..10. A NaN raw value (a missing input) counts as 0.
int roundScore(double raw) {
    const double v = raw + 0.5;
    if (!(v >= 0)) return 0;
    if (v > 10) return 10;
    return static_cast<int>(v);
}

const char* scoreLabel(int score) {
    if (score > 7) return "great";
    if (score < 5) return "poor";
    return "decent";
}

void setScore(DayScore& s, double raw, const char* reason) {
    s.score = roundScore(raw);
    s.label = scoreLabel(s.score);
    s.reason = reason;
}

// The hour of the day at `t` on the place's clock.
int hourAt(const PlaceClock& place, int64_t t) { return place.minuteOfDay(t) / 60; }

// The hourly entry holding `now`; null when the record holds none.
const HourlyForecast* hourHolding(const WeatherData& data, int64_t now) {
    const std::span<const HourlyForecast> hours = hoursFrom(data, now, 1);
    if (hours.empty()) return nullptr;
    const std::optional<int64_t> start = replyInstant(data, hours.front().time);
    return start && *start <= now ? &hours.front() : nullptr;
}

// Tonight's cloud cover, -1 when not known. Night and evening hours are
// those of the place's clock.
double stargazingCloud(const WeatherData& data, const PlaceClock& place, int64_t now) {
    const int hour = hourAt(place, now);
    if (hour < 5 || hour > 20) {
        // Night: the hour holding now, or the reply's own cover.
        const HourlyForecast* h = hourHolding(data, now);
        return h && knownAmount(h->cloudCover) ? h->cloudCover : data.cloudCover;
    }
    // Daytime: tonight's cover from the first late-evening hour to come.
    for (const HourlyForecast& h : hoursFrom(data, now)) {
        const std::optional<int64_t> start = replyInstant(data, h.time);
        if (!knownAmount(h.cloudCover) || !start) continue;
        const int hh = hourAt(place, *start);
        if (hh >= 21 && hh <= 23) return h.cloudCover;
    }
    return data.cloudCover;
}

// The highest chance of rain of the 12 hours from now; none when the record
// holds no hour from now or any of them lacks its chance (an unknown chance
// is no dry hour).
std::optional<double> rainChanceWithin12h(const WeatherData& data, int64_t now) {
    const std::span<const HourlyForecast> hours = hoursFrom(data, now, 12);
    if (hours.empty()) return std::nullopt;
    double highest = 0;
    for (const HourlyForecast& h : hours) {
        if (!knownAmount(h.precipitationProbability)) return std::nullopt;
        highest = std::max(highest, h.precipitationProbability);
    }
    return highest;
}

// The high of the day before `today`: yesterday's, kept aside, when today is
// the first entry; else the entry before it. None when not known.
std::optional<double> highBefore(const WeatherData& data, const DailyForecast& today) {
    for (std::size_t i = 0; i < data.daily.size(); ++i) {
        if (&data.daily[i] != &today) continue;
        const double high = i > 0 ? data.daily[i - 1].temperatureMax
                            : data.hasYesterday ? data.yesterdayHigh
                                                : kUnknownTemperature;
        if (knownTemperature(high)) return high;
    }
    return std::nullopt;
}

// The highest known chance of rain of the hours left in `today` on the
// place's clock; -1 when none is known.
double rainChanceLeft(const WeatherData& data, const DailyForecast& today, const PlaceClock& place, int64_t now) {
    double highest = kUnknownAmount;
    for (const HourlyForecast& h : hoursLeftIn(data, place, today.date, now))
        if (knownAmount(h.precipitationProbability)) highest = std::max(highest, h.precipitationProbability);
    return highest;
}

// What the takeaway tells of the present: the reply's current conditions
// while they are fresh; once they are old (conditionsOld), the forecast of
// the hour holding now, which tells neither gusts nor air; nothing when no
// hour does.
struct Present {
    int code = kUnknownCode;
    double precipitation = kUnknownAmount;
    double gusts = kUnknownAmount;
    bool smoky = false;
};

Present presentAt(const WeatherData& data, int64_t now) {
    if (!conditionsOld(data, now))
        return {data.weatherCode, data.precipitation, data.windGusts,
                data.airQuality.valid && data.airQuality.pm2_5 >= 55};
    const HourlyForecast* h = hourHolding(data, now);
    return h ? Present{h->weatherCode, h->precipitation} : Present{};
}

// One of the five phrases of rain or snow later; the third, which says the
// present is dry, is passed over unless it is known to be.
const char* laterPhrase(const std::string& key, bool dryNow, const std::array<const char*, 5>& p) {
    return dryNow ? phraseVariant(key, 7, {p[0], p[1], p[2], p[3], p[4]})
                  : phraseVariant(key, 7, {p[0], p[1], p[3], p[4]});
}

}  // namespace

DayScores computeDayScores(const WeatherData& data, const DailyForecast* today, const PlaceClock& place, int64_t now) {
    DayScores out;
    if (!today) return out;
    const double rainChance = today->precipitationProbabilityMax;

    if (const double c = stargazingCloud(data, place, now); knownAmount(c) && knownAmount(rainChance)) {
        const double m = computeMoon(now).illumination;
        double raw = 10 - c / 12 - 3 * m;
        if (rainChance >= 40) raw -= 2;
        const char* reason = c >= 60      ? "too cloudy"
                             : m >= 0.8   ? "bright moon washes it out"
                             : rainChance >= 40 ? "rain risk"
                                                : "clear and dark";
        setScore(out.stargazing, raw, reason);
    }
    const std::optional<double> rainSoon = rainChanceWithin12h(data, now);
    if (knownAmount(data.relativeHumidity) && knownAmount(data.windSpeed) && rainSoon) {
        const double P = *rainSoon;
        const double H = data.relativeHumidity;
        double raw = 10 - P / 12 - (H - 40) / 12;
        if (data.windSpeed > 10) raw += 1;
        const char* reason = P >= 40 ? "rain likely within 12 h" : H >= 75 ? "air's too damp" : "dry hours ahead";
        setScore(out.laundry, raw, reason);
    }
    if (knownTemperature(data.apparentTemperature) && knownAmount(data.relativeHumidity) &&
        knownAmount(data.windGusts) && knownAmount(rainChance)) {
        const double T = data.apparentTemperature;
        const double H = data.relativeHumidity;
        // The air block is an extra: without it, or without its index, no penalty.
        const bool badAir = data.airQuality.valid && data.airQuality.usAqi > 100;
        double raw = 10;
        if (T < 5) raw -= (5 - T) / 3;
        else if (T > 18) raw -= (T - 18) / 3;
        raw -= std::max(0.0, H - 60) / 10;
        if (badAir) raw -= (data.airQuality.usAqi - 100) / 25;
        if (data.windGusts > 40) raw -= 2;
        if (rainChance >= 60) raw -= 1;
        const char* reason = badAir    ? "air quality is rough"
                             : T > 27  ? "heat - go early or late"
                             : T < -5  ? "bundle up"
                             : H >= 80 ? "muggy"
                                       : "comfortable out";
        setScore(out.running, raw, reason);
    }
    return out;
}

const char* phraseVariant(const std::string& key, int seed, std::initializer_list<const char*> phrases) {
    if (phrases.size() == 0) return "";
    uint32_t h = 0x811c9dc5u;
    const std::size_t n = std::min<std::size_t>(key.size(), 10);
    for (std::size_t i = 0; i < n; ++i) {
        h ^= static_cast<unsigned char>(key[i]);
        h *= 16777619u;
    }
    const uint32_t mixed = (static_cast<uint32_t>(seed) * 0x9e3779b1u) ^ h;
    const char* chosen = phrases.begin()[mixed % phrases.size()];
    return chosen ? chosen : "";
}

std::string dailyTakeaway(const WeatherData& data, const DailyForecast* today, const PlaceClock& place, int64_t now,
                          bool imperial) {
    const std::string& key = data.time;
    // Snow by the same rules as the notices and the alerts: the first wet
    // step's code (nothing told while it is not known), and the day's own
    // code for its chance.
    const PrecipNowcast nowcast = computePrecipNowcast(data, now);
    if (nowcast.named && nowcast.state == PrecipNowcast::StartsSoon) {
        if (nowcast.snow)
            return phraseVariant(key, 1,
                                 {"Snow moving in soon - allow extra time.", "Snow on the doorstep - dress warm.",
                                  "Dry for now, but snow lands shortly.", "Snow due any minute - time the errands.",
                                  "Snow's about to start - head out now or wait it out."});
        return phraseVariant(key, 1,
                             {"Rain moving in soon - grab an umbrella.", "Rain on the doorstep - umbrella recommended.",
                              "Dry for now, but rain lands shortly.", "Rain due any minute - time the errands.",
                              "Rain's about to start - head out now or wait it out."});
    }
    if (nowcast.named && nowcast.state == PrecipNowcast::Continuing) {
        if (nowcast.snow)
            return phraseVariant(key, 2,
                                 {"Snowy out there - watch your step.", "Snowing now, and it isn't done yet.",
                                  "Steady snow out the window.", "Boots weather until this snow passes.",
                                  "Snow in progress - roads will notice."});
        return phraseVariant(key, 2,
                             {"Wet out there - keep the umbrella handy.", "Raining now, and it isn't done yet.",
                              "Steady rain out the window.", "Umbrella weather until this rain passes.",
                              "Rain in progress - shoes will notice."});
    }
    // Nothing is told of a record that holds nothing from now on.
    if (!today && hoursFrom(data, now, 1).empty()) return {};
    const Present present = presentAt(data, now);
    if (present.smoky)
        return phraseVariant(key, 10,
                             {"Smoky air today - hazy skies, limit hard efforts outside.",
                              "Wildfire smoke in the air - expect haze.",
                              "Hazy with smoke - sensitive groups take it easy.", "Smoke is thickening the air today.",
                              "Air carries smoke - haze over everything."});
    if (const std::optional<double> before = today && knownTemperature(today->temperatureMax)
                                                  ? highBefore(data, *today)
                                                  : std::nullopt) {
        double d = today->temperatureMax - *before;
        if (imperial) d *= 1.8;
        if (d >= 8)
            return phraseVariant(key, 3,
                                 {"Noticeably warmer than yesterday.", "Warmer than yesterday by a clear step.",
                                  "Warmer today - yesterday's layers optional.", "Warmer air in place than yesterday.",
                                  "A good bit warmer than yesterday."});
        if (d <= -8)
            return phraseVariant(key, 4,
                                 {"Much cooler than yesterday - layer up.", "Cooler by a wide margin than yesterday.",
                                  "Cooler air moved in overnight - layer up.", "Noticeably cooler than yesterday.",
                                  "A cooler day than yesterday, clearly."});
    }
    const int hour = hourAt(place, now);
    if (today && today->uvIndexMax >= 6 && hour >= 7 && hour <= 16)
        return phraseVariant(key, 5,
                             {"Strong sun today - sunscreen if you're out midday.",
                              "High UV midday - sunscreen if you're out.", "The midday sun means business - SPF up.",
                              "Sunscreen weather - UV peaks early afternoon.",
                              "Strong sun overhead - shade and SPF help."});
    if (present.gusts >= 48)
        return phraseVariant(key, 6,
                             {"Breezy with gusty winds - secure loose items.", "Gusty out - hold onto hats.",
                              "Wind with teeth - gusty through the day.", "Blustery and gusty - doors will slam.",
                              "Gusty winds today - mind loose branches."});
    // Rain or snow "later": by the hours left in the place's day, named by the
    // day's code (a day of unknown code may be either); "dry now" only of a
    // present known to be dry.
    if (today && knownCode(today->weatherCode) && rainChanceLeft(data, *today, place, now) >= 60) {
        const bool dryNow = isDryWeather(present.code, present.precipitation);
        if (isSnowCode(today->weatherCode))
            return laterPhrase(key, dryNow,
                               {"Good chance of snow later - plan for it.", "Snow likely before the day is out.",
                                "Dry now; odds favor snow later on.", "Keep plans flexible - snow is probable today.",
                                "Boots by the door wouldn't hurt - snow likely."});
        return laterPhrase(key, dryNow,
                           {"Good chance of rain later - plan for it.", "Rain likely before the day is out.",
                            "Dry now; odds favor rain later on.", "Keep plans flexible - rain is probable today.",
                            "An umbrella by the door wouldn't hurt - rain likely."});
    }
    if (!namedCode(present.code)) return {};
    return std::string(weatherCodeToString(present.code)) +
           phraseVariant(key, 8,
                         {" and steady.", " and holding.", " with no surprises ahead.", " - a quiet weather day.",
                          " and staying that way."});
}

}  // namespace nbr
