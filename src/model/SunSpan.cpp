#include "model/SunSpan.h"

#include "model/Dates.h"

#include <initializer_list>

namespace nbr {

namespace {

constexpr int64_t kDay = 86400;

bool hasClockTime(const std::string& t) { return t.size() >= 16; }

// Day k of the record: 0 is the day before the first daily entry (kept from
// the reply as the yesterday members), k >= 1 is daily entry k - 1.
SunDay recordDay(const WeatherData& d, size_t k) {
    if (k == 0) return sunDayOf(d.utcOffsetSeconds, d.yesterdaySunrise, d.yesterdaySunset, -1);
    return sunDayOf(d.utcOffsetSeconds, d.daily[k - 1]);
}

}  // namespace

SunDay sunDayOf(int replyOffset, const std::string& sunrise, const std::string& sunset, double daylight) {
    SunDay out;
    const std::optional<int64_t> rise = PlaceClock::localSecondsOf(sunrise);
    const std::optional<int64_t> set = PlaceClock::localSecondsOf(sunset);
    if (rise && set && hasClockTime(sunrise) && hasClockTime(sunset)) {
        // The two readings are compared as written, so a day on which the
        // clock changes is no shorter or longer here.
        if (*set == *rise) out.kind = SunDay::PolarNight;
        else if (*set - *rise >= kDay) out.kind = SunDay::MidnightSun;
        else if (*set > *rise) out.kind = SunDay::Normal;
        out.rise = *rise - replyOffset;
        out.set = *set - replyOffset;
        return out;
    }
    const std::optional<int64_t> start = PlaceClock::localSecondsOf(sunrise.substr(0, 10));
    if (!start) return out;
    if (daylight == 0) out.kind = SunDay::PolarNight;
    if (daylight >= kDay - 60) out.kind = SunDay::MidnightSun;
    out.rise = *start - replyOffset;
    out.set = out.rise + kDay;
    return out;
}

SunDay sunDayOf(int replyOffset, const DailyForecast& day) {
    // Without times the day is known by its date and daylight alone.
    return sunDayOf(replyOffset, hasClockTime(day.sunrise) ? day.sunrise : day.date, day.sunset, day.daylightDuration);
}

SunNow sunAt(const WeatherData& data, const PlaceClock& place, int64_t now) {
    SunNow out;
    const size_t days = data.daily.size();
    if (days == 0) return out;
    const std::string today = place.dateOf(now);
    size_t t = 0;
    while (t < days && data.daily[t].date != today) ++t;
    if (t < days) ++t;  // record day numbers count yesterday as 0
    else if (addDays(data.daily[0].date, -1) == today) t = 0;
    else return out;

    // Tomorrow's sunrise may fall before the place's midnight (written on
    // today's date): its span then holds already.
    const SunDay cur = recordDay(data, t), prev = t > 0 ? recordDay(data, t - 1) : SunDay{},
                 next = t < days ? recordDay(data, t + 1) : SunDay{};
    const auto holds = [now](const SunDay& d) { return d.rise <= now && now <= d.set; };
    for (const SunDay* d : {&prev, &cur}) {
        if (d->kind == SunDay::MidnightSun && holds(*d)) {
            out.kind = SunNow::MidnightSun;
            return out;
        }
    }
    for (const SunDay* d : {&prev, &cur, &next}) {
        if (d->kind == SunDay::Normal && holds(*d)) {
            out = {SunNow::Day, true, d->rise, d->set, d->set, true};
            return out;
        }
    }
    switch (cur.kind) {
    case SunDay::Unknown: return out;
    case SunDay::MidnightSun: out.kind = SunNow::MidnightSun; return out;
    case SunDay::PolarNight: out.kind = SunNow::PolarNight; break;
    case SunDay::Normal:
        out = {SunNow::Night, true, cur.rise, cur.set, cur.rise, now < cur.rise};
        if (out.hasNext) return out;
        break;
    }
    // After the sunset: the next sunrise the record holds (a day of midnight
    // sun rises at its start). A day of the record without usable times is
    // taken to rise about when today did, unless a polar night lies between;
    // past the record's last day nothing is guessed (a polar night may begin
    // there).
    bool polar = cur.kind == SunDay::PolarNight, held = false;
    for (size_t k = t + 1; k <= days; ++k) {
        const SunDay d = recordDay(data, k);
        if ((d.kind == SunDay::Normal || d.kind == SunDay::MidnightSun) && d.rise > now) {
            out.next = d.rise;
            out.hasNext = true;
            return out;
        }
        if (d.kind == SunDay::PolarNight) polar = true;
        else if (d.kind != SunDay::Normal) {
            held = true;
            break;
        }
    }
    out.polarAhead = polar;
    if (held && !polar && cur.kind == SunDay::Normal) {
        out.next = cur.rise + kDay;
        out.hasNext = out.next > now;
    }
    return out;
}

}  // namespace nbr
