// Stick figures of the 88 constellations, in the order of the program's
// constellation table (which fixes each figure's atlas cell).
#pragma once

namespace resgen {

struct Figure {
    const char* name;
    // Stars as "ra dec mag" triples (hours, degrees, magnitude), comma separated.
    const char* stars;
    // Lines as chains of star indices: "0-1-2 1-3".
    const char* lines;
};

extern const Figure kFigures[88];

}  // namespace resgen
