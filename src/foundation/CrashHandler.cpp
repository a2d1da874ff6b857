// TEMPORARY stand-in until crash capture lands; replaced on merge.
#include "foundation/CrashHandler.h"
namespace nbr::crash {
namespace { std::string g_dir; }
void install(const std::string&) {}
const std::string& dir() { return g_dir; }
void markReportsSeen() {}
std::string pendingReport() { return {}; }
}  // namespace nbr::crash
