// Bias correction of a shown forecast by a skill block, and its exact undo.
#include "history/HistoryStore.h"
#include "model/Dates.h"
#include "model/WeatherTypes.h"

#include <gtest/gtest.h>

#include <cmath>

using nbr::ForecastSkill;
using nbr::HistoryStore;
using nbr::WeatherData;

namespace {

// Today 2024-05-01 with six days ahead and 48 hours from midnight.
WeatherData forecast() {
    WeatherData w;
    w.daily.resize(7);
    for (int k = 0; k < 7; ++k) {
        auto& d = w.daily[k];
        d.date = nbr::addDays("2024-05-01", k);
        d.temperatureMax = 20 + k;
        d.temperatureMin = 10 + k;
        d.precipitationProbabilityMax = 20;
        d.precipitationSum = (k % 2 || k == 0) ? 4.0 : 0.0;  // day 2, 4 and 6 dry
        d.rainSum = d.precipitationSum / 2;
        d.hasModelSpread = true;
        d.highMin = d.temperatureMax - 2;
        d.highMax = d.temperatureMax + 2;
        d.lowMin = d.temperatureMin - 2;
        d.lowMax = d.temperatureMin + 2;
    }
    for (int i = 0; i < 48; ++i) {
        nbr::HourlyForecast h;
        char t[32];
        std::snprintf(t, sizeof t, "%sT%02d:00", nbr::addDays("2024-05-01", i / 24).c_str(), i % 24);
        h.time = t;
        h.temperature = 15;
        h.precipitationProbability = 40;
        w.hourly.push_back(h);
    }
    return w;
}

ForecastSkill validSkill() {
    ForecastSkill s;
    s.valid = true;
    return s;
}

void expectRaw(const WeatherData& w) {
    const WeatherData raw = forecast();
    for (size_t k = 0; k < w.daily.size(); ++k) {
        const auto &a = w.daily[k], &b = raw.daily[k];
        EXPECT_NEAR(a.temperatureMax, b.temperatureMax, 1e-9);
        EXPECT_NEAR(a.temperatureMin, b.temperatureMin, 1e-9);
        EXPECT_NEAR(a.highMin, b.highMin, 1e-9);
        EXPECT_NEAR(a.lowMax, b.lowMax, 1e-9);
        EXPECT_NEAR(a.precipitationProbabilityMax, b.precipitationProbabilityMax, 1e-9);
        EXPECT_NEAR(a.precipitationSum, b.precipitationSum, 1e-9);
        EXPECT_NEAR(a.rainSum, b.rainSum, 1e-9);
        EXPECT_FALSE(a.corrected || a.popCalibrated || a.amountScaled);
        EXPECT_EQ(a.highCorrection, 0);
        EXPECT_EQ(a.amountFactor, 1.0);
    }
    for (size_t i = 0; i < w.hourly.size(); ++i) {
        EXPECT_NEAR(w.hourly[i].temperature, raw.hourly[i].temperature, 1e-9);
        EXPECT_EQ(w.hourly[i].precipitationProbability, raw.hourly[i].precipitationProbability);
        EXPECT_EQ(w.hourly[i].tempCorrection, 0);
        EXPECT_EQ(w.hourly[i].rawPrecipitationProbability, -1);
    }
}

}  // namespace

