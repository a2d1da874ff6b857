#include "ui/Panel_Sky.h"

#include "model/Constellations.h"
#include "model/WeatherCodes.h"
#include "foundation/PlaceTime.h"
#include "ui/Panel_Cards.h"
#include "ui/Panel_Places.h"

#include <algorithm>
#include <ctime>

namespace nbr::panel {

std::vector<SkyTab> skyTabs(const WeatherData& d, int64_t now) {
    std::vector<SkyTab> tabs{{SkySky, "Sky"}};
    const AirQuality& a = d.airQuality;
    if (a.valid && a.usAqi >= 0) tabs.push_back({SkyAir, "Air"});
    const double pollen[] = {a.alderPollen, a.birchPollen, a.grassPollen, a.mugwortPollen, a.olivePollen, a.ragweedPollen};
    if (a.valid && std::any_of(std::begin(pollen), std::end(pollen), [](double v) { return v >= 0; }))
        tabs.push_back({SkyPollen, "Pollen"});
    if (d.tides.valid) tabs.push_back({SkyTides, "Tides"});
    if (d.flood.valid) tabs.push_back({SkyRiver, "River"});
    if (d.normals.valid) tabs.push_back({SkyAlmanac, "Almanac"});
    const bool today = madeToday(d, now);
    if ((d.analogs.valid && today) || tomorrowViews(d, now).any()) tabs.push_back({SkyTrends, "Trends"});
    if (d.insights.valid && today) tabs.push_back({SkyRecords, "Records"});
    // The record as of now: today's entry, and the hour holding now.
    const std::span<const HourlyForecast> present = hoursFrom(d, now, 1);
    if (todayOf(d, now) && !present.empty()) tabs.push_back({SkyPlan, "Plan"});
    if (!d.quakes.events.empty()) tabs.push_back({SkyQuakes, "Quakes"});
    if (!present.empty() && (present.front().snowDepth > 0.01 || hourlySnowfallSum(d, now).cm > 0.1))
        tabs.push_back({SkyWinter, "Winter"});
    if (!d.afdText.empty()) tabs.push_back({SkyDiscussion, "Discussion"});
    return tabs;
}

void clampCarouselIndex(CarouselState& s, size_t n) {
    if (s.index < 0 || static_cast<size_t>(s.index) >= n) s.index = 0;
}

void selectCarouselTab(CarouselState& s, int index) {
    s.index = index;
    s.autoRotate = false;
    s.timer = 0;
}

void resumeCarouselRotation(CarouselState& s) {
    s.autoRotate = true;
    s.timer = 0;
}

void advanceCarousel(CarouselState& s, size_t n, int period, bool hovered, float dt) {
    if (!s.autoRotate || n <= 1 || period <= 0 || hovered) {
        s.timer = 0;
        return;
    }
    s.timer += dt;
    if (s.timer >= static_cast<float>(period)) {
        s.timer = 0;
        s.index = static_cast<int>((static_cast<size_t>(std::max(s.index, 0)) + 1) % n);
    }
}

TabRun tabRun(const std::vector<float>& widths, float gap, float room, int selected, int first) {
    const int n = static_cast<int>(widths.size());
    if (n == 0) return {};
    selected = std::clamp(selected, 0, n - 1);
    first = std::clamp(first, 0, selected);
    // Tabs that fit from `from` on.
    const auto fitting = [&](int from) {
        int k = from;
        for (float used = 0; k < n; ++k) {
            used += widths[static_cast<size_t>(k)] + (k > from ? gap : 0);
            if (used > room) break;
        }
        return k - from;
    };
    while (first < selected && first + fitting(first) <= selected) ++first;
    // The selected tab alone is wider than the row: it is shown by itself,
    // never a neighbour that fits in its place.
    if (fitting(first) == 0) return {selected, 1};
    while (first > 0 && first - 1 + fitting(first - 1) >= std::min(n, first + fitting(first))) --first;
    return {first, std::max(1, fitting(first))};
}

bool countMeteorClick(int& clicks) {
    if (clicks + 1 >= 3) {
        clicks = 0;
        return true;
    }
    ++clicks;
    return false;
}

std::string skyClock(int m, bool use24) {
    const int hour = (m / 60) % 24, minute = m % 60;
    if (use24) return textf("%02d:%02d", hour, minute);
    return textf("%d:%02d%s", hour % 12 == 0 ? 12 : hour % 12, minute, hour < 12 ? "a" : "p");
}

std::string moonRiseSetText(const MoonRiseSet& rs, bool use24) {
    if (rs.hasRise && rs.hasSet)
        return textf("rise %s  set %s", skyClock(rs.riseMinute, use24).c_str(), skyClock(rs.setMinute, use24).c_str());
    if (rs.hasRise) return "rises " + skyClock(rs.riseMinute, use24);
    if (rs.hasSet) return "sets " + skyClock(rs.setMinute, use24);
    return {};
}

namespace {

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

CardLine item(std::string text, CardTone tone = CardTone::Normal, bool sameLine = false) {
    CardLine l;
    l.text = std::move(text);
    l.tone = tone;
    l.sameLine = sameLine;
    return l;
}

}  // namespace

std::string passDayWord(int64_t start, int64_t now, const PlaceClock& clock) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const int64_t day = floorDiv(clock.localSeconds(start), 86400), today = floorDiv(clock.localSeconds(now), 86400);
    if (day == today) return clock.minuteOfDay(start) / 60 < 17 ? "today" : "tonight";
    if (day == today + 1) return "tomorrow";
    return kDays[((day % 7) + 7 + 4) % 7];  // day 0 of the epoch was a Thursday
}

