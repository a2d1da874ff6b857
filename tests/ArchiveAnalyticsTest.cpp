// Archive analytics against plain brute-force computations over a synthetic
// ten-year archive (missing days, leap days, ties on a 0.1 grid), then the
// thresholds on small hand-made archives.
#include "history/ArchiveStore.h"
#include "model/Dates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

using nbr::ArchiveStore;
using Day = ArchiveStore::Day;
using Days = std::vector<Day>;

namespace {

double round1(double v) { return std::round(v * 10) / 10; }
std::string md(const std::string& date) { return date.substr(5, 5); }
int year(const std::string& date) { return std::stoi(date.substr(0, 4)); }

// 2015-01-01 to 2024-12-31 without four days.
Days syntheticArchive(unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 4);
    std::uniform_real_distribution<double> u(0, 1);
    Days days;
    for (int i = 0; i < 3653; ++i) {
        const std::string date = nbr::addDays("2015-01-01", i);
        const double high = round1(12 - 11 * std::cos(2 * M_PI * (nbr::dayOfYear(date) - 20) / 365.25) + noise(rng));
        const double rain = u(rng) < 0.35 ? round1(20 * u(rng) * u(rng)) : 0;
        if (i != 400 && i != 1700 && i != 1701 && i != 3000) days.push_back({date, high, round1(high - 3 - 5 * u(rng)), rain});
    }
    return days;
}

std::pair<double, int> brutalNormal(const Days& days, const std::string& monthDay, bool low = false) {
    double sum = 0;
    int n = 0;
    for (const auto& d : days)
        if (md(d.date) == monthDay) sum += low ? d.tmin : d.tmax, ++n;
    return {n ? sum / n : 0, n};
}

nbr::ArchiveInsights brutalInsights(const Days& days, const std::string& today) {
    nbr::ArchiveInsights out;
    out.years = year(days.back().date) - year(days.front().date) + 1;
    bool any = false;
    for (const auto& d : days) {
        if (md(d.date) != md(today)) continue;
        if (!any || d.tmax > out.recordHigh) out.recordHigh = d.tmax, out.recordHighYear = year(d.date);
        if (!any || d.tmin < out.recordLow) out.recordLow = d.tmin, out.recordLowYear = year(d.date);
        any = true;
    }
    if (!any) return out;
    for (const auto& d : days)
        if (d.date == std::to_string(year(today) - 1) + "-" + md(today))
            out.hasLastYear = true, out.lastYearHigh = d.tmax, out.lastYearLow = d.tmin, out.lastYearPrecip = d.precip;
    std::vector<int> side;
    for (auto it = days.rbegin(); it != days.rend(); ++it) {
        const auto [normal, count] = brutalNormal(days, md(it->date));
        const int s = count < 3 ? 0 : it->tmax > normal + 0.5 ? 1 : it->tmax < normal - 0.5 ? -1 : 0;
        if (s == 0 || (!side.empty() && s != side[0])) break;
        side.push_back(s);
    }
    if (side.size() >= 3) out.streakDays = static_cast<int>(side.size()), out.streakAbove = side[0] > 0;
    double current = 0;
    bool seen = false;
    std::vector<double> totals;
    for (int y = year(days.front().date); y <= year(days.back().date); ++y) {
        double total = 0;
        int n = 0;
        for (const auto& d : days)
            if (year(d.date) == y && d.date.substr(5, 2) == today.substr(5, 2)) total += d.precip, ++n;
        if (y == year(today)) current = total, seen = n > 0;
        else if (n >= 25) totals.push_back(total);
    }
    if (totals.size() >= 3 && seen) {
        out.monthRain = current;
        out.monthRainTypical = 0;
        for (double t : totals) out.monthRainTypical += t / totals.size();
        out.monthRainByYear = totals;
    }
    out.valid = true;
    return out;
}

nbr::AnalogOutlook brutalAnalogs(const Days& days, const std::vector<double>& recent, const std::string& date) {
    nbr::AnalogOutlook out;
    const size_t L = recent.size();
    std::vector<std::pair<double, size_t>> cands;
    for (size_t i = 0; i + L < days.size(); ++i) {
        if (days[i + L].date != nbr::addDays(days[i].date, static_cast<int>(L))) continue;
        const int d = std::abs(nbr::dayOfYear(days[i + L - 1].date) - nbr::dayOfYear(date));
        if (std::min(d, 366 - d) > 21) continue;
        double score = 0;
        for (size_t j = 0; j < L; ++j) score += std::pow(days[i + j].tmax - recent[j], 2) / L;
        cands.push_back({score, i + L});
    }
    if (cands.size() < 5) return out;
    std::stable_sort(cands.begin(), cands.end(), [](auto& a, auto& b) { return a.first < b.first; });
    int m = 0;
    while (m < 20 && cands[m].first <= cands[0].first + 2.25) ++m;
    out.matches = std::max(5, m);
    for (int c = 0; c < out.matches; ++c) {
        const Day& next = days[cands[c].second];
        out.nextHighAvg += next.tmax / out.matches;
        out.nextLowAvg += next.tmin / out.matches;
        out.trendAvg += (next.tmax - days[cands[c].second - 1].tmax) / out.matches;
        out.rainPct += next.precip >= 1.0 ? 100.0 / out.matches : 0;
    }
    out.valid = true;
    return out;
}

