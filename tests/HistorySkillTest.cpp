// Forecast scoring against planted truth: unit cases of the scoring windows
// and bins, and a long synthetic run through the recorder whose forecasts
// carry known biases, checked for the measured skill, the correction it
// produces, its exact undo and a reload from disk.
#include "history/HistoryStore.h"
#include "model/Dates.h"
#include "model/WeatherTypes.h"

#include "TestEnv.h"

#include <cmath>
#include <cstdio>

using nbr::ForecastSkill;
using nbr::HistoryStore;
using nbr::WeatherData;

namespace {

using Fcst = HistoryStore::FcstRecord;
using Truth = HistoryStore::TruthRecord;
using MFcst = HistoryStore::MFcstRecord;

std::string day(int i) { return nbr::addDays("2024-01-01", i); }

ForecastSkill score(const std::vector<Fcst>& f, const std::vector<Truth>& t, const std::vector<MFcst>& m = {},
                    const std::vector<HistoryStore::HFcstRecord>& hf = {},
                    const std::vector<HistoryStore::ObsRecord>& obs = {}) {
    return HistoryStore::computeSkill(f, t, m, hf, obs);
}

void expectSameSkill(const ForecastSkill& a, const ForecastSkill& b) {
    EXPECT_EQ(a.valid, b.valid);
    EXPECT_EQ(a.daysRecorded, b.daysRecorded);
    EXPECT_EQ(a.loggingSince, b.loggingSince);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(a.leads[i].n, b.leads[i].n) << i;
        EXPECT_EQ(a.leads[i].biasHigh, b.leads[i].biasHigh) << i;
        EXPECT_EQ(a.leads[i].biasLow, b.leads[i].biasLow) << i;
        EXPECT_EQ(a.leads[i].maeHigh, b.leads[i].maeHigh) << i;
        EXPECT_EQ(a.leads[i].maeLow, b.leads[i].maeLow) << i;
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(a.popBins[i].n, b.popBins[i].n);
        EXPECT_EQ(a.popBins[i].rainy, b.popBins[i].rainy);
    }
    ASSERT_EQ(a.models.size(), b.models.size());
    for (size_t i = 0; i < a.models.size(); ++i) {
        EXPECT_EQ(a.models[i].model, b.models[i].model);
        EXPECT_EQ(a.models[i].days, b.models[i].days);
        EXPECT_EQ(a.models[i].mae, b.models[i].mae);
        EXPECT_EQ(a.models[i].brierN, b.models[i].brierN);
        EXPECT_EQ(a.models[i].brier, b.models[i].brier);
    }
    for (int h = 0; h < 24; ++h) {
        EXPECT_EQ(a.hourBias[h].n, b.hourBias[h].n) << h;
        EXPECT_EQ(a.hourBias[h].bias, b.hourBias[h].bias) << h;
    }
    EXPECT_EQ(a.seeded, b.seeded);
    EXPECT_EQ(a.rainSamples, b.rainSamples);
    EXPECT_EQ(a.rainFactor, b.rainFactor);
}

}  // namespace

