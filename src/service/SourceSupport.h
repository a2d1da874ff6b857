// Small readers shared by the enrichment sources' source files: members of a
// parsed reply looked up without throwing, numbers read from texts in the
// classic locale, and the current time.
#pragma once

#include "model/WeatherTypes.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nbr::source {

using nlohmann::json;

// The member `key` of `obj`; null when `obj` is not an object or lacks it.
inline const json* member(const json& obj, const char* key) {
    if (!obj.is_object()) return nullptr;
    const auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

// The member `key` when it is an object; null otherwise.
inline const json* object(const json& obj, const char* key) {
    const json* m = member(obj, key);
    return m && m->is_object() ? m : nullptr;
}

// The text of member `key`: "" when it is absent, none when it is present but
// not a text.
inline std::optional<std::string> text(const json& obj, const char* key) {
    const json* m = member(obj, key);
    if (!m) return std::string();
    if (!m->is_string()) return std::nullopt;
    return m->get<std::string>();
}

// The text of member `key`, "" when absent or not a text.
inline std::string textOr(const json& obj, const char* key) { return text(obj, key).value_or(std::string()); }

// The member `key` when it is a number.
inline std::optional<double> number(const json& obj, const char* key) {
    const json* m = member(obj, key);
    if (!m || !m->is_number()) return std::nullopt;
    return m->get<double>();
}

// The leading decimal number of a text (leading blanks skipped), as the
// standard string-to-double conversion reads it but independent of the
// locale; none when the text does not begin with a finite number.
inline std::optional<double> leadingNumber(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    if (i < s.size() && s[i] == '+') ++i;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (ec != std::errc() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Ids taken from replies (forecast offices, tide stations, buoys) go into
// request paths: only short codes of letters and digits ("BOX", "8443970")
// are taken, as anything else could change the path.
inline bool plainId(std::string_view id, size_t maxLength) {
    if (id.empty() || id.size() > maxLength) return false;
    for (const char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// Sources that exist only for the United States ask only for such places.
inline bool usPlace(const GeoLocation& loc) { return loc.country == "US" || loc.country == "United States"; }

inline int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

inline double secondsSince(std::chrono::steady_clock::time_point stamp) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - stamp).count();
}

}  // namespace nbr::source
