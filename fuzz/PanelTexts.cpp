// The dashboard's panel texts over whatever the forecast reader accepts: the
// times, dates and numbers of a reply reach sscanf, printf and the unit
// formatters there. Nothing may crash, overflow or read out of bounds, and
// every text stays valid UTF-8 where the record's texts were.
#include "FuzzSupport.h"
#include "foundation/PlaceTime.h"
#include "model/Utf8.h"
#include "service/WeatherService.h"
#include "ui/Panel_Current.h"
#include "ui/Panel_Forecast.h"
#include "ui/Panel_Places.h"
#include "ui/Panel_Status.h"

#include <cstdlib>
#include <exception>

namespace {

void panels(const nbr::WeatherData& d, const nbr::Config& c) {
    using namespace nbr::panel;
    (void)placeTitle(d.location);
    // The reply's own present, so that the readers of "today" find its days.
    const long long now = nbr::replyInstant(d, d.time).value_or(1796000000);
    (void)placeClockText(d, now, c.use24hClock);
    (void)utcOffsetText(d.utcOffsetSeconds);
    const nbr::DailyForecast* todayEntry = nbr::todayOf(d, now);
    (void)currentAdvice(d, todayEntry, c, now);
    (void)currentMetrics(d, c);
    (void)pressureLine(d, c);
    (void)pressureWarning(d);
    (void)sunLine(d, todayEntry, c);
    (void)daylightLine(todayEntry);
    const nbr::RecordClock clock = nbr::recordClock(d);
    (void)hourStrip(d.hourly, c, clock, now);
    for (const nbr::HourlyForecast& h : d.hourly) (void)hourlyTooltip(h, c, clock);
    (void)isNightAt(d, now);
    const std::string today = placeToday(d, now);
    (void)hourlyChartLevels(d.hourly, c.useFahrenheit);
    for (int k = 0; k < dailyColumns(d.daily.size()); ++k) {
        const nbr::DailyForecast& day = d.daily[static_cast<size_t>(k)];
        const std::string head = dayHeader(day, today, c.dailyShowDates);
        if (nbr::utf8Valid(head) != head) std::abort();  // made from the date's digits only
        (void)dayTemperatures(day, c);
        (void)dayConfidence(day);
        (void)dayRain(day);
        (void)dailyTooltip(day, k, &d.skill, c, clock);
    }
    (void)sunTrack(d, now, c.use24hClock);
    (void)miniStrip(d, {}, c, true, now);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::GeoLocation place;
    place.name = "Boston";
    place.latitude = 42.3584;
    place.longitude = -71.0598;
    nbr::WeatherData d;
    try {
        d = nbr::WeatherService::parseWeatherResponse(nbr::fuzz::text(data, size), place);
    } catch (const std::exception&) {
        return 0;
    }
    nbr::Config imperial, metric;
    metric.useFahrenheit = false;
    metric.windUnit = 7;  // out of the table: shows as the first unit
    metric.precipUnit = metric.pressureUnit = 1;
    metric.use24hClock = metric.dailyShowDates = true;
    metric.miniStat = 2;
    panels(d, imperial);
    panels(d, metric);
    return 0;
}