Days flatArchive(const std::string& first, int count, double high = 10) {
    Days days;
    for (int i = 0; i < count; ++i) days.push_back({nbr::addDays(first, i), high, 0, 0});
    return days;
}

}  // namespace

TEST(ArchiveAnalytics, NormalsAnomalyAndInsightsMatchABruteForceCount) {
    for (const double run : {0.0, 3.0, -3.0}) {
        Days days = syntheticArchive(static_cast<unsigned>(run + 7));
        // The newest six days `run` degrees off normal, so that streaks occur.
        for (size_t k = days.size() - 6; run != 0 && k < days.size(); ++k)
            days[k].tmax = brutalNormal(days, md(days[k].date)).first + run;
        for (int i = -400; i <= 5; i += 3) {
            const std::string today = nbr::addDays(days.back().date, i);
            SCOPED_TRACE(today);
            const auto n = ArchiveStore::normalsFor(days, md(today));
            EXPECT_NEAR(n.tmax, brutalNormal(days, md(today)).first, 1e-9);
            EXPECT_NEAR(n.tmin, brutalNormal(days, md(today), true).first, 1e-9);
            const auto a = ArchiveStore::computeInsights(days, today), b = brutalInsights(days, today);
            EXPECT_EQ(std::tie(a.valid, a.years, a.recordHigh, a.recordLow, a.recordHighYear, a.recordLowYear),
                      std::tie(b.valid, b.years, b.recordHigh, b.recordLow, b.recordHighYear, b.recordLowYear));
            EXPECT_EQ(std::tie(a.hasLastYear, a.lastYearHigh, a.lastYearLow, a.lastYearPrecip, a.streakDays, a.streakAbove),
                      std::tie(b.hasLastYear, b.lastYearHigh, b.lastYearLow, b.lastYearPrecip, b.streakDays, b.streakAbove));
            EXPECT_NEAR(a.monthRain, b.monthRain, 1e-9);
            EXPECT_NEAR(a.monthRainTypical, b.monthRainTypical, 1e-9);
            EXPECT_EQ(a.monthRainByYear.size(), b.monthRainByYear.size());
        }
        if (run != 0) {
            const auto streak = ArchiveStore::computeInsights(days, "2025-01-01");
            EXPECT_GE(streak.streakDays, 6);
            EXPECT_EQ(streak.streakAbove, run > 0);
        }
        // Leap days average only leap days; a 4-character text is no month-day.
        EXPECT_EQ(brutalNormal(days, "02-29").second, 3);
        EXPECT_NEAR(ArchiveStore::normalsFor(days, "02-29").tmax, brutalNormal(days, "02-29").first, 1e-9);
        EXPECT_FALSE(ArchiveStore::normalsFor(days, "2-29").valid);

        // A six-month outlook with short dates and one value past the dates.
        std::vector<std::string> dates;
        std::vector<double> values;
        double sum = 0;
        for (int i = 0; i < 183; ++i) {
            dates.push_back(i % 37 == 5 ? "2025-1-5" : nbr::addDays("2025-01-20", i));
            values.push_back(round1(5 + i * 0.1));
            if (i % 37 != 5) sum += values.back() - brutalNormal(days, md(dates.back())).first;
        }
        values.push_back(99);
        const auto anomaly = ArchiveStore::computeSeasonalAnomaly(days, dates, values);
        EXPECT_EQ(anomaly.n, 178);
        EXPECT_NEAR(anomaly.anomaly, sum / 178, 1e-9);
    }
}

TEST(ArchiveAnalytics, AnalogsMatchABruteForceSearch) {
    const Days days = syntheticArchive(11);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 1.5);
    for (int start : {30, 200, 355, 1000, 1703, 2500, 3300, 3640}) {
        for (size_t len : {2u, 3u}) {
            std::vector<double> recent;
            for (size_t j = 0; j < len; ++j) recent.push_back(round1(days[start + j].tmax + noise(rng)));
            const std::string date = nbr::addDays(days[start + len - 1].date, 365);
            const auto a = ArchiveStore::computeAnalogs(days, recent, date), b = brutalAnalogs(days, recent, date);
            SCOPED_TRACE(date);
            ASSERT_TRUE(a.valid);
            EXPECT_EQ(a.matches, b.matches);
            EXPECT_EQ(a.nextHighs.size(), static_cast<size_t>(b.matches));
            EXPECT_EQ(a.years, 10);
            EXPECT_NEAR(a.nextHighAvg, b.nextHighAvg, 1e-9);
            EXPECT_NEAR(a.nextLowAvg, b.nextLowAvg, 1e-9);
            EXPECT_NEAR(a.trendAvg, b.trendAvg, 1e-9);
            EXPECT_NEAR(a.rainPct, b.rainPct, 1e-9);
        }
    }
}