TEST(HistoryCorrection, LeadRowsShiftTheirDaysAndTheirHours) {
    ForecastSkill s = validSkill();
    s.leads[1] = {12, 1.2, 0.2, 1, 1};
    s.leads[2] = {40, 10, -10, 1, 1};
    s.leads[3] = {9, 5, 5, 1, 1};
    WeatherData w = forecast();
    HistoryStore::applyCorrection(w, s);
    EXPECT_TRUE(w.daily[1].corrected);
    EXPECT_NEAR(w.daily[1].highCorrection, -0.8, 1e-12);
    EXPECT_EQ(w.daily[1].lowCorrection, 0);
    EXPECT_NEAR(w.daily[1].temperatureMax, 21 - 0.8, 1e-12);
    EXPECT_NEAR(w.daily[1].highMax, 23 - 0.8, 1e-12);
    EXPECT_EQ(w.daily[2].highCorrection, -3.0);
    EXPECT_EQ(w.daily[2].lowCorrection, 3.0);
    EXPECT_FALSE(w.daily[3].corrected);
    EXPECT_FALSE(w.daily[0].corrected);
    EXPECT_EQ(w.hourly[5].tempCorrection, 0);                 // today
    EXPECT_NEAR(w.hourly[30].tempCorrection, -0.4, 1e-12);    // tomorrow follows day 1
    EXPECT_NEAR(w.hourly[30].temperature, 14.6, 1e-12);

    // A temperature the service did not give is never shifted by its day's row or its hour's.
    ForecastSkill hours = s;
    hours.hourBias[6] = {12, 1.8};
    WeatherData gaps = forecast();
    gaps.daily[2].temperatureMax = gaps.hourly[30].temperature = nbr::kUnknownTemperature;
    gaps.daily[1].temperatureMin = nbr::kUnknownTemperature;
    HistoryStore::applyCorrection(gaps, hours);
    EXPECT_EQ(gaps.daily[2].temperatureMax, nbr::kUnknownTemperature);
    EXPECT_EQ(gaps.hourly[30].temperature, nbr::kUnknownTemperature);
    EXPECT_EQ(gaps.daily[2].lowCorrection, 3.0);
    // A day with one known temperature moves its hours by that one's correction alone.
    EXPECT_NEAR(gaps.hourly[31].tempCorrection, -0.8, 1e-12);

    // Applying twice is applying once; a block that is not valid leaves the forecast raw.
    WeatherData twice = w;
    HistoryStore::applyCorrection(twice, s);
    EXPECT_EQ(twice.daily[1].temperatureMax, w.daily[1].temperatureMax);
    EXPECT_EQ(twice.hourly[30].temperature, w.hourly[30].temperature);
    s.valid = false;
    HistoryStore::applyCorrection(twice, s);
    expectRaw(twice);
}

TEST(HistoryCorrection, HourOfDayBiasAppliesToEveryHourEvenWithoutDays) {
    ForecastSkill s = validSkill();
    s.leads[1] = {40, 2, 2, 1, 1};
    s.hourBias[7] = {12, 1.8, };
    s.hourBias[8] = {9, 5};    // too few samples
    s.hourBias[9] = {40, 0.2}; // too small
    WeatherData w = forecast();
    w.daily.resize(1);
    HistoryStore::applyCorrection(w, s);
    EXPECT_FALSE(w.daily[0].corrected);
    EXPECT_NEAR(w.hourly[7].tempCorrection, -1.2, 1e-12);
    EXPECT_NEAR(w.hourly[31].temperature, 13.8, 1e-12);
    EXPECT_EQ(w.hourly[8].tempCorrection, 0);
    EXPECT_EQ(w.hourly[9].tempCorrection, 0);
}

