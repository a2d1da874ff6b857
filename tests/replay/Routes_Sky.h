// Replies of the element-set and encyclopedia services, also used by tests
// that script replies of their own.
#pragma once

#include <cstdint>
#include <string>

namespace nbr::replay::sky {

// How old the served space-station element set is at request time.
inline constexpr int64_t kIssEpochAgeSeconds = 6 * 3600;

// The space-station element set as the service sends it (name line padded
// with blanks, CRLF line ends), its epoch set to `epochUnix`.
std::string issElementSet(int64_t epochUnix);

// Article titles (decoded path segments) the summary route treats specially;
// tests/fixtures/wikipedia/exceptions.json says how.
inline constexpr const char* kLongExtractSlug = "Cetus";           // a long extract with multi-byte text
inline constexpr const char* kMissingSlug = "Lynx_(constellation)";  // 404
inline constexpr const char* kFailingSlug = "Mensa_(constellation)";  // 503
inline constexpr const char* kNoExtractSlug = "Norma_(constellation)";  // a reply without an extract

// The title of a summary reply for a decoded path segment: blanks for
// underscores, without the " (constellation)" qualifier.
std::string titleOf(const std::string& slug);

}  // namespace nbr::replay::sky
