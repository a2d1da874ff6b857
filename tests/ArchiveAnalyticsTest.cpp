// Archive analytics against plain brute-force computations over a synthetic
// ten-year archive (with missing days and leap days), then the thresholds one
// by one on small hand-made archives.
#include "history/ArchiveStore.h"
#include "model/Dates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>

using nbr::ArchiveStore;
using Day = ArchiveStore::Day;
using Days = std::vector<Day>;

namespace {

double round1(double v) { return std::round(v * 10) / 10; }

// Ten years of days from 2015-01-01 with a seasonal swing and noise, values
// on a 0.1 grid so ties happen; a few days are missing.
Days syntheticArchive(unsigned seed, int count = 3653, std::set<int> missing = {400, 1700, 1701, 3000}) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 4);
    std::uniform_real_distribution<double> u(0, 1);
    Days days;
    for (int i = 0; i < count; ++i) {
        Day d;
        d.date = nbr::addDays("2015-01-01", i);
        const int doy = nbr::dayOfYear(d.date);
        d.tmax = round1(12 - 11 * std::cos(2 * M_PI * (doy - 20) / 365.25) + noise(rng));
        d.tmin = round1(d.tmax - 3 - 5 * u(rng));
        d.precip = u(rng) < 0.35 ? round1(20 * u(rng) * u(rng)) : 0;
        if (!missing.count(i)) days.push_back(d);
    }
    return days;
}

std::string md(const std::string& date) { return date.substr(5, 5); }
int year(const std::string& date) { return std::stoi(date.substr(0, 4)); }

// Mean high of a month-day over the whole archive, and how many days made it.
std::pair<double, int> brutalNormalHigh(const Days& days, const std::string& monthDay) {
    double sum = 0;
    int n = 0;
    for (const auto& d : days)
        if (md(d.date) == monthDay) sum += d.tmax, ++n;
    return {n ? sum / n : 0, n};
}

nbr::SeasonalAnomaly brutalAnomaly(const Days& days, const std::vector<std::string>& dates,
                                   const std::vector<double>& values) {
    nbr::SeasonalAnomaly out;
    if (days.size() < 300) return out;
    double sum = 0;
    int n = 0;
    for (size_t i = 0; i < std::min(dates.size(), values.size()); ++i) {
        if (dates[i].size() < 10) continue;
        const auto [normal, count] = brutalNormalHigh(days, md(dates[i]));
        if (count < 3) continue;
        sum += values[i] - normal;
        ++n;
    }
    if (n >= 30) out = {true, n, sum / n};
    return out;
}

nbr::ArchiveInsights brutalInsights(const Days& days, const std::string& today) {
    nbr::ArchiveInsights out;
    if (days.size() < 300 || today.size() < 10) return out;
    out.years = year(days.back().date) - year(days.front().date) + 1;
    std::vector<Day> same;
    for (const auto& d : days)
        if (md(d.date) == md(today)) same.push_back(d);
    if (same.empty()) return out;
    // Records: the extreme value, then the earliest year holding it.
    double hi = same[0].tmax, lo = same[0].tmin;
    for (const auto& d : same) hi = std::max(hi, d.tmax), lo = std::min(lo, d.tmin);
    out.recordHigh = hi;
    out.recordLow = lo;
    for (auto it = same.rbegin(); it != same.rend(); ++it) {
        if (it->tmax == hi) out.recordHighYear = year(it->date);
        if (it->tmin == lo) out.recordLowYear = year(it->date);
    }
    const std::string lastYear = std::to_string(year(today) - 1) + "-" + md(today);
    for (const auto& d : days)
        if (d.date == lastYear && !out.hasLastYear)
            out.hasLastYear = true, out.lastYearHigh = d.tmax, out.lastYearLow = d.tmin, out.lastYearPrecip = d.precip;
    // Streak: classify every day from the newest back, stop at the first change.
    std::vector<int> side;
    for (auto it = days.rbegin(); it != days.rend(); ++it) {
        const auto [normal, count] = brutalNormalHigh(days, md(it->date));
        if (count < 3) break;
        const int s = it->tmax > normal + 0.5 ? 1 : it->tmax < normal - 0.5 ? -1 : 0;
        if (s == 0 || (!side.empty() && s != side[0])) break;
        side.push_back(s);
    }
    if (side.size() >= 3) out.streakDays = static_cast<int>(side.size()), out.streakAbove = side[0] > 0;
    // Month rain, one year at a time.
    const int thisYear = year(today);
    const std::string month = today.substr(5, 2);
    double current = 0;
    bool seen = false;
    std::vector<double> totals;
    for (int y = year(days.front().date); y <= year(days.back().date); ++y) {
        double total = 0;
        int n = 0;
        for (const auto& d : days)
            if (year(d.date) == y && d.date.substr(5, 2) == month) total += d.precip, ++n;
        if (y == thisYear) current = total, seen = n > 0;
        else if (n >= 25) totals.push_back(total);
    }
    if (totals.size() >= 3 && seen) {
        out.monthRain = current;
        double sum = 0;
        for (double t : totals) sum += t;
        out.monthRainTypical = sum / totals.size();
        out.monthRainByYear = totals;
    }
    out.valid = true;
    return out;
}

