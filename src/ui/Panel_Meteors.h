// The meteor burst's particles: spawning a burst from the run's random
// generator, moving and culling them each frame, and the corners of each
// sprite. Pure apart from the generator handed in; drawn by
// UIRenderer_Meteors.cpp.
#pragma once

#include "ui/UIRenderer.h"

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace nbr::panel {

using Meteor = UIRenderer::Meteor;

// One 32-bit generator output as a float in [0, 1).
float unitFloat(std::uint32_t output);

// Appends 6 to 9 meteors entering from above a window `width` wide, at most
// one of them with the large sprite.
void spawnMeteorBurst(std::mt19937& rng, float width, std::vector<Meteor>& meteors);

// Moves every particle by `dt` seconds (at most 0.1) and drops those past the
// right or bottom edge by more than 220 px; the others keep their order.
void stepMeteors(std::vector<Meteor>& meteors, float dt, float width, float height);

// Screen corners of a particle's sprite of the given texture size, clockwise
// from the top left before rotation; {x0, y0, x1, y1, x2, y2, x3, y3}.
std::array<float, 8> meteorQuad(const Meteor& m, float textureWidth, float textureHeight);

}  // namespace nbr::panel
