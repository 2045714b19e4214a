#pragma once

namespace vorlith {

// 2 x 3.14159265359 / 1024: one step of the tunnel's 1024-step angles. It is a
// little larger than 2 pi / 1024, so cos at a quarter turn is a tiny negative
// number rather than 0.
inline constexpr double sineTableStep = 0.006135923151542969;
inline constexpr int sineTableSize = 1024;

// sin and cos of i * sineTableStep for i = 0..1023, each rounded to float.
void buildSineTables(float* sinTable, float* cosTable);

}  // namespace vorlith