nbr::AnalogOutlook brutalAnalogs(const Days& days, const std::vector<double>& recent, const std::string& date) {
    nbr::AnalogOutlook out;
    const size_t L = recent.size();
    if (L < 2 || days.size() < 60 || nbr::dayOfYear(date) == 0) return out;
    std::vector<std::pair<double, size_t>> cands;
    for (size_t i = 0; i + L < days.size(); ++i) {
        if (days[i + L].date != nbr::addDays(days[i].date, static_cast<int>(L))) continue;
        const int d = std::abs(nbr::dayOfYear(days[i + L - 1].date) - nbr::dayOfYear(date));
        if (std::min(d, 366 - d) > 21) continue;
        double score = 0;
        for (size_t j = 0; j < L; ++j) score += std::pow(days[i + j].tmax - recent[j], 2);
        cands.push_back({score / L, i + L});
    }
    if (cands.size() < 5) return out;
    std::stable_sort(cands.begin(), cands.end(), [](auto& a, auto& b) { return a.first < b.first; });
    int m = 0;
    for (const auto& c : cands)
        if (c.first <= cands[0].first + 2.25 && m < 20) ++m;
    const int K = std::max(5, m);
    out.valid = true;
    out.matches = K;
    for (int c = 0; c < K; ++c) {
        const Day& next = days[cands[c].second];
        out.nextHighAvg += next.tmax / K;
        out.nextLowAvg += next.tmin / K;
        out.trendAvg += (next.tmax - days[cands[c].second - 1].tmax) / K;
        out.rainPct += next.precip >= 1.0 ? 100.0 / K : 0;
        out.nextHighs.push_back(next.tmax);
    }
    out.years = year(days.back().date) - year(days.front().date) + 1;
    return out;
}

void expectSame(const nbr::ArchiveInsights& a, const nbr::ArchiveInsights& b, const std::string& today) {
    SCOPED_TRACE(today);
    EXPECT_EQ(a.valid, b.valid);
    EXPECT_EQ(a.years, b.years);
    EXPECT_EQ(a.recordHigh, b.recordHigh);
    EXPECT_EQ(a.recordLow, b.recordLow);
    EXPECT_EQ(a.recordHighYear, b.recordHighYear);
    EXPECT_EQ(a.recordLowYear, b.recordLowYear);
    EXPECT_EQ(a.hasLastYear, b.hasLastYear);
    EXPECT_EQ(a.lastYearHigh, b.lastYearHigh);
    EXPECT_EQ(a.lastYearLow, b.lastYearLow);
    EXPECT_EQ(a.lastYearPrecip, b.lastYearPrecip);
    EXPECT_EQ(a.streakDays, b.streakDays);
    EXPECT_EQ(a.streakAbove, b.streakAbove);
    EXPECT_NEAR(a.monthRain, b.monthRain, 1e-9);
    EXPECT_NEAR(a.monthRainTypical, b.monthRainTypical, 1e-9);
    ASSERT_EQ(a.monthRainByYear.size(), b.monthRainByYear.size());
    for (size_t i = 0; i < a.monthRainByYear.size(); ++i) EXPECT_NEAR(a.monthRainByYear[i], b.monthRainByYear[i], 1e-9);
}

// A flat archive: every day's high is `high`, low 0, no rain.
Days flatArchive(const std::string& first, int count, double high = 10) {
    Days days;
    for (int i = 0; i < count; ++i) days.push_back({nbr::addDays(first, i), high, 0, 0});
    return days;
}

}  // namespace

