#include "ui/Panel_Meteors.h"

#include <algorithm>
#include <cmath>

namespace nbr::panel {

float unitFloat(std::uint32_t output) {
    // The largest outputs round up to 1.0 as floats; they stay just below.
    const float u = static_cast<float>(static_cast<double>(output) * 0x1p-32);
    return std::min(u, std::nextafter(1.0f, 0.0f));
}

void spawnMeteorBurst(std::mt19937& rng, float width, std::vector<Meteor>& meteors) {
    const int count = 6 + static_cast<int>(rng() % 4);
    bool largeGiven = false;
    for (int i = 0; i < count; ++i) {
        Meteor m;
        const float u1 = unitFloat(static_cast<std::uint32_t>(rng()));
        if (u1 > 0.92f) {
            m.sprite = largeGiven ? 2 : 3;
            largeGiven = true;
        } else if (u1 > 0.62f) {
            m.sprite = 2;
        } else {
            m.sprite = static_cast<int>(rng() & 1u);
        }
        m.scale = 0.55f + 0.55f * unitFloat(static_cast<std::uint32_t>(rng()));
        const float speed = 420.0f + 480.0f * unitFloat(static_cast<std::uint32_t>(rng()));
        const float angle = 0.55f + 0.4f * unitFloat(static_cast<std::uint32_t>(rng()));
        m.vx = speed * std::cos(angle);
        m.vy = speed * std::sin(angle);
        const float lead = 0.55f * unitFloat(static_cast<std::uint32_t>(rng()));
        m.x = (0.9f * unitFloat(static_cast<std::uint32_t>(rng())) - 0.35f) * width - m.vx * lead;
        m.y = -60.0f - m.vy * lead;
        m.rotation = 6.28f * unitFloat(static_cast<std::uint32_t>(rng()));
        m.spin = 4.4f * unitFloat(static_cast<std::uint32_t>(rng())) - 2.2f;
        meteors.push_back(m);
    }
}

void stepMeteors(std::vector<Meteor>& meteors, float dt, float width, float height) {
    dt = std::min(dt, 0.1f);
    size_t kept = 0;
    for (size_t i = 0; i < meteors.size(); ++i) {
        Meteor m = meteors[i];
        m.x += m.vx * dt;
        m.y += m.vy * dt;
        m.rotation += m.spin * dt;
        if (m.x > width + 220.0f || m.y > height + 220.0f) continue;
        meteors[kept++] = m;
    }
    meteors.resize(kept);
}

std::array<float, 8> meteorQuad(const Meteor& m, float tw, float th) {
    const float hw = tw * m.scale / 2, hh = th * m.scale / 2;
    const float c = std::cos(m.rotation), s = std::sin(m.rotation);
    const float px[4] = {-hw, hw, hw, -hw}, py[4] = {-hh, -hh, hh, hh};
    std::array<float, 8> q{};
    for (int k = 0; k < 4; ++k) {
        q[2 * k] = m.x + px[k] * c - py[k] * s;
        q[2 * k + 1] = m.y + px[k] * s + py[k] * c;
    }
    return q;
}

}  // namespace nbr::panel
