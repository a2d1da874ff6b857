// A record whose days match the model-source seeds (from 2026-03-01), with the
// fields the readers write already set, as after an earlier refresh.
#pragma once

#include "model/WeatherTypes.h"

#include <cstdio>

namespace nbr::fuzz {

inline WeatherData recordWithSeedDays(size_t days = 7) {
    WeatherData d;
    for (size_t i = 0; i < days; ++i) {
        DailyForecast day;
        char date[16];
        std::snprintf(date, sizeof date, "2026-03-%02zu", i + 1);
        day.date = date;
        day.temperatureMax = 4.0 + static_cast<double>(i);
        day.temperatureMin = -2.0;
        d.daily.push_back(day);
    }
    d.modelSeries.push_back({"ens", std::vector<double>(days, 1.0), std::vector<double>(days, 0.0),
                             std::vector<double>(days, 50.0)});
    return d;
}

}  // namespace nbr::fuzz
