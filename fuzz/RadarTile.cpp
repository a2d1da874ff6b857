// A downloaded radar tile: PNG bytes decoded to RGBA before upload.
#include "FuzzSupport.h"
#include "platform/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const nbr::platform::RgbaImage img = nbr::platform::decodeImageMemory(data, size);
    if (!img.empty() && img.pixels.size() != static_cast<size_t>(img.width) * img.height * 4) __builtin_trap();
    return 0;
}
