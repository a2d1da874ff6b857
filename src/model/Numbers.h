// Numbers from outside turned into whole numbers without undefined
// behaviour: a double that is not finite or does not fit is no number.
#pragma once

#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

namespace nbr {

// `v` cut toward zero when the result fits in T; none for NaN, infinities
// and anything beyond T's range.
template <typename T>
std::optional<T> truncatedTo(double v) {
    static_assert(std::is_integral_v<T> && std::is_signed_v<T>);
    // Both bounds are powers of two, so exact as doubles.
    constexpr double lo = static_cast<double>(std::numeric_limits<T>::min());
    constexpr double hi = -lo;
    if (!(v > lo - 1.0 && v < hi)) return std::nullopt;
    return static_cast<T>(v);
}

}  // namespace nbr
