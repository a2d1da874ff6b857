#include "model/Dates.h"

#include <chrono>
#include <cstdio>

namespace nbr {

std::string addDays(const std::string& date, int days) {
    int y = 0, m = 0, d = 0;
    if (std::sscanf(date.c_str(), "%d-%d-%d", &y, &m, &d) != 3) return "";
    if (m < 1 || m > 12 || d < 1 || d > 31) return "";
    // Keep well inside the range std::chrono::year can represent.
    if (y < -30000 || y > 30000 || days < -10000000 || days > 10000000) return "";
    using namespace std::chrono;
    const sys_days first = year{y} / month{static_cast<unsigned>(m)} / 1;
    const year_month_day moved{first + std::chrono::days{int64_t{d} - 1 + days}};
    const int my = static_cast<int>(moved.year());
    if (!moved.ok() || my < -30000 || my > 30000) return "";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", my, static_cast<unsigned>(moved.month()),
                  static_cast<unsigned>(moved.day()));
    return buf;
}

}  // namespace nbr
