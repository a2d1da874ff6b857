// The radar service's frame list, and what the worker and the fetchers do
// with a list they read: compare it, choose the frame, build tile URLs.
#include "FuzzSupport.h"
#include "model/RadarFrames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto list = nbr::radar::parseFrameList(nbr::fuzz::text(data, size));
    if (!list) return 0;
    (void)nbr::radar::frameListChanged("https://tilecache.example", {}, *list);
    (void)nbr::radar::frameListChanged(list->host, list->frames, *list);
    bool chosen = false;
    const int n = static_cast<int>(list->frames.size());
    const int index = nbr::radar::chooseFrameIndex(chosen, 0, list->pastCount, n);
    if (n > 0 && (index < 0 || index >= n)) __builtin_trap();
    for (const auto& f : list->frames) (void)nbr::radar::tileUrl(list->host, f.path, 7, 38, 47);
    return 0;
}