TEST(HistorySkill, LeadRowsUseTheNewest45PairsWithMedianAndMeanError) {
    std::vector<Fcst> f;
    std::vector<Truth> t;
    for (int i = 0; i < 50; ++i) {
        t.push_back({day(i), 10, 0, -1, false});
        // The first five pairs miss by 100 and must fall out of the window.
        const double miss = i < 5 ? 100 : (i % 2 ? 3.0 : 1.0);
        f.push_back({day(i - 2), day(i), 2, 10 + miss, 0 - miss, 0, -1, 0});
    }
    // Lead 1: four pairs {4,1,3,2}: an even count takes the mean of the middle two.
    for (int i = 0; i < 4; ++i) f.push_back({day(i - 1), day(i), 1, 10 + double((i * 3) % 4 + 1), 0, 0, -1, 0});
    f.push_back({day(60), day(61), 1, 99, 99, 0, -1, 0});  // never verified
    constexpr double kU = nbr::kUnknownTemperature;  // on either side: never scored
    f.push_back({day(7), day(10), 3, kU, 0, 0, -1, 0});
    EXPECT_EQ(score({{day(67), day(70), 3, 10, 0, 0, -1, 0}}, {{day(70), kU, kU, -1, false}}).leads[3].n, 0);
    const auto s = score(f, t);
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.daysRecorded, 50);
    EXPECT_EQ(s.loggingSince, day(0));
    EXPECT_EQ(s.leads[2].n, 45);
    EXPECT_EQ(s.leads[2].biasHigh, 3.0);  // 23 threes, 22 ones
    EXPECT_EQ(s.leads[2].biasLow, -3.0);
    EXPECT_DOUBLE_EQ(s.leads[2].maeHigh, (23 * 3.0 + 22 * 1.0) / 45);
    EXPECT_EQ(s.leads[1].n, 4);
    EXPECT_EQ(s.leads[1].biasHigh, 2.5);
    EXPECT_EQ(s.leads[0].n, 0);
    EXPECT_EQ(s.leads[3].n, 0);

    // Three pairs {3,1,2}: the middle value.
    const auto odd = score({{day(0), day(1), 1, 13, 0, 0, -1, 0}, {day(1), day(2), 1, 11, 0, 0, -1, 0},
                            {day(2), day(3), 1, 12, 0, 0, -1, 0}},
                           {{day(1), 10, 0, -1, false}, {day(2), 10, 0, -1, false}, {day(3), 10, 0, -1, false}});
    EXPECT_EQ(odd.leads[1].biasHigh, 2.0);
    const auto none = score({}, {});
    EXPECT_FALSE(none.valid);
    EXPECT_EQ(none.rainFactor, 1.0);
    EXPECT_EQ(none.loggingSince, "");
}

TEST(HistorySkill, RainChanceBinsAndRainAmountFactor) {
    std::vector<Truth> t = {{day(1), 0, 0, 5, false}, {day(2), 0, 0, 0.5, false}, {day(3), 0, 0, 1.0, false},
                            {day(4), 0, 0, 2, false}, {day(5), 0, 0, -1, false}, {day(6), 0, 0, NAN, false}};
    std::vector<Fcst> f = {{day(0), day(1), 1, 0, 0, 19.9, -1, 0}, {day(1), day(2), 1, 0, 0, 20, -1, 0},
                           {day(2), day(3), 1, 0, 0, 99, -1, 0},   {day(3), day(4), 1, 0, 0, 100, -1, 0},
                           {day(4), day(5), 1, 0, 0, 50, -1, 0},   {day(5), day(6), 1, 0, 0, 50, -1, 0},
                           {day(0), day(2), 2, 0, 0, 50, -1, 0},   {day(0), day(3), 1, 0, 0, NAN, -1, 0},
                           {day(1), day(4), 1, 0, 0, -1, -1, 0}};  // no chance forecast: no 0 %
    auto s = score(f, t);
    EXPECT_EQ(s.popBins[0].n, 1);
    EXPECT_EQ(s.popBins[0].rainy, 1);
    EXPECT_EQ(s.popBins[1].n, 1);
    EXPECT_EQ(s.popBins[1].rainy, 0);  // 0.5 mm is not a rainy day
    EXPECT_EQ(s.popBins[2].n, 0);      // unknown or non-finite amounts count nowhere
    EXPECT_EQ(s.popBins[4].n, 2);
    EXPECT_EQ(s.popBins[4].rainy, 2);

    // Ten day-ahead pairs, 10 mm forecast against 20 mm observed.
    auto rainRun = [](double forecastEach, double observedEach, int count) {
        std::vector<Fcst> f;
        std::vector<Truth> t;
        for (int i = 0; i < count; ++i) {
            t.push_back({day(i), 0, 0, observedEach, false});
            f.push_back({day(i - 1), day(i), 1, 0, 0, 50, forecastEach, 0});
        }
        return score(f, t);
    };
    s = rainRun(1.0, 2.0, 10);
    EXPECT_EQ(s.rainSamples, 10);
    EXPECT_NEAR(s.rainFactor, 1 + 10.0 / 18, 1e-12);
    EXPECT_EQ(rainRun(1.0, 50.0, 60).rainFactor, 2.5);
    EXPECT_EQ(rainRun(1.0, 50.0, 60).rainSamples, 45);
    EXPECT_EQ(rainRun(10.0, 0.0, 20).rainFactor, 0.4);
    EXPECT_EQ(rainRun(0.4, 5.0, 20).rainSamples, 0);  // under 0.5 mm is no pair
    EXPECT_EQ(rainRun(0.4, 5.0, 20).rainFactor, 1.0);
}

