// Bias correction: shifts the shown forecast by what the place's history
// measured. Every change is recorded beside the value it changes so the raw
// forecast can be restored exactly before it is logged or corrected again.
#include "history/HistoryStore.h"

#include "model/WeatherTypes.h"

#include <algorithm>
#include <cmath>

namespace nbr {

namespace {

// Label the second forecast service writes into its day-ahead record.
constexpr const char* kMetNorwayLabel = "metnorway";
constexpr const char* kNwsLabel = "nws";

constexpr int kMinLeadSamples = 10;
constexpr double kMinBias = 0.3;
constexpr double kMaxLeadShift = 3.0;
constexpr double kMinErrorForWeight = 0.3;
constexpr double kMaxBlendShift = 2.0;
constexpr double kMinBlendShift = 0.2;
constexpr int kMinHourSamples = 10;  // an hour needs n above 9
constexpr int kMinBinSamples = 12;   // a rain-chance bin needs n above 11
constexpr double kMinPopChange = 3.0;
constexpr int kMinRainSamples = 10;
constexpr double kMinFactorChange = 0.15;

double shrink(int n) { return n / (n + 6.0); }

void shiftDay(DailyForecast& day, double dHigh, double dLow) {
    day.temperatureMax += dHigh;
    day.temperatureMin += dLow;
    if (day.hasModelSpread) {
        day.highMin += dHigh;
        day.highMax += dHigh;
        day.lowMin += dLow;
        day.lowMax += dLow;
    }
}

// Weighted sums of one side (high or low) of tomorrow's blend.
struct Side {
    double sum = 0;
    double weight = 0;
    void add(double value, double w) {
        if (!std::isfinite(value) || !knownTemperature(value)) return;
        sum += value * w;
        weight += w;
    }
};

void blendTomorrow(WeatherData& data, const ForecastSkill& skill) {
    const LeadSkill& lead1 = skill.leads[1];
    if (skill.models.size() < 2 || lead1.n < kMinLeadSamples) return;
    DailyForecast& day = data.daily[1];
    // Only a value the service gave is moved; a blend never stands in for one.
    if (!knownTemperature(day.temperatureMax) || !knownTemperature(day.temperatureMin)) return;
    auto weightOf = [](double e) {
        const double err = std::max(e, kMinErrorForWeight);
        return 1.0 / (err * err);
    };
    Side high, low;
    const double ownWeight = weightOf((lead1.maeHigh + lead1.maeLow) / 2);
    high.add(day.temperatureMax, ownWeight);
    low.add(day.temperatureMin, ownWeight);
    for (const auto& row : skill.models) {
        const double w = weightOf(row.mae);
        const ProviderForecast* provider = nullptr;
        if (row.model == kMetNorwayLabel) provider = &data.metNorway;
        else if (row.model == kNwsLabel) provider = &data.nws;
        if (provider) {
            if (provider->valid && provider->date == day.date) {
                high.add(provider->temperatureMax, w);
                low.add(provider->temperatureMin, w);
            }
            continue;
        }
        for (const auto& series : data.modelSeries) {
            if (series.model != row.model || series.highs.size() < 2 || series.lows.size() < 2) continue;
            high.add(series.highs[1], w);
            low.add(series.lows[1], w);
            break;
        }
    }
    if (high.weight <= 0 || low.weight <= 0) return;
    const double dHigh = std::clamp(high.sum / high.weight - day.temperatureMax, -kMaxBlendShift, kMaxBlendShift);
    const double dLow = std::clamp(low.sum / low.weight - day.temperatureMin, -kMaxBlendShift, kMaxBlendShift);
    if (!std::isfinite(dHigh) || !std::isfinite(dLow)) return;
    if (std::fabs(dHigh) < kMinBlendShift && std::fabs(dLow) < kMinBlendShift) return;
    shiftDay(day, dHigh, dLow);
    day.corrected = true;
    day.highCorrection += dHigh;
    day.lowCorrection += dLow;
}

}  // namespace

void HistoryStore::applyCorrection(WeatherData& data, const ForecastSkill& skill) {
    removeCorrection(data);
    if (!skill.valid) return;
    const bool hasDays = data.daily.size() >= 2;
    const size_t lastLead = std::min<size_t>(6, data.daily.empty() ? 0 : data.daily.size() - 1);

    // 1. Each lead's typical miss.
    if (hasDays) {
        for (size_t k = 1; k <= lastLead; ++k) {
            const LeadSkill& row = skill.leads[k];
            if (row.n < kMinLeadSamples) continue;
            const double w = shrink(row.n);
            auto amount = [w](double bias) {
                if (!std::isfinite(bias) || std::fabs(bias) < kMinBias) return 0.0;
                return -std::clamp(bias * w, -kMaxLeadShift, kMaxLeadShift);
            };
            DailyForecast& day = data.daily[k];
            // A temperature the service did not give stays unknown.
            const double cHigh = knownTemperature(day.temperatureMax) ? amount(row.biasHigh) : 0.0;
            const double cLow = knownTemperature(day.temperatureMin) ? amount(row.biasLow) : 0.0;
            if (cHigh == 0 && cLow == 0) continue;
            shiftDay(day, cHigh, cLow);
            day.corrected = true;
            day.highCorrection = cHigh;
            day.lowCorrection = cLow;
        }
        // 2. Tomorrow blended with the other sources by their accuracy.
        blendTomorrow(data, skill);
        // 3. Hours follow their day: the mean of the corrections of its known
        // temperatures (one that is not known was never corrected).
        for (auto& hour : data.hourly) {
            if (hour.time.size() < 10 || !knownTemperature(hour.temperature)) continue;
            for (size_t k = 1; k <= lastLead; ++k) {
                const DailyForecast& day = data.daily[k];
                if (!day.corrected || day.date.size() != 10 || hour.time.compare(0, 10, day.date) != 0) continue;
                const bool high = knownTemperature(day.temperatureMax), low = knownTemperature(day.temperatureMin);
                hour.tempCorrection = high && low ? (day.highCorrection + day.lowCorrection) / 2
                                      : high      ? day.highCorrection
                                                  : day.lowCorrection;
                hour.temperature += hour.tempCorrection;
                break;
            }
        }
    }

    // 4. Hour-of-day bias, every hour of every day.
    for (auto& hour : data.hourly) {
        int h = -1;
        if (!knownTemperature(hour.temperature) || !readHour(hour.time, h) || h < 0 || h > 23) continue;
        const HourBias& row = skill.hourBias[h];
        if (row.n < kMinHourSamples || !std::isfinite(row.bias) || std::fabs(row.bias) < kMinBias) continue;
        const double c = std::clamp(shrink(row.n) * row.bias, -kMaxLeadShift, kMaxLeadShift);
        hour.temperature -= c;
        hour.tempCorrection -= c;
    }

    if (!hasDays) return;

    // 5. Tomorrow's rain chance against how often it rained at that chance.
    DailyForecast& tomorrow = data.daily[1];
    const double p = tomorrow.precipitationProbabilityMax;
    if (std::isfinite(p) && p >= 0) {
        const PopBin& bin = skill.popBins[static_cast<int>(std::clamp(std::trunc(p / 20.0), 0.0, 4.0))];
        if (bin.n >= kMinBinSamples) {
            const double k = bin.n / (bin.n + 10.0);
            const double cal = std::clamp((bin.rainy * 100.0 / bin.n) * k + (1 - k) * p, 0.0, 100.0);
            if (std::fabs(cal - p) >= kMinPopChange) {
                tomorrow.popCalibrated = true;
                tomorrow.rawPrecipitationProbability = p;
                tomorrow.precipitationProbabilityMax = cal;
            }
            // Tomorrow's hours follow the calibration even when the day's own
            // chance moved too little to be marked.
            if (p > 0 && tomorrow.date.size() == 10) {
                for (auto& hour : data.hourly) {
                    if (hour.time.size() < 10 || hour.time.compare(0, 10, tomorrow.date) != 0 ||
                        !knownAmount(hour.precipitationProbability))
                        continue;
                    hour.rawPrecipitationProbability = hour.precipitationProbability;
                    hour.precipitationProbability = std::min(100.0, hour.precipitationProbability * cal / p);
                }
            }
        }
    }

    // 6. Rain amounts by the local rain-amount factor.
    if (skill.rainSamples >= kMinRainSamples && std::isfinite(skill.rainFactor) && skill.rainFactor > 0 &&
        std::fabs(skill.rainFactor - 1) >= kMinFactorChange) {
        for (size_t k = 1; k < data.daily.size(); ++k) {
            DailyForecast& day = data.daily[k];
            if (day.amountScaled || !(day.precipitationSum > 0)) continue;
            day.precipitationSum *= skill.rainFactor;
            if (knownAmount(day.rainSum)) day.rainSum *= skill.rainFactor;
            day.amountScaled = true;
            day.amountFactor = skill.rainFactor;
        }
    }
}

void HistoryStore::removeCorrection(WeatherData& data) {
    for (auto& day : data.daily) {
        if (day.corrected) {
            shiftDay(day, -day.highCorrection, -day.lowCorrection);
            day.corrected = false;
            day.highCorrection = 0;
            day.lowCorrection = 0;
        }
        if (day.popCalibrated) {
            day.precipitationProbabilityMax = day.rawPrecipitationProbability;
            day.popCalibrated = false;
            day.rawPrecipitationProbability = 0;
        }
        if (day.amountScaled && day.amountFactor > 0) {
            day.precipitationSum /= day.amountFactor;
            if (knownAmount(day.rainSum)) day.rainSum /= day.amountFactor;
            day.amountScaled = false;
            day.amountFactor = 1.0;
        }
    }
    for (auto& hour : data.hourly) {
        if (hour.tempCorrection != 0) {
            hour.temperature -= hour.tempCorrection;
            hour.tempCorrection = 0;
        }
        if (hour.rawPrecipitationProbability >= 0) {
            hour.precipitationProbability = hour.rawPrecipitationProbability;
            hour.rawPrecipitationProbability = -1;
        }
    }
}

}  // namespace nbr