TEST(ArchiveAnalytics, NormalsAndAnomalyMatchABruteForceCount) {
    const Days days = syntheticArchive(7);
    for (int i = 0; i < 366; i += 5) {
        const std::string monthDay = md(nbr::addDays("2024-01-01", i));
        const auto n = ArchiveStore::normalsFor(days, monthDay);
        const auto [high, count] = brutalNormalHigh(days, monthDay);
        double low = 0;
        for (const auto& d : days)
            if (md(d.date) == monthDay) low += d.tmin / count;
        ASSERT_TRUE(n.valid) << monthDay;
        EXPECT_NEAR(n.tmax, high, 1e-9) << monthDay;
        EXPECT_NEAR(n.tmin, low, 1e-9) << monthDay;
    }
    // Leap days only average leap days; a 4-character text is no month-day.
    const auto leap = ArchiveStore::normalsFor(days, "02-29");
    EXPECT_NEAR(leap.tmax, brutalNormalHigh(days, "02-29").first, 1e-9);
    EXPECT_EQ(brutalNormalHigh(days, "02-29").second, 3);  // 2016, 2020, 2024
    EXPECT_FALSE(ArchiveStore::normalsFor(days, "2-29").valid);
    EXPECT_FALSE(ArchiveStore::normalsFor({}, "02-29").valid);

    // A seasonal outlook over the next months, with short dates and values
    // past the end of the dates mixed in.
    std::mt19937 rng(3);
    std::vector<std::string> dates;
    std::vector<double> values;
    for (int i = 0; i < 200; ++i) {
        dates.push_back(i % 37 == 5 ? "2025-1-5" : nbr::addDays("2025-01-20", i));
        values.push_back(round1(std::uniform_real_distribution<double>(-5, 30)(rng)));
    }
    values.push_back(99);
    const auto a = ArchiveStore::computeSeasonalAnomaly(days, dates, values);
    const auto b = brutalAnomaly(days, dates, values);
    ASSERT_TRUE(b.valid);
    EXPECT_TRUE(a.valid);
    EXPECT_EQ(a.n, b.n);
    EXPECT_NEAR(a.anomaly, b.anomaly, 1e-9);
}

TEST(ArchiveAnalytics, InsightsMatchABruteForceCountOnEveryKindOfDay) {
    for (unsigned seed : {1u, 2u, 3u}) {
        Days days = syntheticArchive(seed);
        // Force long runs at the end so streaks of both sides occur.
        const std::string newest = days.back().date;
        for (int k = 0; k < 6 && seed != 1; ++k) {
            Day& d = days[days.size() - 1 - k];
            d.tmax = brutalNormalHigh(days, md(d.date)).first + (seed == 2 ? 3 : -3);
        }
        for (int i = -400; i <= 5; i += 3) {
            const std::string today = nbr::addDays(newest, i);
            expectSame(ArchiveStore::computeInsights(days, today), brutalInsights(days, today), today);
        }
        for (const char* today : {"2024-02-29", "2025-03-01", "2025-01-15", "2025-12-31"})
            expectSame(ArchiveStore::computeInsights(days, today), brutalInsights(days, today), today);
    }
}

TEST(ArchiveAnalytics, AnalogsMatchABruteForceSearch) {
    const Days days = syntheticArchive(11);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 1.5);
    int checked = 0;
    for (int start : {30, 200, 355, 1000, 1703, 2500, 3300, 3640}) {
        for (size_t len : {2u, 3u}) {
            std::vector<double> recent;
            for (size_t j = 0; j < len; ++j) recent.push_back(round1(days[start + j].tmax + noise(rng)));
            const std::string date = nbr::addDays(days[start + len - 1].date, 365);
            const auto a = ArchiveStore::computeAnalogs(days, recent, date);
            const auto b = brutalAnalogs(days, recent, date);
            SCOPED_TRACE(date);
            ASSERT_EQ(a.valid, b.valid);
            EXPECT_EQ(a.matches, b.matches);
            EXPECT_EQ(a.years, b.years);
            EXPECT_NEAR(a.nextHighAvg, b.nextHighAvg, 1e-9);
            EXPECT_NEAR(a.nextLowAvg, b.nextLowAvg, 1e-9);
            EXPECT_NEAR(a.trendAvg, b.trendAvg, 1e-9);
            EXPECT_NEAR(a.rainPct, b.rainPct, 1e-9);
            // Equal scores may come in either order: compare as sets.
            auto ha = a.nextHighs, hb = b.nextHighs;
            std::sort(ha.begin(), ha.end());
            std::sort(hb.begin(), hb.end());
            EXPECT_EQ(ha, hb);
            checked += a.valid;
        }
    }
    EXPECT_EQ(checked, 16);
}