TEST(ArchiveAnalytics, ThresholdsOfDaysSamplesAndCandidates) {
    // Climate needs 300 days; an outlook 30 dates of month-days with 3 samples.
    EXPECT_FALSE(ArchiveStore::computeInsights(flatArchive("2023-01-01", 299), "2023-10-20").valid);
    EXPECT_TRUE(ArchiveStore::computeInsights(flatArchive("2023-01-01", 300), "2023-10-20").valid);
    Days days;
    for (int y = 2020; y <= 2022; ++y)
        for (const auto& d : flatArchive(std::to_string(y) + "-03-01", 100)) days.push_back(d);
    std::vector<std::string> dates;
    for (int i = 0; i < 29; ++i) dates.push_back(nbr::addDays("2024-03-01", i));
    EXPECT_FALSE(ArchiveStore::computeSeasonalAnomaly(days, dates, std::vector<double>(30, 12)).valid);
    dates.push_back("2024-03-30");
    EXPECT_EQ(ArchiveStore::computeSeasonalAnomaly(days, dates, std::vector<double>(30, 12)).anomaly, 2);
    days.push_back({"2023-08-01", 10, 0, 0});
    days.push_back({"2024-08-01", 10, 0, 0});
    dates.back() = "2024-08-01";  // 2 samples only
    EXPECT_FALSE(ArchiveStore::computeSeasonalAnomaly(days, dates, std::vector<double>(30, 12)).valid);

    // A streak needs each day more than 0.5 off its normal: with the other
    // two years at 10, a newest-but-three high of 10.75 (or 9.25) is exactly
    // 0.5 off and ends the run of three.
    for (const auto& [edge, run, above] : {std::tuple{10.75, 13.0, true}, {9.25, 7.0, false}}) {
        Days streak = flatArchive("2021-01-01", 3 * 365);
        const size_t n = streak.size();
        streak[n - 4].tmax = edge;
        for (size_t k = n - 3; k < n; ++k) streak[k].tmax = run;
        const auto insights = ArchiveStore::computeInsights(streak, streak.back().date);
        EXPECT_EQ(insights.streakDays, 3) << edge;
        EXPECT_EQ(insights.streakAbove, above) << edge;
    }

    // Month rain needs 3 other years with at least 25 days of the month.
    Days rain = flatArchive("2021-01-01", 3 * 365);
    for (int i = 0; i < 24; ++i) rain.insert(rain.begin() + i, Day{nbr::addDays("2020-12-01", i), 10, 0, 2});
    EXPECT_EQ(ArchiveStore::computeInsights(rain, "2023-12-20").monthRain, -1);
    rain.insert(rain.begin() + 24, Day{"2020-12-25", 10, 0, 2});
    EXPECT_EQ(ArchiveStore::computeInsights(rain, "2023-12-20").monthRainByYear, (std::vector<double>{50, 0, 0}));

    // Analogs: of the 43 stretches ending within 21 days of 1 July, `close`
    // score 0 and the rest far more; K is their count between 5 and 20.
    auto matches = [](int close) {
        Days d = flatArchive("2023-06-01", 61, 100);
        for (int i = 0; i < 10 + close; ++i) d[i].tmax = 0;
        return ArchiveStore::computeAnalogs(d, {0, 0}, "2024-07-01").matches;
    };
    EXPECT_EQ(matches(12), 12);
    EXPECT_EQ(matches(30), 20);
    EXPECT_EQ(matches(1), 5);
    EXPECT_FALSE(ArchiveStore::computeAnalogs(flatArchive("2023-06-01", 59), {0, 0}, "2024-07-01").valid);
    // Every other day has no consecutive stretch; each odd day joins one run
    // of three; four such runs are too few, five near the date enough.
    auto sparse = [](std::vector<int> odd) {
        Days d;
        for (int i = 0; i < 400; ++i)
            if (i % 2 == 0 || std::count(odd.begin(), odd.end(), i)) d.push_back({nbr::addDays("2023-01-01", i), 5, 0, 0});
        return ArchiveStore::computeAnalogs(d, {5, 5}, "2023-06-30");
    };
    EXPECT_FALSE(sparse({171, 181, 191, 201, 361}).valid);
    EXPECT_EQ(sparse({171, 175, 181, 191, 201}).matches, 5);
    // Day of year 360 and day of year 5 are 11 apart around the year's end.
    EXPECT_TRUE(ArchiveStore::computeAnalogs(flatArchive("2022-12-20", 70), {0, 0}, "2024-01-05").valid);
}
