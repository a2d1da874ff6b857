// TEMPORARY stand-in until crash capture lands; replaced on merge.
#pragma once
#include <string>
namespace nbr::crash {
void install(const std::string& dir);
const std::string& dir();
void markReportsSeen();
std::string pendingReport();
}  // namespace nbr::crash
