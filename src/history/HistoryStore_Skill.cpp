// Forecast skill: how far the logged forecasts missed what was observed, and
// the chart rows pairing each verified day with its day-ahead forecast.
#include "history/HistoryStore.h"

#include "model/WeatherTypes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>

namespace nbr {

// Median by selection; the mean of the two middle values for an even count.
double medianOf(std::vector<double> values) {
    if (values.empty()) return 0;
    const size_t m = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(m), values.end());
    const double mid = values[m];
    if (values.size() % 2 == 1) return mid;
    const double below = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(m));
    return (mid + below) / 2;
}

namespace {

// Scoring windows: the newest samples that count.
constexpr size_t kLeadWindow = 45;
constexpr size_t kRainWindow = 45;
constexpr size_t kModelErrorWindow = 90;
constexpr size_t kBrierWindow = 45;
constexpr size_t kHourWindow = 45;
constexpr int kMinModelDays = 8;
constexpr size_t kHistoryRows = 60;

// The newest `n` entries of a list in log order.
template <class T>
std::vector<T> newest(const std::vector<T>& list, size_t n) {
    const size_t from = list.size() > n ? list.size() - n : 0;
    return std::vector<T>(list.begin() + static_cast<std::ptrdiff_t>(from), list.end());
}

double mean(const std::vector<double>& v) {
    if (v.empty()) return 0;
    double sum = 0;
    for (double x : v) sum += x;
    return sum / static_cast<double>(v.size());
}

bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// Both temperatures known (a NaN is not).
bool known(double a, double b) { return knownTemperature(a) && knownTemperature(b); }

// A known, finite observed amount.
bool observedAmount(double precip) { return std::isfinite(precip) && precip >= 0; }

int popBin(double pop) {
    return static_cast<int>(std::clamp(std::trunc(pop / 20.0), 0.0, 4.0));
}

}  // namespace