TEST(HistoryCorrection, TomorrowBlendsWithSourcesByTheirAccuracy) {
    ForecastSkill s = validSkill();
    s.leads[1] = {10, 0, 0, 1, 1};  // own error 1, no lead shift
    auto blended = [&](std::vector<nbr::ModelSkillEntry> rows, double high, double low, bool metValid = true) {
        s.models = rows;
        WeatherData w = forecast();
        w.modelSeries.push_back({"icon", {0, high}, {0, low}, {}});
        w.metNorway = {metValid, "metnorway", "2024-05-02", 21, 11, -1};
        w.nws = {true, "nws", "2024-05-03", 99, 99, -1};  // not tomorrow: supplies nothing
        HistoryStore::applyCorrection(w, s);
        return w.daily[1];
    };
    // One source row: no blend.
    EXPECT_FALSE(blended({{"icon", 10, 1, 0, -1}}, 30, 30).corrected);
    // Within 0.2 of the forecast: nothing.
    EXPECT_FALSE(blended({{"icon", 10, 1, 0, -1}, {"metnorway", 10, 1, 0, -1}}, 21.2, 11.2).corrected);
    // Far off: limited to 2.
    auto d = blended({{"icon", 10, 1, 0, -1}, {"nws", 10, 1, 0, -1}}, 36, 11);
    EXPECT_EQ(d.highCorrection, 2.0);
    EXPECT_EQ(d.lowCorrection, 0.0);
    EXPECT_EQ(d.highMax, 25.0);
    // dH 0.25 with dL 0.1 applies both.
    d = blended({{"icon", 10, 1, 0, -1}, {"nws", 10, 1, 0, -1}}, 21.5, 11.2);
    EXPECT_NEAR(d.highCorrection, 0.25, 1e-12);
    EXPECT_NEAR(d.lowCorrection, 0.1, 1e-12);
    // A missing low leaves that series out of the low average only.
    d = blended({{"icon", 10, 1, 0, -1}, {"metnorway", 10, 1, 0, -1}}, 22.5, NAN);
    EXPECT_NEAR(d.highCorrection, (21 + 22.5 + 21) / 3 - 21, 1e-12);
    EXPECT_EQ(d.lowCorrection, 0.0);
    d = blended({{"icon", 10, 1, 0, -1}, {"metnorway", 10, 1, 0, -1}}, nbr::kUnknownTemperature, 11);  // not counted
    EXPECT_EQ(d.highCorrection, 0.0);
    // Errors weigh by their inverse square, never below 0.3.
    d = blended({{"icon", 10, 0.1, 0, -1}, {"metnorway", 10, 2, 0, -1}}, 22, 11, false);
    const double wIcon = 1 / (0.3 * 0.3);
    EXPECT_NEAR(d.highCorrection, (21 + 22 * wIcon) / (1 + wIcon) - 21, 1e-12);
}

TEST(HistoryCorrection, RainChanceIsCalibratedByItsBin) {
    ForecastSkill s = validSkill();
    s.popBins[1] = {12, 6};
    WeatherData w = forecast();
    HistoryStore::applyCorrection(w, s);
    const double cal = 50.0 * 12 / 22 + 20.0 * 10 / 22;
    EXPECT_TRUE(w.daily[1].popCalibrated);
    EXPECT_NEAR(w.daily[1].precipitationProbabilityMax, cal, 1e-12);
    EXPECT_NEAR(w.daily[1].precipitationProbabilityMax, 36.36, 0.01);
    EXPECT_EQ(w.daily[1].rawPrecipitationProbability, 20);
    EXPECT_NEAR(w.hourly[30].precipitationProbability, 72.73, 0.01);
    EXPECT_EQ(w.hourly[30].rawPrecipitationProbability, 40);
    EXPECT_EQ(w.hourly[3].rawPrecipitationProbability, -1);
    EXPECT_FALSE(w.daily[2].popCalibrated);
    w = forecast(), w.hourly[30].precipitationProbability = nbr::kUnknownAmount;  // stays unknown
    HistoryStore::applyCorrection(w, s);
    EXPECT_EQ(w.hourly[30].precipitationProbability + w.hourly[30].rawPrecipitationProbability, -2);

    // A chance of 0 is calibrated, its hours are not rescaled; a missing
    // chance (-1) stays missing.
    s.popBins[0] = {40, 20};
    for (const double own : {0.0, -1.0}) {
        w = forecast();
        w.daily[1].precipitationProbabilityMax = own;
        HistoryStore::applyCorrection(w, s);
        EXPECT_EQ(w.daily[1].popCalibrated, own == 0) << own;
        EXPECT_EQ(w.hourly[30].rawPrecipitationProbability, -1);
    }

    s.popBins[1] = {11, 11};  // too few samples
    w = forecast();
    HistoryStore::applyCorrection(w, s);
    EXPECT_FALSE(w.daily[1].popCalibrated);
    EXPECT_EQ(w.hourly[30].rawPrecipitationProbability, -1);

    // A calibration under 3 points leaves the day as it is, but its hours
    // still follow: 25 x 12/22 + 20 x 10/22 = 22.73, 40 x 22.73 / 20 = 45.45.
    s.popBins[1] = {12, 3};
    w = forecast();
    HistoryStore::applyCorrection(w, s);
    EXPECT_FALSE(w.daily[1].popCalibrated);
    EXPECT_EQ(w.daily[1].precipitationProbabilityMax, 20);
    EXPECT_NEAR(w.hourly[30].precipitationProbability, 40 * (25.0 * 12 / 22 + 20.0 * 10 / 22) / 20, 1e-12);
    EXPECT_NEAR(w.hourly[30].precipitationProbability, 45.45, 0.01);
    EXPECT_EQ(w.hourly[30].rawPrecipitationProbability, 40);
    EXPECT_EQ(w.hourly[3].rawPrecipitationProbability, -1);
    HistoryStore::removeCorrection(w);
    EXPECT_EQ(w.hourly[30].precipitationProbability, 40);
    EXPECT_EQ(w.hourly[30].rawPrecipitationProbability, -1);
}