TEST(HistorySkill, SourceRowsNeedEightDaysAndSortByError) {
    std::vector<Truth> t;
    std::vector<MFcst> m;
    for (int i = 0; i < 120; ++i) {
        t.push_back({day(i), 10, 0, i % 2 ? 2.0 : 0.0, false});
        // "a": misses 9 for the first 30 days, then 1: its last 90 errors are all 1.
        m.push_back({day(i - 1), day(i), "a", 10 + (i < 30 ? 9.0 : 1.0), -1, i % 2 ? 100.0 : 0.0});
        if (i < 8) m.push_back({day(i - 1), day(i), "b", 10.5, 0.5, -1});
        if (i < 7) m.push_back({day(i - 1), day(i), "c", 10, 0, 50});
        if (i < 20) m.push_back({day(i - 1), day(i), "d", 10.25, NAN, 50});
    }
    const auto s = score({}, t, m);
    ASSERT_EQ(s.models.size(), 2u);
    EXPECT_EQ(s.models[0].model, "b");
    EXPECT_EQ(s.models[0].days, 8);
    EXPECT_EQ(s.models[0].mae, 0.5);
    EXPECT_EQ(s.models[0].brierN, 0);
    EXPECT_EQ(s.models[0].brier, -1);
    EXPECT_EQ(s.models[1].model, "a");
    EXPECT_EQ(s.models[1].days, 45);
    EXPECT_EQ(s.models[1].mae, 1.0);
    EXPECT_EQ(s.models[1].brierN, 45);
    EXPECT_EQ(s.models[1].brier, 0.0);  // always right about rain
    EXPECT_FALSE(s.valid);  // source rows alone do not make a block valid
}

TEST(HistorySkill, HourRowsMatchObservationsByDateAndHour) {
    std::vector<HistoryStore::HFcstRecord> hf = {{"2024-05-01", 7, 12}, {"2024-05-01", 8, 12}, {"2024-05-02", 7, 15},
                                                 {"2024-05-01", 9, nbr::kUnknownTemperature}};
    std::vector<HistoryStore::ObsRecord> obs = {{"2024-05-01T07:30", 10, 0, 0, 0, 0, 0},
                                                {"2024-05-01T09:00", 10, 0, 0, 0, 0, 0},
                                                {"2024-05-01T8", 0, 0, 0, 0, 0, 0},
                                                {"2024-05-02T07:00", 20, 0, 0, 0, 0, 0},
                                                {"2024-05-02T07:45", 14, 0, 0, 0, 0, 0}};
    auto s = score({}, {}, {}, hf, obs);
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.hourBias[7].n, 2);
    EXPECT_EQ(s.hourBias[7].bias, 1.5);  // {2, 1}: the later observation of an hour replaces the earlier
    EXPECT_EQ(s.hourBias[8].n, 0);
    EXPECT_EQ(s.hourBias[9].n, 0);  // no forecast made
    s = score({}, {}, {}, hf, {});
    EXPECT_FALSE(s.valid);
    EXPECT_EQ(s.hourBias[7].n, 0);
}

