#include "model/Dates.h"

#include <chrono>
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

}  // namespace nbr
