#include "service/ReplyText.h"

#include <charconv>
#include <cmath>
#include <type_traits>

namespace nbr::replytext {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Blanks and an optional sign before a number; false when no digit (or a
// point, for fractions) follows.
template <typename T>
std::optional<T> scan(std::string_view& text, bool fraction) {
    std::string_view rest = text;
    skipBlanks(rest);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    // from_chars takes no '+', and "inf" or "nan" are no numbers of a reply.
    if (rest.empty() || !((rest.front() >= '0' && rest.front() <= '9') || (fraction && rest.front() == '.')))
        return std::nullopt;
    T value{};
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (ec != std::errc()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    text = rest.substr(static_cast<size_t>(end - rest.data()));
    return negative ? -value : value;
}

}  // namespace

void skipBlanks(std::string_view& text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
}

std::optional<double> scanNumber(std::string_view& text) { return scan<double>(text, true); }

std::optional<int> scanInt(std::string_view& text) { return scan<int>(text, false); }

std::optional<long long> scanLong(std::string_view& text) { return scan<long long>(text, false); }

std::optional<double> leadingNumber(std::string_view text) { return scanNumber(text); }

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        out.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

}  // namespace nbr::replytext