TEST(ArchiveAnalytics, ClimateNeedsThreeHundredDaysAndThirtyOutlookDays) {
    const Days short299 = flatArchive("2023-01-01", 299);
    const Days full300 = flatArchive("2023-01-01", 300);
    EXPECT_FALSE(ArchiveStore::computeInsights(short299, "2023-10-20").valid);
    EXPECT_TRUE(ArchiveStore::computeInsights(full300, "2023-10-20").valid);
    EXPECT_FALSE(ArchiveStore::computeInsights(full300, "2023-10-2").valid);
    // A month-day the archive never had: only the span of years.
    const auto none = ArchiveStore::computeInsights(full300, "2024-12-25");
    EXPECT_FALSE(none.valid);
    EXPECT_EQ(none.years, 1);

    // Three years of the same 40 days, so each month-day has 3 samples;
    // one year of 40 more days whose month-days then have only 1 or 2.
    Days days;
    for (int y = 2020; y <= 2022; ++y)
        for (int i = 0; i < 100; ++i) days.push_back({nbr::addDays(std::to_string(y) + "-03-01", i), 10, 0, 0});
    std::vector<std::string> dates;
    std::vector<double> values;
    for (int i = 0; i < 29; ++i) dates.push_back(nbr::addDays("2024-03-01", i)), values.push_back(12);
    EXPECT_FALSE(ArchiveStore::computeSeasonalAnomaly(days, dates, values).valid);  // 29 dates
    dates.push_back("2024-03-30"), values.push_back(12);
    auto a = ArchiveStore::computeSeasonalAnomaly(days, dates, values);
    EXPECT_TRUE(a.valid);
    EXPECT_EQ(a.n, 30);
    EXPECT_DOUBLE_EQ(a.anomaly, 2);
    // A month-day with only 2 archived days does not count.
    days.push_back({"2023-08-01", 10, 0, 0});
    days.push_back({"2024-08-01", 10, 0, 0});
    dates.back() = "2024-08-01";
    EXPECT_FALSE(ArchiveStore::computeSeasonalAnomaly(days, dates, values).valid);
    EXPECT_FALSE(ArchiveStore::computeSeasonalAnomaly(short299, dates, values).valid);
}

TEST(ArchiveAnalytics, RecordsStreaksAndMonthRainAtTheirThresholds) {
    // Five years of flat 10-degree days with no rain.
    Days days = flatArchive("2019-01-01", 5 * 365 + 1);
    auto at = [&](const std::string& date) -> Day& {
        return *std::find_if(days.begin(), days.end(), [&](const Day& d) { return d.date == date; });
    };
    at("2020-07-04").tmax = 31;
    at("2022-07-04").tmax = 31;  // a tie keeps the earlier year
    at("2021-07-04").tmin = -2;
    auto ins = ArchiveStore::computeInsights(days, "2023-07-04");
    EXPECT_EQ(ins.recordHigh, 31);
    EXPECT_EQ(ins.recordHighYear, 2020);
    EXPECT_EQ(ins.recordLow, -2);
    EXPECT_EQ(ins.recordLowYear, 2021);
    EXPECT_TRUE(ins.hasLastYear);
    EXPECT_EQ(ins.lastYearHigh, 31);
    EXPECT_TRUE(ArchiveStore::computeInsights(days, "2021-02-29").hasLastYear);
    EXPECT_FALSE(ArchiveStore::computeInsights(days, "2023-02-29").hasLastYear);

    // Streaks, from the newest archived day (2023-12-31) back. Each of the
    // last days' month-day mean includes the day itself: with 5 samples of
    // which 4 are 10, a high h gives mean (40 + h) / 5.
    auto aboveBy = [](double delta) { return 10 + delta * 5 / 4; };  // h - mean == delta
    struct Case {
        std::vector<double> deltas;  // newest last
        int streak;
        bool above;
    } cases[] = {
        {{2.6, 2.8, 3.0}, 3, true},
        {{-1, -1, -1, -1}, 4, false},
        {{0.5, 1, 1, 1}, 3, true},  // exactly 0.5 above ends the run
        {{-1, 1, 1, 1}, 3, true},   // the other side ends it
        {{0, 1, 1}, 0, true},       // a run of 2
    };
    for (const auto& c : cases) {
        Days d = days;
        for (size_t k = 0; k < c.deltas.size(); ++k) d[d.size() - c.deltas.size() + k].tmax = aboveBy(c.deltas[k]);
        const auto r = ArchiveStore::computeInsights(d, "2024-01-02");
        EXPECT_EQ(r.streakDays, c.streak) << c.deltas.back();
        EXPECT_EQ(r.streakAbove, c.above) << c.deltas.back();
    }

    // Month rain: 2023-12 so far against complete Decembers of other years.
    Days rain = days;
    for (auto& d : rain)
        if (d.date.substr(5, 2) == "12") d.precip = d.date < "2023" ? 1.0 : 0.5;
    auto r = ArchiveStore::computeInsights(rain, "2023-12-20");
    EXPECT_EQ(r.monthRain, 15.5);  // all 31 days of the archived December count
    EXPECT_EQ(r.monthRainTypical, 31);
    EXPECT_EQ(r.monthRainByYear, (std::vector<double>{31, 31, 31, 31}));
    // Only two complete other years: none of it.
    Days twoYears(rain.begin() + 731, rain.end());  // from 2021-01-01
    r = ArchiveStore::computeInsights(twoYears, "2023-12-20");
    EXPECT_EQ(r.monthRain, -1);
    EXPECT_EQ(r.monthRainTypical, -1);
    EXPECT_TRUE(r.monthRainByYear.empty());
    // A third year with 24 days of December is not complete; with 25 it is.
    Days partial = twoYears;
    for (int i = 0; i < 24; ++i) partial.insert(partial.begin() + i, Day{nbr::addDays("2020-12-01", i), 10, 0, 2});
    EXPECT_EQ(ArchiveStore::computeInsights(partial, "2023-12-20").monthRain, -1);
    partial.insert(partial.begin() + 24, Day{"2020-12-25", 10, 0, 2});
    r = ArchiveStore::computeInsights(partial, "2023-12-20");
    EXPECT_EQ(r.monthRainByYear, (std::vector<double>{50, 31, 31}));
    // This month not yet archived: none.
    EXPECT_EQ(ArchiveStore::computeInsights(rain, "2024-12-20").monthRain, -1);
}

