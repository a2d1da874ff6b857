// Archive analytics: the climate context of a place drawn from its archived
// days (ascending dates): normals, the seasonal outlook's departure from them,
// today's insights (records, last year, the current streak, this month's
// rain) and the analog outlook.
#include "history/ArchiveStore.h"

#include "model/Dates.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string_view>
#include <unordered_map>

namespace nbr {

namespace {

using Days = std::vector<ArchiveStore::Day>;

constexpr size_t kMinDaysForClimate = 300;
constexpr int kMinNormalSamples = 3;
constexpr int kMinOutlookDays = 30;
constexpr double kStreakMargin = 0.5;
constexpr int kMinStreak = 3;
constexpr int kMinMonthDays = 25;
constexpr int kMinCompleteYears = 3;
constexpr size_t kMinDaysForAnalogs = 60;
constexpr int kAnalogWindow = 21;  // days of year either side
constexpr double kAnalogSlack = 2.25;
constexpr int kMinAnalogs = 5;
constexpr int kMaxAnalogs = 20;
constexpr double kWetDay = 1.0;

// Characters 6 to 10 of a date (MM-DD); empty for a date too short to have one.
std::string_view monthDayOf(const std::string& date) {
    return date.size() < 10 ? std::string_view() : std::string_view(date).substr(5, 5);
}

int yearOf(const std::string& date) {
    int y = 0, m = 0, d = 0;
    return std::sscanf(date.c_str(), "%d-%d-%d", &y, &m, &d) == 3 ? y : 0;
}

// Calendar years from the first archived day to the last; 0 when either
// date does not read.
int yearsSpanned(const Days& days) {
    int y0 = 0, y1 = 0, m, d;
    if (days.empty() || std::sscanf(days.front().date.c_str(), "%d-%d-%d", &y0, &m, &d) != 3 ||
        std::sscanf(days.back().date.c_str(), "%d-%d-%d", &y1, &m, &d) != 3)
        return 0;
    return y1 - y0 + 1;
}

struct Mean {
    double sum = 0;
    int count = 0;
    double value() const { return sum / count; }
};

// Sum and count of the highs of every month-day over all years. Values that
// are not finite are left out.
std::unordered_map<std::string_view, Mean> normalHighs(const Days& days) {
    std::unordered_map<std::string_view, Mean> highs;
    highs.reserve(400);
    for (const auto& day : days) {
        const std::string_view md = monthDayOf(day.date);
        if (md.empty() || !std::isfinite(day.tmax)) continue;
        Mean& m = highs[md];
        m.sum += day.tmax;
        ++m.count;
    }
    return highs;
}

// Day number since 1970 and day of year of a date, for the analog search.
struct DayPlace {
    bool parsed = false;
    bool canonical = false;  // a day of its month (2023-02-30 is not)
    int64_t number = 0;
    int dayOfYear = 0;
};

DayPlace placeOf(const std::string& date) {
    DayPlace p;
    int y, m, d;
    int64_t first = 0;
    if (!parseIsoDate(date, y, m, d) || !daysSinceEpoch(y, m, d, p.number) || !daysSinceEpoch(y, 1, 1, first))
        return p;
    using namespace std::chrono;
    p.parsed = true;
    p.dayOfYear = static_cast<int>(p.number - first + 1);
    p.canonical = year_month_day{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}}.ok();
    return p;
}

}  // namespace

ArchiveNormals ArchiveStore::normalsFor(const std::vector<Day>& days, const std::string& monthDay) {
    ArchiveNormals out;
    if (monthDay.size() != 5) return out;
    Mean high, low;
    for (const auto& day : days) {
        if (monthDayOf(day.date) != monthDay || !std::isfinite(day.tmax) || !std::isfinite(day.tmin)) continue;
        high.sum += day.tmax;
        low.sum += day.tmin;
        ++high.count;
    }
    if (high.count == 0) return out;
    out.valid = true;
    out.tmax = high.value();
    out.tmin = low.sum / high.count;
    return out;
}

SeasonalAnomaly ArchiveStore::computeSeasonalAnomaly(const std::vector<Day>& days,
                                                     const std::vector<std::string>& dates,
                                                     const std::vector<double>& values) {
    SeasonalAnomaly out;
    if (days.size() < kMinDaysForClimate) return out;
    const auto highs = normalHighs(days);
    Mean diff;
    for (size_t i = 0; i < dates.size() && i < values.size(); ++i) {
        const std::string_view md = monthDayOf(dates[i]);
        if (md.empty() || !std::isfinite(values[i])) continue;
        const auto it = highs.find(md);
        if (it == highs.end() || it->second.count < kMinNormalSamples) continue;
        diff.sum += values[i] - it->second.value();
        ++diff.count;
    }
    if (diff.count < kMinOutlookDays) return out;
    out.valid = true;
    out.n = diff.count;
    out.anomaly = diff.value();
    return out;
}

