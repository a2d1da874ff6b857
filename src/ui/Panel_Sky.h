// What the sky carousel and its Sky card show: which cards exist, the
// rotation with the frame time handed in, and the astronomy lines of the
// Sky card at a given moment. Pure; drawn by UIRenderer_Sky.cpp.
#pragma once

#include "foundation/Config.h"
#include "model/PlaceClock.h"
#include "model/SkyEvents.h"
#include "model/WeatherTypes.h"
#include "ui/Panel_Cards.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nbr::panel {

// Card numbers of the carousel.
enum SkyCardKind : int {
    SkySky = 0, SkyAir, SkyDiscussion, SkyAlmanac, SkyTides, SkyPollen,
    SkyRiver, SkyTrends, SkyRecords, SkyPlan, SkyQuakes, SkyWinter,
};

struct SkyTab {
    int kind = SkySky;
    const char* label = "Sky";
};

// The cards the record has data for at `now` (Unix seconds), in tab order;
// "Sky" always first.
std::vector<SkyTab> skyTabs(const WeatherData& data, int64_t now);

// The carousel's state between frames.
struct CarouselState {
    int index = 0;
    bool autoRotate = true;
    float timer = 0;
};

// An index past the tab list goes back to the first card.
void clampCarouselIndex(CarouselState& s, size_t tabCount);
// A tab click: that card, rotation off.
void selectCarouselTab(CarouselState& s, int index);
// The "[auto]" button: rotation back on, count from zero.
void resumeCarouselRotation(CarouselState& s);
// One frame of rotation: counts `dt` seconds while rotating, more than one
// card, a period above 0 and the card not hovered; otherwise the count goes
// back to zero. Moves to the next card when the count reaches the period.
void advanceCarousel(CarouselState& s, size_t tabCount, int periodSeconds, bool hovered, float dt);

// The tabs shown on a row of one line: those `widths` wide (with `gap`
// between them) that fit in `room`, starting at `first`, which moves only as
// far as it must to show the selected tab and to leave no room unused at the
// end. At least the selected tab is shown.
struct TabRun {
    int first = 0;
    int count = 0;
    bool operator==(const TabRun&) const = default;
};
TabRun tabRun(const std::vector<float>& widths, float gap, float room, int selected, int first);

// A click on the meteor line: true on the third click (which resets the
// count), when a burst is to start.
bool countMeteorClick(int& clicks);

// A minute of the local day as "HH:MM" (24-hour) or "h:MMa" / "h:MMp".
std::string skyClock(int minuteOfDay, bool use24);
// "rise .. set ..", "rises ..", "sets .."; empty when neither is known.
std::string moonRiseSetText(const MoonRiseSet& rs, bool use24);

// "today" (local start hour below 17) / "tonight", "tomorrow", or the
// weekday name, for a pass starting at `start` seen at `now`, each read on
// the place's clock then.
std::string passDayWord(int64_t start, int64_t now, const PlaceClock& clock);

// Local calendar month 1..12 at `now`.
int localMonth(int64_t now, int utcOffsetSeconds);
// Constellations in season for the month at the latitude.
int constellationsInSeason(int month, double latitude);

struct SkyCardView {
    MoonInfo moon;
    // The text group beside the moon, top to bottom; the meteor and stars
    // lines carry their click.
    std::vector<CardLine> lines;
};

// Times are read on the place's clock: its zone's offset at each time, or
// the record's offset when the zone is not known.
SkyCardView skyCard(const WeatherData& data, const Config& config, int64_t now);

}  // namespace nbr::panel
