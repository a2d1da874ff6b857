#include "service/GeoLocator.h"

namespace nbr {

OSLocationResult detectOSLocation() {
    OSLocationResult r;
    r.error = "OS location unavailable";
    return r;
}

}  // namespace nbr