TEST(HistorySkill, NeighbourSkillLendsOnlyCappedLeadRows) {
    nbr::test::TempDir tmp;
    HistoryStore store;
    store.dir = tmp.path();
    EXPECT_EQ(store.neighborSkill("").rainFactor, 1.0);
    EXPECT_FALSE(store.neighborSkill("").seeded);
    auto& log = store.logFor("Near@1.0000,1.0000");
    for (int i = 0; i < 30; ++i) {
        log.truth.push_back({day(i), 10, 0, 3, false});
        log.fcst.push_back({day(i - 1), day(i), 1, 12, 0, 30, 1.5, 0});
        log.mfcst.push_back({day(i - 1), day(i), "nws", 11, 0, 40});
    }
    log.hf.push_back({day(1), 7, 3});
    log.obs.push_back({day(1) + "T07:00", 1, 0, 0, 0, 0, 0});
    const auto s = store.neighborSkill("Near@1.0000,1.0000");
    EXPECT_TRUE(s.valid);
    EXPECT_TRUE(s.seeded);
    EXPECT_EQ(s.leads[1].n, 12);
    EXPECT_EQ(s.leads[1].biasHigh, 2.0);
    EXPECT_TRUE(s.models.empty());
    EXPECT_EQ(s.popBins[1].n, 0);
    EXPECT_EQ(s.hourBias[7].n, 0);
    EXPECT_EQ(s.daysRecorded, 30);
    EXPECT_EQ(s.rainSamples, 30);
    EXPECT_DOUBLE_EQ(s.rainFactor, 1 + (2.0 - 1) * 30 / 38);
}

TEST(HistorySkill, HistoryRowsKeepTheNewest60VerifiedDays) {
    HistoryStore::Log log;
    for (int i = 0; i < 75; ++i) log.truth.push_back({day(i), double(i), -double(i), -1, false});
    log.truth.push_back({day(74), 100, 50, -1, false});  // a later record of a date overwrites
    log.fcst.push_back({day(73), day(74), 1, 7, 6, 0, -1, 0});
    log.fcst.push_back({day(72), day(74), 2, 9, 9, 0, -1, 0});   // not day-ahead
    log.fcst.push_back({day(80), day(81), 1, 9, 9, 0, -1, 0});   // no truth: no row
    log.truth.push_back({day(90), nbr::kUnknownTemperature, 1, -1, false});  // not verified: no row
    log.fcst.push_back({day(72), day(73), 1, nbr::kUnknownTemperature, 0, 0, -1, 0});  // no forecast shown
    WeatherData d;
    d.history.resize(3);
    HistoryStore::buildHistory(d, log);
    ASSERT_EQ(d.history.size(), 60u);
    EXPECT_EQ(d.history.front().date, day(15));
    EXPECT_EQ(d.history.back().date, day(74));
    EXPECT_EQ(d.history.back().observedHigh, 100);
    EXPECT_TRUE(d.history.back().hasForecast);
    EXPECT_EQ(d.history.back().forecastHigh, 7);
    EXPECT_FALSE(d.history.end()[-2].hasForecast);
    EXPECT_FALSE(d.history.front().hasForecast);
    EXPECT_FALSE(d.history.front().hasLastYear);
}

// ---- A long run through the recorder with planted biases -------------------

