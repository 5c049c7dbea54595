// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTime>
#include <cstdint>

// The game's one random generator, seeded once at start-up.
void Randomize(std::uint32_t seed);
// Uniform in [0, 1); never 1.0, also after conversion to float.
float Rnd();
// Whole hundredths of a second since midnight: 0 to 8 639 999.
std::uint32_t SeedFromTime(const QTime& time);