ForecastSkill HistoryStore::computeSkill(const std::vector<FcstRecord>& fcst,
                                         const std::vector<TruthRecord>& truth,
                                         const std::vector<MFcstRecord>& mfcst,
                                         const std::vector<HFcstRecord>& hf,
                                         const std::vector<ObsRecord>& obs) {
    ForecastSkill skill;

    // Verified days by date; a later record of a date replaces the earlier.
    std::unordered_map<std::string, const TruthRecord*> truthByDate;
    truthByDate.reserve(truth.size());
    bool first = true;
    for (const auto& t : truth) {
        truthByDate[t.date] = &t;
        if (first || t.date < skill.loggingSince) skill.loggingSince = t.date;
        first = false;
    }
    skill.daysRecorded = static_cast<int>(truthByDate.size());

    auto truthOf = [&truthByDate](const std::string& date) -> const TruthRecord* {
        auto it = truthByDate.find(date);
        return it == truthByDate.end() ? nullptr : it->second;
    };

    // Lead pairs, day-ahead rain-chance bins and rain-amount pairs.
    std::vector<std::pair<double, double>> leadPairs[7];
    std::vector<std::pair<double, double>> rainPairs;  // forecast, observed
    for (const auto& f : fcst) {
        if (f.lead < 1 || f.lead > 6) continue;
        const TruthRecord* t = truthOf(f.date);
        if (!t) continue;
        const double dHigh = f.tmax - t->tmax, dLow = f.tmin - t->tmin;
        if (known(f.tmax, f.tmin) && known(t->tmax, t->tmin) && finite(dHigh, dLow))
            leadPairs[f.lead].emplace_back(dHigh, dLow);
        if (f.lead != 1 || !observedAmount(t->precip)) continue;
        // A missing chance (-1) was no forecast of 0 %.
        if (std::isfinite(f.pop) && f.pop >= 0) {
            PopBin& bin = skill.popBins[popBin(f.pop)];
            ++bin.n;
            if (t->precip >= 1.0) ++bin.rainy;
        }
        if (std::isfinite(f.precip) && f.precip >= 0.5) rainPairs.emplace_back(f.precip, t->precip);
    }

    const auto rain = newest(rainPairs, kRainWindow);
    skill.rainSamples = static_cast<int>(rain.size());
    if (!rain.empty()) {
        double sumF = 0, sumA = 0;
        for (const auto& [f, a] : rain) {
            sumF += f;
            sumA += a;
        }
        if (sumF > 0) {
            const double n = static_cast<double>(rain.size());
            skill.rainFactor = std::clamp(1 + (sumA / sumF - 1) * n / (n + 8), 0.4, 2.5);
        }
    }

    for (int lead = 1; lead <= 6; ++lead) {
        const auto pairs = newest(leadPairs[lead], kLeadWindow);
        if (pairs.empty()) continue;
        std::vector<double> highs, lows, absHighs, absLows;
        for (const auto& [h, l] : pairs) {
            highs.push_back(h);
            lows.push_back(l);
            absHighs.push_back(std::fabs(h));
            absLows.push_back(std::fabs(l));
        }
        LeadSkill& row = skill.leads[lead];
        row.n = static_cast<int>(pairs.size());
        row.biasHigh = medianOf(highs);
        row.biasLow = medianOf(lows);
        row.maeHigh = mean(absHighs);
        row.maeLow = mean(absLows);
        skill.valid = true;
    }

    // Other sources' day-ahead forecasts, per label.
    struct SourceSamples {
        std::vector<double> errors;
        std::vector<double> briers;
    };
    std::map<std::string, SourceSamples> sources;
    for (const auto& m : mfcst) {
        const TruthRecord* t = truthOf(m.date);
        if (!t) continue;
        const double eHigh = std::fabs(m.tmax - t->tmax), eLow = std::fabs(m.tmin - t->tmin);
        SourceSamples& s = sources[m.model];
        if (known(m.tmax, m.tmin) && known(t->tmax, t->tmin) && finite(eHigh, eLow)) {
            s.errors.push_back(eHigh);
            s.errors.push_back(eLow);
        }
        if (std::isfinite(m.pop) && m.pop >= 0 && observedAmount(t->precip)) {
            const double o = t->precip >= 1.0 ? 1.0 : 0.0;
            const double d = m.pop / 100.0 - o;
            s.briers.push_back(d * d);
        }
    }
    for (const auto& [model, s] : sources) {
        const auto errors = newest(s.errors, kModelErrorWindow);
        const int days = static_cast<int>(errors.size() / 2);
        if (days < kMinModelDays) continue;
        ModelSkillEntry row;
        row.model = model;
        row.days = days;
        row.mae = mean(errors);
        if (!s.briers.empty()) {
            const auto briers = newest(s.briers, kBrierWindow);
            row.brierN = static_cast<int>(briers.size());
            row.brier = mean(briers);
        }
        skill.models.push_back(std::move(row));
    }
    std::stable_sort(skill.models.begin(), skill.models.end(),
                     [](const ModelSkillEntry& a, const ModelSkillEntry& b) { return a.mae < b.mae; });

    // Hour-of-day bias of the hourly forecast temperatures.
    if (!hf.empty() && !obs.empty()) {
        std::unordered_map<std::string, double> observed;
        observed.reserve(obs.size());
        for (const auto& o : obs) {
            int hour = 0;
            if (!knownTemperature(o.temp) || !std::isfinite(o.temp) || !readHour(o.time, hour)) continue;
            observed[o.time.substr(0, 10) + "|" + std::to_string(hour)] = o.temp;
        }
        std::vector<double> diffs[24];
        for (const auto& h : hf) {
            if (h.hour < 0 || h.hour > 23 || !knownTemperature(h.temp)) continue;
            auto it = observed.find(keyOf(h));
            if (it == observed.end()) continue;
            const double d = h.temp - it->second;
            if (std::isfinite(d)) diffs[h.hour].push_back(d);
        }
        for (int hour = 0; hour < 24; ++hour) {
            const auto values = newest(diffs[hour], kHourWindow);
            HourBias& row = skill.hourBias[hour];
            row.n = static_cast<int>(values.size());
            row.bias = medianOf(values);
            if (row.n > 0) skill.valid = true;
        }
    }
    return skill;
}

ForecastSkill HistoryStore::neighborSkill(const std::string& key) {
    if (key.empty()) return ForecastSkill{};
    const Log& log = logFor(key);
    ForecastSkill skill = computeSkill(log.fcst, log.truth, {}, {}, {});
    // A borrowed lead row weighs at most 12 / (12 + 6) in the correction.
    for (int lead = 1; lead <= 6; ++lead) skill.leads[lead].n = std::min(skill.leads[lead].n, 12);
    for (auto& bin : skill.popBins) bin = PopBin{};
    skill.models.clear();
    for (auto& hour : skill.hourBias) hour = HourBias{};
    skill.seeded = true;
    return skill;
}

void HistoryStore::buildHistory(WeatherData& data, const Log& log) {
    std::map<std::string, HistoryDay> rows;
    // Only known temperatures are shown and compared.
    for (const auto& t : log.truth) {
        if (!known(t.tmax, t.tmin)) continue;
        HistoryDay& row = rows[t.date];
        row.date = t.date;
        row.hasObserved = true;
        row.observedHigh = t.tmax;
        row.observedLow = t.tmin;
    }
    for (const auto& f : log.fcst) {
        if (f.lead != 1 || !known(f.tmax, f.tmin)) continue;
        auto it = rows.find(f.date);
        if (it == rows.end()) continue;
        it->second.hasForecast = true;
        it->second.forecastHigh = f.tmax;
        it->second.forecastLow = f.tmin;
    }
    data.history.clear();
    auto from = rows.begin();
    if (rows.size() > kHistoryRows) std::advance(from, static_cast<std::ptrdiff_t>(rows.size() - kHistoryRows));
    for (auto it = from; it != rows.end(); ++it) data.history.push_back(std::move(it->second));
}

}  // namespace nbr