namespace {

// Planted truth. All values are multiples of 1/4, so differences are exact.
constexpr int kDays = 80;
const std::string kStart = "2024-03-01";
const double kBiasHigh[7] = {0, 2.0, 4.0, 0.25, -1.0, -1.5, 1.0};
const double kBiasLow[7] = {0, -1.5, -1.0, 0.0, 1.0, 2.5, -5.0};

double trueHigh(int d) { return 10 + 0.25 * (d % 17); }
double trueLow(int d) { return trueHigh(d) - 8 - (d % 4); }
bool wet(int d) { return ((d % 5) + 5) % 5 < 3; }
double trueRain(int d) { return wet(d) ? 1.0 + ((d % 3) + 3) % 3 : 0.0; }
double noise(int d) { return double(((d % 3) + 3) % 3) - 1.0; }  // -1, 0, +1 in turn
double dayAheadPop(int d) { return d % 2 ? 70.0 : 30.0; }
double trueHourTemp(int d, int h) { return trueLow(d) + 0.25 * h; }
double hourBias(int h) { return 0.25 * ((h % 8) - 3); }

std::string dateOf(int d) { return nbr::addDays(kStart, d); }

// What the forecast service shows at hour `hour` of day `d`.
WeatherData serviceRecord(int d, int hour) {
    WeatherData w;
    w.location.name = "Planted";
    w.location.latitude = 10;
    w.location.longitude = 20;
    char t[32];
    std::snprintf(t, sizeof t, "%sT%02d:00", dateOf(d).c_str(), hour);
    w.time = t;
    w.temperature = trueHourTemp(d, hour);
    w.hasYesterday = true;
    w.yesterdayHigh = trueHigh(d - 1);
    w.yesterdayLow = trueLow(d - 1);
    w.yesterdayPrecip = trueRain(d - 1);
    w.daily.resize(7);
    for (int k = 0; k < 7; ++k) {
        auto& e = w.daily[k];
        const int target = d + k;
        e.date = dateOf(target);
        e.temperatureMax = trueHigh(target) + kBiasHigh[k] + (k ? noise(target) : 0);
        e.temperatureMin = trueLow(target) + kBiasLow[k] - (k ? noise(target) : 0);
        e.precipitationProbabilityMax = k == 1 ? dayAheadPop(target) : 50;
        e.precipitationSum = k == 1 ? trueRain(target) / 2 : trueRain(target);  // half the rain a day ahead
        e.rainSum = e.precipitationSum;
        e.hasModelSpread = k == 2;
        e.highMin = e.temperatureMax - 1;
        e.highMax = e.temperatureMax + 1;
        e.lowMin = e.temperatureMin - 1;
        e.lowMax = e.temperatureMin + 1;
    }
    for (int i = 0; i < 24; ++i) {
        const int h = (hour + i) % 24, dd = d + (hour + i) / 24;
        nbr::HourlyForecast e;
        std::snprintf(t, sizeof t, "%sT%02d:00", dateOf(dd).c_str(), h);
        e.time = t;
        e.temperature = trueHourTemp(dd, h) + hourBias(h);
        e.precipitationProbability = 40;
        w.hourly.push_back(e);
    }
    return w;
}

void expectSameForecast(const WeatherData& a, const WeatherData& b) {
    ASSERT_EQ(a.daily.size(), b.daily.size());
    for (size_t k = 0; k < a.daily.size(); ++k) {
        const auto &x = a.daily[k], &y = b.daily[k];
        EXPECT_NEAR(x.temperatureMax, y.temperatureMax, 1e-9) << k;
        EXPECT_NEAR(x.temperatureMin, y.temperatureMin, 1e-9) << k;
        EXPECT_NEAR(x.highMin, y.highMin, 1e-9) << k;
        EXPECT_NEAR(x.highMax, y.highMax, 1e-9) << k;
        EXPECT_NEAR(x.lowMin, y.lowMin, 1e-9) << k;
        EXPECT_NEAR(x.lowMax, y.lowMax, 1e-9) << k;
        EXPECT_NEAR(x.precipitationProbabilityMax, y.precipitationProbabilityMax, 1e-9) << k;
        EXPECT_NEAR(x.precipitationSum, y.precipitationSum, 1e-9) << k;
        EXPECT_NEAR(x.rainSum, y.rainSum, 1e-9) << k;
        EXPECT_EQ(x.corrected, y.corrected) << k;
        EXPECT_EQ(x.highCorrection, y.highCorrection) << k;
        EXPECT_EQ(x.popCalibrated, y.popCalibrated) << k;
        EXPECT_EQ(x.amountScaled, y.amountScaled) << k;
        EXPECT_EQ(x.amountFactor, y.amountFactor) << k;
    }
    ASSERT_EQ(a.hourly.size(), b.hourly.size());
    for (size_t i = 0; i < a.hourly.size(); ++i) {
        EXPECT_NEAR(a.hourly[i].temperature, b.hourly[i].temperature, 1e-9) << i;
        EXPECT_NEAR(a.hourly[i].precipitationProbability, b.hourly[i].precipitationProbability, 1e-9) << i;
        EXPECT_EQ(a.hourly[i].tempCorrection, b.hourly[i].tempCorrection) << i;
        EXPECT_EQ(a.hourly[i].rawPrecipitationProbability, b.hourly[i].rawPrecipitationProbability) << i;
    }
}

}  // namespace