int localMonth(int64_t now, int offset) {
    const std::time_t local = static_cast<std::time_t>(now + offset);
    std::tm tm{};
    return gmtime_r(&local, &tm) ? tm.tm_mon + 1 : 1;
}

int constellationsInSeason(int month, double latitude) {
    int n = 0;
    for (const Constellation& c : constellations())
        if (constellationBestIn(c, month) && constellationInHemisphere(c, latitude)) ++n;
    return n;
}

SkyCardView skyCard(const WeatherData& d, const Config& config, int64_t now) {
    SkyCardView v;
    v.moon = computeMoon(now);
    auto& out = v.lines;
    const double lat = d.location.latitude, lon = d.location.longitude;
    const bool use24 = config.use24hClock;
    // Times on the far side of a daylight-saving change read by the offset then.
    const PlaceClock clock = placeClock(d);

    out.push_back(item(v.moon.phaseName));
    out.push_back(item(textf("%.0f%% illuminated", v.moon.illumination * 100), CardTone::Disabled));
    const std::string rs =
        clock.known() ? moonRiseSetText(moonRiseSet(now, lat, lon, clock.offsets()), use24) : std::string();
    if (!rs.empty()) out.push_back(item(rs, CardTone::Disabled));
    const size_t afterMoon = out.size();

    if (d.hasAurora && d.auroraProbability >= 5) {
        out.push_back(item("Aurora:"));
        out.push_back(item(textf("%.0f%% overhead now", d.auroraProbability),
                           d.auroraProbability >= 30 ? CardTone::Live : CardTone::Amber, true));
        if (d.kpIndex >= 0) out.push_back(item(textf("(Kp %.0f)", d.kpIndex), CardTone::Disabled, true));
        out.back().tooltip = "NOAA OVATION model probability of visible\naurora at this location right now";
    } else {
        const AuroraChance c = auroraChance(d.kpIndex, lat);
        if (c == AuroraChance::Possible || c == AuroraChance::Likely) {
            out.push_back(item("Aurora:"));
            out.push_back(item(auroraChanceLabel(c), c == AuroraChance::Likely ? CardTone::Live : CardTone::Amber, true));
            out.push_back(item(textf("(Kp %.0f)", d.kpIndex), CardTone::Disabled, true));
        }
    }
    if (d.kpForecastMax > std::max(d.kpIndex, 0.0) + 0.5 && auroraChance(d.kpForecastMax, lat) != AuroraChance::Unlikely) {
        CardLine w = item(textf("Aurora watch: Kp %.0f forecast", d.kpForecastMax), CardTone::Amber);
        w.tooltip = "Peak predicted Kp in the next 48 h (NOAA\n3-day forecast) - worth checking after dark";
        out.push_back(std::move(w));
    }

    const std::vector<ActiveShower> showers = activeMeteorShowers(now, clock.offsetAt(now));
    if (!showers.empty()) {
        const ActiveShower& s = showers.front();
        CardLine m = s.nearPeak                ? item(textf("Meteors: %s, near peak", s.name), CardTone::Amber)
                     : s.daysFromPeak <= 0 ? item(textf("Meteors: %s active", s.name))
                                           : item(textf("Meteors: %s, peak in %dd", s.name, s.daysFromPeak));
        m.tooltip = textf("%s - up to ~%d meteors/hr at peak", s.name, s.zhr);
        m.click = CardClick::MeteorLine;
        out.push_back(std::move(m));
    }

    const std::vector<VisiblePlanet> planets = visiblePlanets(now);
    if (!planets.empty()) {
        std::string names;
        for (const VisiblePlanet& p : planets) {
            if (!names.empty()) names += ", ";
            names += p.name;
            names += p.nearOpposition ? " all night" : p.evening ? " eve" : " dawn";
        }
        CardLine l = item("Planets: " + names);
        l.wrapped = true;  // five planets are wider than a narrow card
        l.tooltip = "eve = west after sunset, dawn = east before sunrise";
        out.push_back(std::move(l));
    }

    if (d.issComputed && !d.issPasses.empty()) {
        const IssPass& p = d.issPasses.front();
        CardLine l = item(textf("ISS: %s %s %s, max %.0f deg", passDayWord(p.start, now, clock).c_str(),
                                skyClock(clock.minuteOfDay(p.start), use24).c_str(),
                                windDirectionToString(p.startAzimuth), p.maxElevation));
        l.tipLines.push_back(item("Visible ISS passes:"));
        for (size_t k = 0; k < d.issPasses.size() && k < 4; ++k) {
            const IssPass& q = d.issPasses[k];
            l.tipLines.push_back(item(textf("%s %s  %s to %s, max %.0f deg, %d min",
                                            passDayWord(q.start, now, clock).c_str(),
                                            skyClock(clock.minuteOfDay(q.start), use24).c_str(),
                                            windDirectionToString(q.startAzimuth), windDirectionToString(q.endAzimuth),
                                            q.maxElevation, static_cast<int>((q.end - q.start + 30) / 60))));
        }
        l.tipLines.push_back(
            item("station sunlit against a dark sky;\npredicted locally from today's orbit data", CardTone::Disabled));
        out.push_back(std::move(l));
    }

    const int inSeason = constellationsInSeason(localMonth(now, clock.offsetAt(now)), lat);
    if (inSeason > 0) {
        CardLine l = item(textf("Stars: %d constellations in season", inSeason));
        l.tooltip = "click for the constellation guide";
        l.click = CardClick::StarsLine;
        out.push_back(std::move(l));
    }

    if (d.solar.valid && !d.solar.flareClass.empty()) {
        const char* cls = d.solar.flareClass.c_str();
        CardLine l = d.solar.flareHoursAgo < 0 ? item(textf("Sun: %s flare this week", cls))
                                               : item(textf("Sun: %s flare, %.0fh ago", cls, d.solar.flareHoursAgo));
        l.tone = d.solar.flareClass[0] == 'X' ? CardTone::Error : CardTone::Amber;
        if (d.solar.radioFlux > 0)
            l.tooltip = textf("10.7 cm radio flux %.0f sfu (~70 quiet, 150+ active)", d.solar.radioFlux);
        out.push_back(std::move(l));
    }
    if (afterMoon < out.size()) out[afterMoon].spacingBefore = true;
    return v;
}

}  // namespace nbr::panel