ArchiveInsights ArchiveStore::computeInsights(const std::vector<Day>& days, const std::string& today) {
    ArchiveInsights out;
    if (days.size() < kMinDaysForClimate || today.size() < 10) return out;
    out.years = yearsSpanned(days);

    const std::string_view todayMd = monthDayOf(today);
    const auto highs = normalHighs(days);
    bool seen = false;
    for (const auto& day : days) {
        if (monthDayOf(day.date) != todayMd) continue;
        // Ties keep the earliest year.
        if (!seen || day.tmax > out.recordHigh) {
            out.recordHigh = day.tmax;
            out.recordHighYear = yearOf(day.date);
        }
        if (!seen || day.tmin < out.recordLow) {
            out.recordLow = day.tmin;
            out.recordLowYear = yearOf(day.date);
        }
        seen = true;
    }
    if (!seen) return out;

    // The same date a year earlier (none on 29 February after a common year).
    char lastYear[32];
    std::snprintf(lastYear, sizeof lastYear, "%04d-%.*s", yearOf(today) - 1, static_cast<int>(todayMd.size()),
                  todayMd.data());
    for (const auto& day : days) {
        if (day.date != lastYear) continue;
        out.hasLastYear = true;
        out.lastYearHigh = day.tmax;
        out.lastYearLow = day.tmin;
        out.lastYearPrecip = day.precip;
        break;
    }

    // The run of days on one side of normal, from the newest archived day back.
    int run = 0;
    bool runAbove = true;
    for (auto it = days.rbegin(); it != days.rend(); ++it) {
        const auto normal = highs.find(monthDayOf(it->date));
        if (normal == highs.end() || normal->second.count < kMinNormalSamples) break;
        const double m = normal->second.value();
        const bool above = it->tmax > m + kStreakMargin;
        const bool below = it->tmax < m - kStreakMargin;
        if (!above && !below) break;
        if (run > 0 && above != runAbove) break;
        runAbove = above;
        ++run;
    }
    if (run >= kMinStreak) {
        out.streakDays = run;
        out.streakAbove = runAbove;
    }

    // This month's rain so far against the same month of complete other years.
    const std::string_view yearMonth = std::string_view(today).substr(0, 7);
    const std::string_view month = std::string_view(today).substr(5, 2);
    double current = 0;
    bool currentSeen = false;
    std::map<int, Mean> byYear;
    for (const auto& day : days) {
        if (day.date.size() < 10 || std::string_view(day.date).substr(5, 2) != month) continue;
        // A day of unknown rain adds nothing and does not count as a day of the month.
        if (!std::isfinite(day.precip) || !knownAmount(day.precip)) continue;
        const double rain = day.precip;
        if (std::string_view(day.date).substr(0, 7) == yearMonth) {
            current += rain;
            currentSeen = true;
        } else {
            Mean& y = byYear[yearOf(day.date)];
            y.sum += rain;
            ++y.count;
        }
    }
    std::vector<double> totals;
    for (const auto& [year, total] : byYear)
        if (total.count >= kMinMonthDays) totals.push_back(total.sum);
    if (static_cast<int>(totals.size()) >= kMinCompleteYears && currentSeen) {
        out.monthRain = current;
        double sum = 0;
        for (double t : totals) sum += t;
        out.monthRainTypical = sum / static_cast<double>(totals.size());
        out.monthRainByYear = std::move(totals);
    }

    out.valid = true;
    return out;
}

AnalogOutlook ArchiveStore::computeAnalogs(const std::vector<Day>& days, const std::vector<double>& recent,
                                           const std::string& date) {
    AnalogOutlook out;
    const int target = dayOfYear(date);
    if (recent.size() < 2 || days.size() < kMinDaysForAnalogs || target == 0) return out;
    for (double v : recent)
        if (!std::isfinite(v)) return out;
    const size_t len = recent.size();

    std::vector<DayPlace> placed;
    placed.reserve(days.size());
    for (const auto& day : days) placed.push_back(placeOf(day.date));

    struct Candidate {
        double score;
        size_t next;
    };
    std::vector<Candidate> candidates;
    for (size_t i = 0; i + len < days.size(); ++i) {
        // The stretch and its following day must be consecutive calendar days.
        const DayPlace& first = placed[i];
        const DayPlace& next = placed[i + len];
        if (!first.parsed || !next.canonical || next.number - first.number != static_cast<int64_t>(len)) continue;
        const int d = std::abs(placed[i + len - 1].dayOfYear - target);
        if (std::min(d, 366 - d) > kAnalogWindow) continue;
        double score = 0;
        for (size_t j = 0; j < len; ++j) {
            const double e = days[i + j].tmax - recent[j];
            score += e * e;
        }
        score /= static_cast<double>(len);
        if (std::isfinite(score)) candidates.push_back({score, i + len});
    }
    if (candidates.size() < static_cast<size_t>(kMinAnalogs)) return out;
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.score != b.score ? a.score < b.score : a.next < b.next;
    });

    int close = 0;
    while (close < kMaxAnalogs && static_cast<size_t>(close) < candidates.size() &&
           candidates[close].score <= candidates[0].score + kAnalogSlack)
        ++close;
    const int k = std::max(kMinAnalogs, close);

    double high = 0, low = 0, trend = 0;
    int wet = 0, rainKnown = 0;  // the rain share is of the matches whose rain is known
    for (int c = 0; c < k; ++c) {
        const Day& next = days[candidates[c].next];
        const Day& last = days[candidates[c].next - 1];
        high += next.tmax;
        low += next.tmin;
        trend += next.tmax - last.tmax;
        if (knownAmount(next.precip)) {
            ++rainKnown;
            if (next.precip >= kWetDay) ++wet;
        }
        out.nextHighs.push_back(next.tmax);
    }
    out.valid = true;
    out.matches = k;
    out.nextHighAvg = high / k;
    out.nextLowAvg = low / k;
    out.trendAvg = trend / k;
    out.rainPct = rainKnown > 0 ? wet * 100.0 / rainKnown : kUnknownAmount;
    out.years = yearsSpanned(days);
    return out;
}

}  // namespace nbr