TEST(HistorySkillRun, PlantedBiasesComeOutMeasuredAndCorrected) {
    nbr::test::TempDir tmp;
    HistoryStore store;
    store.dir = tmp.path() + "/history";
    WeatherData w;
    for (int d = 0; d < kDays; ++d)
        for (int h = 0; h < 24; ++h) {
            w = serviceRecord(d, h);
            store.record(w);
        }
    const ForecastSkill& s = w.skill;

    // Measured skill. Truths are logged for the day before each refresh day.
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.daysRecorded, kDays);
    EXPECT_EQ(s.loggingSince, dateOf(-1));
    for (int k = 1; k <= 6; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(s.leads[k].n, 45);
        EXPECT_EQ(s.leads[k].biasHigh, kBiasHigh[k]);
        EXPECT_EQ(s.leads[k].biasLow, kBiasLow[k]);
        // The noise is symmetric, so a miss of at least 1 averages to the bias.
        auto mae = [](double b) { return (std::fabs(b - 1) + std::fabs(b) + std::fabs(b + 1)) / 3; };
        EXPECT_NEAR(s.leads[k].maeHigh, mae(kBiasHigh[k]), 1e-12);
        EXPECT_NEAR(s.leads[k].maeLow, mae(kBiasLow[k]), 1e-12);
    }
    // Day-ahead forecasts were verified for dates 1 to kDays - 2.
    nbr::PopBin bins[5] = {};
    int rainyDates = 0;
    for (int d = 1; d <= kDays - 2; ++d) {
        auto& bin = bins[int(dayAheadPop(d) / 20)];
        ++bin.n;
        bin.rainy += wet(d);
        rainyDates += wet(d);
    }
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(s.popBins[b].n, bins[b].n) << b;
        EXPECT_EQ(s.popBins[b].rainy, bins[b].rainy) << b;
    }
    ASSERT_GE(rainyDates, 45);
    EXPECT_EQ(s.rainSamples, 45);
    EXPECT_DOUBLE_EQ(s.rainFactor, 1 + 1.0 * 45 / 53);  // observed twice the forecast
    for (int h = 0; h < 24; ++h) {
        EXPECT_EQ(s.hourBias[h].n, 45) << h;
        EXPECT_EQ(s.hourBias[h].bias, hourBias(h)) << h;
    }
    EXPECT_TRUE(s.models.empty());

    // The correction of the last refresh (day kDays - 1, 23:00).
    const WeatherData raw = serviceRecord(kDays - 1, 23);
    const double w45 = 45.0 / 51;
    auto leadShift = [&](double bias) { return std::fabs(bias) < 0.3 ? 0.0 : -std::clamp(bias * w45, -3.0, 3.0); };
    for (int k = 1; k <= 6; ++k) {
        SCOPED_TRACE(k);
        const double cH = leadShift(kBiasHigh[k]), cL = leadShift(kBiasLow[k]);
        EXPECT_EQ(w.daily[k].corrected, k != 3);
        EXPECT_NEAR(w.daily[k].temperatureMax, raw.daily[k].temperatureMax + cH, 1e-9);
        EXPECT_NEAR(w.daily[k].temperatureMin, raw.daily[k].temperatureMin + cL, 1e-9);
        EXPECT_NEAR(w.daily[k].highCorrection, cH, 1e-12);
    }
    EXPECT_NEAR(w.daily[2].highCorrection, -3.0, 1e-12);  // limited
    EXPECT_NEAR(w.daily[6].lowCorrection, 3.0, 1e-12);
    EXPECT_NEAR(w.daily[2].highMax, raw.daily[2].highMax - 3.0, 1e-9);  // the model spread moves along
    EXPECT_FALSE(w.daily[0].corrected);

    // Hours: 23:00 today, then hours 0 to 22 of tomorrow, which follow day 1.
    const double day1Shift = (leadShift(kBiasHigh[1]) + leadShift(kBiasLow[1])) / 2;
    for (size_t i = 0; i < w.hourly.size(); ++i) {
        const int h = int((23 + i) % 24);
        const double hb = std::fabs(hourBias(h)) < 0.3 ? 0.0 : w45 * hourBias(h);
        const double expected = (i ? day1Shift : 0.0) - hb;
        EXPECT_NEAR(w.hourly[i].temperature, raw.hourly[i].temperature + expected, 1e-9) << i;
        EXPECT_NEAR(w.hourly[i].tempCorrection, expected, 1e-12) << i;
    }

    // Tomorrow's rain chance against its bin's record.
    const double p = dayAheadPop(kDays);
    const nbr::PopBin& bin = bins[int(p / 20)];
    const double k = bin.n / (bin.n + 10.0);
    const double cal = (bin.rainy * 100.0 / bin.n) * k + (1 - k) * p;
    ASSERT_GE(std::fabs(cal - p), 3.0);
    EXPECT_TRUE(w.daily[1].popCalibrated);
    EXPECT_EQ(w.daily[1].rawPrecipitationProbability, p);
    EXPECT_NEAR(w.daily[1].precipitationProbabilityMax, cal, 1e-9);
    EXPECT_NEAR(w.hourly[5].precipitationProbability, 40 * cal / p, 1e-9);
    EXPECT_EQ(w.hourly[0].rawPrecipitationProbability, -1);  // today's hour is not rescaled

    // Rain amounts of every wet day after today.
    for (int k = 1; k < 7; ++k) {
        EXPECT_EQ(w.daily[k].amountScaled, raw.daily[k].precipitationSum > 0) << k;
        EXPECT_NEAR(w.daily[k].precipitationSum, raw.daily[k].precipitationSum * s.rainFactor, 1e-9) << k;
    }

    // Removing the correction gives back the service's values exactly.
    WeatherData undone = w;
    HistoryStore::removeCorrection(undone);
    expectSameForecast(undone, raw);

    // Rows of the chart: the newest 60 verified days, each with its day-ahead forecast.
    ASSERT_EQ(w.history.size(), 60u);
    EXPECT_EQ(w.history.back().date, dateOf(kDays - 2));
    EXPECT_EQ(w.history.back().forecastHigh - w.history.back().observedHigh, kBiasHigh[1] + noise(kDays - 2));

    // A later start reads the same log back and scores it the same.
    HistoryStore reloaded;
    reloaded.dir = store.dir;
    const auto& log = reloaded.logFor(w.location.cacheKey());
    expectSameSkill(HistoryStore::computeSkill(log.fcst, log.truth, log.mfcst, log.hf, log.obs), s);
    EXPECT_EQ(log.obs.size(), size_t(kDays * 24));
    EXPECT_EQ(log.lastObsTime, w.time);
}

TEST(HistorySkillRun, RecordingLogsTheUncorrectedForecast) {
    nbr::test::TempDir tmp;
    HistoryStore store;
    store.dir = tmp.path();
    WeatherData w;
    for (int d = 0; d < 20; ++d) {
        w = serviceRecord(d, 6);
        store.record(w);
    }
    ASSERT_TRUE(w.daily[1].corrected);
    // A refresh that carries the shown, corrected record logs its raw values.
    WeatherData again = w;
    again.time = dateOf(20) + "T06:00";
    for (auto& e : again.daily) e.date = nbr::addDays(e.date, 1);
    store.record(again);
    const auto& fcst = store.logs.at(w.location.cacheKey()).fcst;
    ASSERT_EQ(fcst.back().made, dateOf(20));
    ASSERT_EQ(fcst.back().lead, 6);
    EXPECT_NEAR(fcst.back().tmax, serviceRecord(19, 6).daily[6].temperatureMax, 1e-9);
    EXPECT_NEAR(fcst.back().tmin, serviceRecord(19, 6).daily[6].temperatureMin, 1e-9);
    EXPECT_NEAR(fcst.back().precip, serviceRecord(19, 6).daily[6].precipitationSum, 1e-9);
}
