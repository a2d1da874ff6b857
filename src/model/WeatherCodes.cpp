// TEMPORARY stand-in until the weather-code computations land; replaced on merge.
#include "model/WeatherCodes.h"

namespace nbr {
int weatherCodeToIconCell(int code, bool night) {
    if (night) {
        switch (code) {
        case 0: return 24; case 1: return 25; case 2: return 26; case 3: return 27;
        case 80: case 81: return 28; case 95: return 29; default: break;
        }
    }
    switch (code) {
    case 0: return 0; case 1: return 1; case 2: return 2; case 3: return 3;
    case 45: case 48: return 4; case 51: case 53: return 10; case 55: case 63: return 7;
    case 56: case 57: case 66: case 67: return 18; case 61: return 6; case 65: case 82: return 8;
    case 71: case 77: return 22; case 73: return 19; case 75: return 20; case 80: case 81: return 9;
    case 85: case 86: return 21; case 95: return 12; case 96: case 99: return 17; default: return -1;
    }
}
}  // namespace nbr
