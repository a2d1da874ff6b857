#include "model/Dates.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>

namespace nbr {

bool parseIsoDate(const std::string& date, int& year, int& month, int& day) {
    int y = 0, m = 0, d = 0;
    if (std::sscanf(date.c_str(), "%d-%d-%d", &y, &m, &d) != 3) return false;
    if (m < 1 || m > 12 || d < 1 || d > 31) return false;
    year = y;
    month = m;
    day = d;
    return true;
}

int dayOfYear(const std::string& date) {
    int y = 0, m = 0, d = 0;
    int64_t at = 0, first = 0;
    if (!parseIsoDate(date, y, m, d) || !daysSinceEpoch(y, m, d, at) || !daysSinceEpoch(y, 1, 1, first))
        return 0;
    return static_cast<int>(at - first + 1);
}

std::optional<int> daysBetween(const std::string& from, const std::string& to) {
    int y = 0, m = 0, d = 0;
    int64_t a = 0, b = 0;
    if (!parseIsoDate(from, y, m, d) || !daysSinceEpoch(y, m, d, a)) return std::nullopt;
    if (!parseIsoDate(to, y, m, d) || !daysSinceEpoch(y, m, d, b)) return std::nullopt;
    if (b - a < INT_MIN || b - a > INT_MAX) return std::nullopt;
    return static_cast<int>(b - a);
}

std::string addDays(const std::string& date, int days) {
    int y = 0, m = 0, d = 0;
    if (!parseIsoDate(date, y, m, d)) return "";
    int64_t start = 0;
    if (!daysSinceEpoch(y, m, d, start) || days < -10000000 || days > 10000000) return "";
    using namespace std::chrono;
    const year_month_day moved{sys_days{std::chrono::days{start + days}}};
    const int my = static_cast<int>(moved.year());
    if (!moved.ok() || my < -30000 || my > 30000) return "";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", my, static_cast<unsigned>(moved.month()),
                  static_cast<unsigned>(moved.day()));
    return buf;
}

bool daysSinceEpoch(int y, int m, int d, int64_t& days) {
    if (m < 1 || m > 12 || d < 1 || d > 31) return false;
    // Keep well inside the range std::chrono::year can represent.
    if (y < -30000 || y > 30000) return false;
    using namespace std::chrono;
    const sys_days first = year{y} / month{static_cast<unsigned>(m)} / 1;
    days = first.time_since_epoch().count() + d - 1;
    return true;
}

std::string utcDateOf(int64_t unixSeconds) {
    using namespace std::chrono;
    const year_month_day ymd{floor<days>(sys_seconds{seconds{unixSeconds}})};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buf;
}

bool utcSecondsOf(int year, int month, int day, int hour, int minute, int second, int64_t& out) {
    int64_t days = 0;
    if (!daysSinceEpoch(year, month, day, days)) return false;
    // Clock fields outside a few days' worth are not times at all.
    constexpr int kLimit = 1000000;
    if (hour < -kLimit || hour > kLimit || minute < -kLimit || minute > kLimit || second < -kLimit ||
        second > kLimit)
        return false;
    out = days * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
    return true;
}

std::optional<std::chrono::system_clock::time_point> timePointOf(int64_t unixSeconds) {
    using Clock = std::chrono::system_clock;
    constexpr int64_t lo = std::chrono::ceil<std::chrono::seconds>(Clock::time_point::min().time_since_epoch()).count();
    constexpr int64_t hi = std::chrono::floor<std::chrono::seconds>(Clock::time_point::max().time_since_epoch()).count();
    if (unixSeconds < lo || unixSeconds > hi) return std::nullopt;
    return Clock::time_point(std::chrono::seconds(unixSeconds));
}

OffsetAt fixedOffset(int seconds) {
    return [seconds](int64_t) { return seconds; };
}

std::string localDateOf(int64_t unixSeconds, const OffsetAt& offsetAt) {
    return utcDateOf(unixSeconds + offsetAt(unixSeconds));
}

int64_t unixOfLocal(int64_t local, const OffsetAt& offsetAt) {
    // The offsets a day before and after: the clock reading is one of theirs
    // (changes are far more than two days apart).
    const int64_t early = local - offsetAt(local - 86400), late = local - offsetAt(local + 86400);
    const auto reads = [&](int64_t t) { return t + offsetAt(t) == local; };
    if (reads(early)) return reads(late) ? std::min(early, late) : early;
    if (reads(late)) return late;
    return early;  // skipped
}

std::optional<int> zoneSuffixOffset(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    }
    if (i >= text.size()) return std::nullopt;
    if (text[i] == 'Z' || text[i] == 'z') return 0;
    if (text[i] != '+' && text[i] != '-') return std::nullopt;
    const int sign = text[i] == '-' ? -1 : 1;
    int digits[4] = {0, 0, 0, 0};
    int n = 0;
    for (++i; i < text.size() && n < 4; ++i) {
        if (text[i] == ':' && n == 2) continue;
        if (text[i] < '0' || text[i] > '9') break;
        digits[n++] = text[i] - '0';
    }
    if (n != 2 && n != 4) return std::nullopt;
    const int hours = digits[0] * 10 + digits[1], minutes = digits[2] * 10 + digits[3];
    if (hours > 18 || minutes > 59) return std::nullopt;
    return sign * (hours * 3600 + minutes * 60);
}

std::optional<int> isoZoneOffset(std::string_view text) {
    size_t i = text.find('T');
    if (i == std::string_view::npos) return std::nullopt;
    for (++i; i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == ':');) ++i;
    return zoneSuffixOffset(text.substr(i));
}

}  // namespace nbr
