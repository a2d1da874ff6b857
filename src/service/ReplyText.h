// Small readers of reply text shared by the data service's sources: numbers
// written as text, and lines. They read as scanf and strtod do in the "C"
// locale, without their undefined behaviour on overflow.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nbr::replytext {

// Drops leading blanks (space, tab, line ends, form feed, vertical tab).
void skipBlanks(std::string_view& text);

// Reads the decimal number at the start of `text` (after blanks, with an
// optional sign) and drops it from `text`. Nothing (and `text` unchanged)
// when no number starts there or it is out of range or not finite.
std::optional<double> scanNumber(std::string_view& text);
// The same for a whole number in int range.
std::optional<int> scanInt(std::string_view& text);
// The same for a whole number in long long range.
std::optional<long long> scanLong(std::string_view& text);

// The number at the start of `text`: "10+" gives 10, " 1.5 m" gives 1.5.
std::optional<double> leadingNumber(std::string_view text);

// The lines of `text`, split at line feeds; a carriage return before a line
// feed stays part of its line. A text ending in a line feed has no empty
// last line.
std::vector<std::string_view> lines(std::string_view text);

// Whether a place's country (the geocoder's code, or a name) is the United
// States: sources that exist only there test exactly "US" or "United States".
inline bool isUnitedStates(const std::string& country) { return country == "US" || country == "United States"; }

}  // namespace nbr::replytext