TEST(ArchiveAnalytics, AnalogsNeedFiveConsecutiveCandidatesAndKeepTheCloseOnes) {
    // 61 days; a stretch [a, b] scores by how far its highs are from recent.
    Days days = flatArchive("2023-06-01", 61, 0);
    const std::string date = "2024-07-01";
    EXPECT_FALSE(ArchiveStore::computeAnalogs(Days(days.begin(), days.begin() + 59), {0, 0}, date).valid);
    EXPECT_FALSE(ArchiveStore::computeAnalogs(days, {0}, date).valid);
    EXPECT_FALSE(ArchiveStore::computeAnalogs(days, {0, 0}, "2024-7").valid);

    // Only stretches ending within 21 days of 1 July count: 06-10 to 07-22,
    // that is 43 candidates; spread their scores with the highs.
    auto kFor = [&](int close) {
        Days d = days;
        for (size_t i = 0; i < d.size(); ++i) d[i].tmax = static_cast<double>(i) < 9 + close + 1 ? 0 : 100;
        return ArchiveStore::computeAnalogs(d, {0, 0}, date).matches;
    };
    EXPECT_EQ(kFor(12), 12);
    EXPECT_EQ(kFor(30), 20);
    EXPECT_EQ(kFor(1), 5);

    // Every other day: no stretch is consecutive, until odd days join
    // neighbours into runs of three, each one candidate.
    Days sparse;
    for (int i = 0; i < 200; ++i) sparse.push_back({nbr::addDays("2023-01-01", 2 * i), 5, 0, 0});
    auto withOdd = [&](std::vector<int> odd) {
        Days d = sparse;
        for (int o : odd) d.push_back({nbr::addDays("2023-01-01", o), 5, 0, 0});
        std::sort(d.begin(), d.end(), [](const Day& x, const Day& y) { return x.date < y.date; });
        return d;
    };
    EXPECT_FALSE(ArchiveStore::computeAnalogs(sparse, {5, 5}, "2023-06-30").valid);
    EXPECT_FALSE(ArchiveStore::computeAnalogs(withOdd({171, 181, 191, 201}), {5, 5}, "2023-06-30").valid);
    EXPECT_FALSE(ArchiveStore::computeAnalogs(withOdd({171, 181, 191, 201, 361}), {5, 5}, "2023-06-30").valid);
    const auto five = ArchiveStore::computeAnalogs(withOdd({171, 181, 191, 201, 175}), {5, 5}, "2023-06-30");
    EXPECT_TRUE(five.valid);
    EXPECT_EQ(five.matches, 5);

    // Day of year 360 and day of year 5 are 11 apart around the year's end.
    Days winter = flatArchive("2022-12-20", 70, 0);
    const auto w = ArchiveStore::computeAnalogs(winter, {0, 0}, "2024-01-05");
    EXPECT_TRUE(w.valid);
    EXPECT_EQ(w.years, 2);
}