TEST(HistoryCorrection, RainAmountsScaleOnlyWithEnoughSamplesAndAClearFactor) {
    ForecastSkill s = validSkill();
    s.rainSamples = 10;
    s.rainFactor = 1.5;
    WeatherData w = forecast();
    HistoryStore::applyCorrection(w, s);
    EXPECT_FALSE(w.daily[0].amountScaled);
    EXPECT_TRUE(w.daily[1].amountScaled && w.daily[5].amountScaled);
    EXPECT_FALSE(w.daily[2].amountScaled);  // dry
    EXPECT_EQ(w.daily[1].precipitationSum, 6.0);
    EXPECT_EQ(w.daily[1].rainSum, 3.0);
    EXPECT_EQ(w.daily[1].amountFactor, 1.5);
    HistoryStore::removeCorrection(w);
    expectRaw(w);
    w.daily[3].rainSum = nbr::kUnknownAmount;  // an unknown part of a known sum stays unknown
    HistoryStore::applyCorrection(w, s);
    EXPECT_EQ(w.daily[3].precipitationSum + w.daily[3].rainSum, 6.0 + nbr::kUnknownAmount);

    for (auto [samples, factor] : {std::pair{9, 1.5}, std::pair{10, 1.1}}) {
        s.rainSamples = samples;
        s.rainFactor = factor;
        w = forecast();
        HistoryStore::applyCorrection(w, s);
        EXPECT_FALSE(w.daily[1].amountScaled);
    }
}

TEST(HistoryCorrection, RemoveRestoresEveryValueAndLeavesARawRecordAlone) {
    ForecastSkill s = validSkill();
    s.leads[1] = {45, 1.7, -0.9, 1.3, 0.7};
    s.leads[4] = {20, -2.3, 0.6, 1, 1};
    s.models = {{"icon", 20, 0.9, 0, -1}, {"metnorway", 20, 1.1, 0, -1}};
    s.hourBias[13] = {45, -0.7};
    s.popBins[1] = {30, 25};
    s.rainSamples = 45;
    s.rainFactor = 1.37;
    WeatherData w = forecast();
    w.modelSeries.push_back({"icon", {0, 23.1}, {0, 9.3}, {}});
    w.metNorway = {true, "metnorway", "2024-05-02", 22.7, 10.9, -1};
    HistoryStore::applyCorrection(w, s);
    ASSERT_TRUE(w.daily[1].corrected && w.daily[1].popCalibrated && w.daily[1].amountScaled);
    ASSERT_TRUE(w.daily[4].corrected);
    ASSERT_NE(w.hourly[13].tempCorrection, 0);
    HistoryStore::removeCorrection(w);
    expectRaw(w);
    HistoryStore::removeCorrection(w);
    expectRaw(w);
}
