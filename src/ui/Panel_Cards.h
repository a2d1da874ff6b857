// What the sky carousel's data cards show: texts, colours and tooltips made
// from the weather record and the settings. Pure; the renderer lays the
// results out (UIRenderer_Cards.cpp). The line types here are shared by the
// Sky card, the history window and the constellation guide.
#pragma once

#include "foundation/Config.h"
#include "model/WeatherTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nbr::panel {

// Colour of a text: the GUI text colour, the disabled (secondary) colour, or
// a palette colour.
enum class CardTone { Normal, Disabled, Live, Amber, Error, Accent, Dim };

// What a click on a line asks for.
enum class CardClick { None, MeteorLine, StarsLine };

// One text item of a card.
struct CardLine {
    std::string text;
    CardTone tone = CardTone::Normal;
    bool sameLine = false;       // continues the previous item's line
    bool joined = false;         // with sameLine: no gap to the previous item
    bool spacingBefore = false;  // vertical spacing before the item
    bool separatorBefore = false;  // a separator line before the item
    bool wrapped = false;        // wrapped at the region's edge
    std::string tooltip;         // shown while hovered; empty = none
    // A richer tooltip: lines, and a histogram drawn after tipLines[tipHistogramAt - 1].
    std::vector<CardLine> tipLines;
    std::vector<float> tipHistogram;
    std::string tipHistogramId;
    size_t tipHistogramAt = 0;
    float tipHistogramWidth = 0, tipHistogramHeight = 0;  // 0 = the library's default
    CardClick click = CardClick::None;
};

// printf into a string.
std::string textf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Table cards (Air, Pollen): a head line, cells of a 3-column table, foot lines.
struct TableCard {
    std::vector<CardLine> head;
    std::vector<CardLine> cells;
    std::vector<CardLine> foot;
};

TableCard airCard(const WeatherData& data);
TableCard pollenCard(const WeatherData& data);

// Colour of a US AQI value; of a pollen value against its two bounds.
CardTone aqiTone(double usAqi);
CardTone pollenTone(double value, double moderateFrom, double highFrom);

std::vector<CardLine> tidesCard(const WeatherData& data, const Config& config);
std::vector<CardLine> riverCard(const WeatherData& data, const Config& config);
std::vector<CardLine> almanacCard(const WeatherData& data, const Config& config, int64_t now);
// Tomorrow at `now` (the place's date plus one): the record's own entry, and
// each other service's view only when it was worked out for that date.
struct TomorrowViews {
    const DailyForecast* own = nullptr;
    const ProviderForecast* metNorway = nullptr;
    const ProviderForecast* nws = nullptr;
    bool any() const { return metNorway || nws; }
};
TomorrowViews tomorrowViews(const WeatherData& data, int64_t now);
// Whether the record was made on the place's date at `now`: the archive's
// insights ("this date") and analogs ("next day") were worked out for the
// record's own date, and are shown only while it is today.
bool madeToday(const WeatherData& data, int64_t now);
// The analogs while the record is of today, and tomorrow of the other
// services beside the record's own (none while no service's view is of
// tomorrow at `now`).
std::vector<CardLine> trendsCard(const WeatherData& data, const Config& config, int64_t now);
// "This date" is the place's date at `now`; no lines while the record's
// insights are of another date.
std::vector<CardLine> recordsCard(const WeatherData& data, const Config& config, int64_t now);
std::vector<CardLine> planCard(const WeatherData& data, int64_t now);
std::vector<CardLine> quakesCard(const WeatherData& data);
// Snow on the ground and the freezing level of the hour holding `now`, and
// the fresh snow of the 24 hours from it ("(4 h unknown)" when partial).
std::vector<CardLine> winterCard(const WeatherData& data, const Config& config, int64_t now);

// Discussion: the office line (empty when no office is named) and the text.
struct DiscussionCard {
    std::string officeLine;
    const std::string* text = nullptr;
};
DiscussionCard discussionCard(const WeatherData& data, const Config& config);

// Fresh snow over the 24 hours from the one holding `now`, by their times:
// the sum of the hours whose snowfall is known, cm, and how many of the 24
// are not known (unknown in the record, missing from it, or past its end).
struct FreshSnow {
    double cm = 0;
    int unknownHours = 0;
};
FreshSnow hourlySnowfallSum(const WeatherData& data, int64_t now);

}  // namespace nbr::panel
