// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The random source: uniform numbers in [0, 1). The program's own is a 64-bit
// Mersenne Twister seeded once from the clock and std::random_device; tests
// hand in fixed sequences.
#include <cstdint>
#include <random>

namespace tabinowa {

class Random {
public:
    virtual ~Random() = default;
    virtual double uniform() = 0;  // 0 <= u < 1
};

class MtRandom final : public Random {
public:
    MtRandom();
    explicit MtRandom(std::uint64_t seed) : engine_(seed) {}
    double uniform() override;

private:
    std::mt19937_64 engine_;
};

// u taken in single precision, never reaching 1.
float singleUniform(Random& random);

// The largest integer not above u * scale + 1 for a single-precision u: 1..scale.
int drawScaled(Random& random, int scale);

}  // namespace tabinowa
