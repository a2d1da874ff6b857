// Five global models' daily highs, lows and rain chances for the record's
// days: the model series (read by the consensus and recorded by the history
// store) and, per day, the spread of the models' highs and lows.
#include "service/WeatherService.h"

#include "service/OpenMeteoReply.h"
#include "service/ServiceHosts.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace nbr {

using nlohmann::json;

namespace {

constexpr std::string_view kHighPrefix = "temperature_2m_max";
constexpr std::string_view kLowPrefix = "temperature_2m_min";
constexpr std::string_view kPopPrefix = "precipitation_probability_max";

enum class Variable { High, Low, Pop };

// The series of each model met so far, in order of first appearance.
class SeriesList {
public:
    SeriesList(std::vector<ModelDailySeries>& list, size_t days) : list_(list), days_(days) {}

    // The series of `model`, appended with every day missing when new.
    ModelDailySeries& of(std::string_view model) {
        auto [it, added] = index_.try_emplace(std::string(model), list_.size());
        if (added) {
            const double nan = std::numeric_limits<double>::quiet_NaN();
            ModelDailySeries& s = list_.emplace_back();
            s.model = it->first;
            s.highs.assign(days_, nan);
            s.lows.assign(days_, nan);
            s.precipitationProbabilities.assign(days_, nan);
        }
        return list_[it->second];
    }

private:
    std::vector<ModelDailySeries>& list_;
    size_t days_;
    std::unordered_map<std::string, size_t> index_;
};

// Moves `value` into [lo, hi].
void pullInto(double& value, double lo, double hi) {
    if (value < lo) value = lo;
    if (hi < value) value = hi;
}

}  // namespace

void WeatherService::fetchUncertaintyBand(const GeoLocation& loc, WeatherData& data) {
    if (data.daily.empty()) return;
    std::string url = serviceBase(service::Forecast) + "/v1/forecast?latitude=" + formatFixed(loc.latitude, 6) +
                      "&longitude=" + formatFixed(loc.longitude, 6) +
                      "&daily=temperature_2m_max,temperature_2m_min,precipitation_probability_max&models=";
    for (const char* model : kSeriesModels) url += std::string(model) + ",";
    url.pop_back();
    url += "&timezone=auto&forecast_days=" + std::to_string(data.daily.size());
    const std::string body = httpGet(url);
    if (body.empty()) return;
    try {
        parseUncertaintyBand(body, data);
    } catch (...) {
        // What was written before the failure stays.
    }
}

void WeatherService::parseUncertaintyBand(const std::string& body, WeatherData& data) {
    const size_t n = data.daily.size();
    json root;
    if (n == 0 || !readOpenMeteoRoot(body, root)) return;
    // A "daily" that is not an object is a reply of another shape: nothing
    // changes, as without one.
    const json* daily = objectMember(root, "daily");
    if (!daily) return;

    data.modelSeries.clear();
    SeriesList series(data.modelSeries, n);
    std::vector<std::vector<double>> highs(n), lows(n);
    for (const auto& [key, values] : daily->items()) {
        if (!values.is_array()) continue;
        const std::string_view k = key;
        Variable var;
        size_t prefix;
        if (k.starts_with(kHighPrefix)) var = Variable::High, prefix = kHighPrefix.size();
        else if (k.starts_with(kLowPrefix)) var = Variable::Low, prefix = kLowPrefix.size();
        else if (k.starts_with(kPopPrefix)) var = Variable::Pop, prefix = kPopPrefix.size();
        else continue;
        // The model id follows the prefix and one separating character.
        const std::string_view model = k.size() > prefix + 1 ? k.substr(prefix + 1) : std::string_view();

        const size_t count = std::min(n, values.size());
        for (size_t i = 0; i < count; ++i) {
            const json& e = values[i];
            if (!e.is_number()) continue;
            const double v = e.get<double>();
            if (var == Variable::High) highs[i].push_back(v);
            else if (var == Variable::Low) lows[i].push_back(v);
            if (model.empty()) continue;
            ModelDailySeries& s = series.of(model);
            (var == Variable::High  ? s.highs
             : var == Variable::Low ? s.lows
                                    : s.precipitationProbabilities)[i] = v;
        }
    }

    for (size_t i = 0; i < n; ++i) {
        if (highs[i].size() < 2 || lows[i].size() < 2) continue;
        DailyForecast& day = data.daily[i];
        const auto [hMin, hMax] = std::minmax_element(highs[i].begin(), highs[i].end());
        const auto [lMin, lMax] = std::minmax_element(lows[i].begin(), lows[i].end());
        day.hasModelSpread = true;
        day.highMin = *hMin;
        day.highMax = *hMax;
        day.lowMin = *lMin;
        day.lowMax = *lMax;
        // The service's own value is pulled into the models' range; one it did
        // not give stays unknown.
        if (knownTemperature(day.temperatureMax)) pullInto(day.temperatureMax, day.highMin, day.highMax);
        if (knownTemperature(day.temperatureMin)) pullInto(day.temperatureMin, day.lowMin, day.lowMax);
    }
}

}  // namespace nbr
