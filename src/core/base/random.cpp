// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/base/random.h"

#include <chrono>
#include <cmath>

namespace tabinowa {

MtRandom::MtRandom() {
    std::random_device device;
    auto clock = static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::seed_seq seq{static_cast<std::uint32_t>(clock), static_cast<std::uint32_t>(clock >> 32), device(), device()};
    engine_.seed(seq);
}

double MtRandom::uniform() {
    // 53 random bits: exactly uniform over [0, 1)
    return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
}

float singleUniform(Random& random) {
    double u = random.uniform();
    if (!(u >= 0.0)) u = 0.0;
    float f = static_cast<float>(u);
    if (f >= 1.0f) f = std::nextafter(1.0f, 0.0f);
    return f;
}

int drawScaled(Random& random, int scale) {
    float u = singleUniform(random);
    int v = static_cast<int>(std::floor(static_cast<double>(u) * scale + 1.0));
    return v > scale ? scale : v;
}

}  // namespace tabinowa
