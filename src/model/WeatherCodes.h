// TEMPORARY stand-in until the weather-code computations land; replaced on merge.
#pragma once

namespace nbr {
int weatherCodeToIconCell(int code, bool night);
}
