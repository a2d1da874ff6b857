// The consensus rain chance: each day's chance replaced by the skill-weighted
// mean of every source that forecast it.
#include "service/WeatherService.h"

#include <algorithm>
#include <cmath>

namespace nbr {

namespace {

constexpr int kMinScoredDays = 12;
constexpr double kBrierFloor = 0.05;
constexpr size_t kMinValues = 3;

bool eligible(const ModelSkillEntry& e) { return e.brierN >= kMinScoredDays && e.brier >= 0; }

}  // namespace

void WeatherService::applyPopConsensus(WeatherData& data) {
    if (data.popConsensusApplied) return;

    // Sources without a score of their own are weighted by the median score.
    std::vector<double> scores;
    for (const ModelSkillEntry& e : data.skill.models)
        if (eligible(e)) scores.push_back(e.brier);
    double fallback = -1;
    if (!scores.empty()) {
        std::sort(scores.begin(), scores.end());
        fallback = scores[scores.size() / 2];
    }
    const auto weight = [&](const std::string& label) {
        for (const ModelSkillEntry& e : data.skill.models)
            if (e.model == label && eligible(e)) return 1.0 / std::max(e.brier, kBrierFloor);
        return fallback >= 0 ? 1.0 / std::max(fallback, kBrierFloor) : 1.0;
    };

    for (size_t i = 0; i < data.daily.size(); ++i) {
        DailyForecast& day = data.daily[i];
        // A calibrated day already follows the local frequency.
        if (day.popCalibrated) continue;
        struct Value {
            double value, weight;
        };
        std::vector<Value> values;
        // A missing own value (negative) is no forecast of 0 %.
        if (knownAmount(day.precipitationProbabilityMax))
            values.push_back({day.precipitationProbabilityMax, weight("openmeteo")});
        for (const ModelDailySeries& s : data.modelSeries)
            if (i < s.precipitationProbabilities.size() && !std::isnan(s.precipitationProbabilities[i]))
                values.push_back({s.precipitationProbabilities[i], weight(s.model)});
        if (i == 1 && data.nws.valid && data.nws.precipitationProbability >= 0 &&
            data.nws.date == day.date.substr(0, 10))
            values.push_back({data.nws.precipitationProbability, weight("nws")});
        if (values.size() < kMinValues) continue;

        double sum = 0, weights = 0;
        for (const Value& v : values) {
            sum += v.value * v.weight;
            weights += v.weight;
        }
        // Chances near the largest double overflow the sum: no consensus.
        if (!std::isfinite(sum / weights)) continue;
        const auto [low, high] = std::minmax_element(values.begin(), values.end(),
                                                     [](const Value& a, const Value& b) { return a.value < b.value; });
        day.popMin = low->value;
        day.popMax = high->value;
        day.popSources = static_cast<uint32_t>(values.size());
        day.popConsensus = true;
        day.ownPrecipitationProbability = day.precipitationProbabilityMax;
        day.precipitationProbabilityMax = sum / weights;
    }
    data.popConsensusApplied = true;
}

}  // namespace nbr
