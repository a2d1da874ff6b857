// The pictures the program loads from its resources folder, and their grids.
#pragma once

#include "Canvas.h"

namespace resgen {

// Weather icons: 6 x 5 cells, each drawn 1.25 times as wide as tall.
constexpr int kIconCols = 6, kIconRows = 5, kIconW = 160, kIconH = 128;
// Moon phases: 5 x 3 cells (0 new moon .. 7), drawn 0.9 times as wide as tall.
constexpr int kMoonCols = 5, kMoonRows = 3, kMoonW = 108, kMoonH = 120;
// Constellations: 7 columns; 8 rows in the first atlas, 5 in the second.
constexpr int kSkyCols = 7, kSkyRows1 = 8, kSkyRows2 = 5, kSkyW = 192, kSkyH = 144;

Canvas weatherIcons();
Canvas moonPhases();
// Atlas 0 holds the figures 0..55 of the constellation table, atlas 1 the rest.
Canvas constellationAtlas(int atlas);
// A meteor flying to the right: bright head at the right end, fading tail.
Canvas meteor(int w, int h, Color tail);

}  // namespace resgen
