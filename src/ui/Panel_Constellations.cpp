#include "ui/Panel_Constellations.h"

#include "model/DayScores.h"
#include "model/Utf8.h"
#include "model/WeatherCodes.h"
#include "foundation/PlaceTime.h"
#include "service/ServiceHosts.h"
#include "ui/Panel_Sky.h"

#include <algorithm>

namespace nbr::panel {

namespace {

const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};

const char* monthName(int month) { return month >= 1 && month <= 12 ? kMonths[month - 1] : kMonths[0]; }

CardLine text(std::string s, CardTone tone = CardTone::Normal) {
    CardLine l;
    l.text = std::move(s);
    l.tone = tone;
    return l;
}

}  // namespace

StarGuide starGuide(const WeatherData& data, const Config& config, int64_t now) {
    StarGuide g;
    const PlaceClock clock = placeClock(data);
    const int offset = clock.offsetAt(now);
    const double lat = data.location.latitude, lon = data.location.longitude;
    const int64_t local = now + offset;
    const int64_t localDay = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    const int hour = static_cast<int>((local - localDay * 86400) / 3600);
    g.month = localMonth(now, offset);
    if (hour >= 4 && hour <= 20) {
        g.when = clock.instantOf(localDay * 86400 + 79200);  // 22:00 by that evening's offset
        g.timeLabel = config.use24hClock ? "at 22:00" : "at 10pm";
    } else {
        g.when = now;
        g.timeLabel = "now";
    }
    for (const Constellation& c : constellations()) {
        if (!constellationBestIn(c, g.month) || !constellationInHemisphere(c, lat)) continue;
        const AltAz p = radecToAltAz(c.raHours, c.decDeg, g.when, lat, lon);
        g.rows.push_back({&c, p.altitude, p.azimuth});
    }
    std::stable_sort(g.rows.begin(), g.rows.end(),
                     [](const StarRow& a, const StarRow& b) { return a.altitude > b.altitude; });

    const DayScore s = computeDayScores(data, todayOf(data, now), placeClock(data), now).stargazing;
    g.poorSky = (s.score >= 0 && s.score < 5) || (s.score < 0 && data.cloudCover >= 60);
    g.poorReason = s.reason.empty() ? "high cloud cover" : s.reason;
    g.header = textf("%s, %s sky: %d constellations in season", monthName(g.month), lat < 0 ? "southern" : "northern",
                     static_cast<int>(g.rows.size()));
    g.subheader = textf("sorted best-placed first, directions %s; hover for details, click opens wikipedia",
                        g.timeLabel.c_str());
    if (g.poorSky)
        g.footer = textf("* sky visibility tonight: %s -- viewing may be impacted", g.poorReason.c_str());
    return g;
}

std::string starPositionText(const StarRow& r, const std::string& label) {
    std::string s;
    if (r.altitude < 5) s = textf("below horizon %s", label.c_str());
    else if (r.altitude >= 15) s = textf("%s, %.0f deg up", windDirectionToString(r.azimuth), r.altitude);
    else s = textf("very low %s", windDirectionToString(r.azimuth));
    return utf8Cut(s, 63);
}

float starTintAlpha(double altitude, bool poorSky) {
    const float a = altitude < 5 ? 0.55f : 1.0f;
    return poorSky ? a * 0.5f : a;
}

std::vector<CardLine> starTooltip(const StarRow& r, const std::string& label,
                                  const std::unordered_map<std::string, std::string>& facts) {
    const Constellation& c = *r.c;
    std::vector<CardLine> out;
    out.push_back(text(c.name));
    CardLine meaning = text(textf("- %s", c.meaning), CardTone::Disabled);
    meaning.sameLine = true;
    out.push_back(std::move(meaning));
    const char* sky = c.hemisphere == 'N' ? "north sky" : c.hemisphere == 'S' ? "south sky" : "both hemispheres";
    out.push_back(text(textf("best: %s - %s, %s", monthName(c.bestFromMonth), monthName(c.bestToMonth), sky),
                       CardTone::Disabled));
    out.push_back(r.altitude < 5
                      ? text(textf("below the horizon %s -- try earlier or later in the season", label.c_str()))
                      : text(textf("look %s, about %.0f deg above the horizon %s", windDirectionToString(r.azimuth),
                                   r.altitude, label.c_str())));
    CardLine tip = text(textf("finding it: %s", c.findingTip));
    tip.wrapped = true;
    tip.separatorBefore = true;
    out.push_back(std::move(tip));
    const auto fact = facts.find(c.name);
    CardLine summary = fact != facts.end() ? text(fact->second)
                                           : text("fetching details from wikipedia...", CardTone::Disabled);
    summary.wrapped = fact != facts.end();
    summary.spacingBefore = fact != facts.end();
    out.push_back(std::move(summary));
    CardLine click = text("click opens wikipedia", CardTone::Disabled);
    click.spacingBefore = true;
    out.push_back(std::move(click));
    return out;
}

std::string starArticleUrl(const Constellation& c) {
    return serviceBase(service::Wikipedia) + "/wiki/" + c.articleSlug;
}

}  // namespace nbr::panel
