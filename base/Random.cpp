// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Random.h"

#include <random>

namespace
{
std::mt19937& generator()
{
    static std::mt19937 g(0);
    return g;
}
} // namespace

void Randomize(std::uint32_t seed)
{
    generator().seed(seed);
}

float Rnd()
{
    // 24 random bits: every value is exact in a float and the largest is 1 - 2^-24.
    return static_cast<float>(generator()() >> 8) * (1.0f / 16777216.0f);
}

std::uint32_t SeedFromTime(const QTime& time)
{
    return time.isValid() ? static_cast<std::uint32_t>(time.msecsSinceStartOfDay() / 10) : 0;
}
