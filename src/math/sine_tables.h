#pragma once

namespace vorlith {

// sin and cos of i * step for i = 0..count-1, each rounded to float: the one
// builder of every angle table.
void buildTrigTables(float* sinTable, float* cosTable, int count, double step);

// 2 x 3.14159265359 / 1024: one step of the tunnel's 1024-step angles. It is a
// little larger than 2 pi / 1024, so cos at a quarter turn is a tiny negative
// number rather than 0.
inline constexpr double sineTableStep = 0.006135923151542969;
inline constexpr int sineTableSize = 1024;

// sin and cos of i * sineTableStep for i = 0..1023, each rounded to float.
inline void buildSineTables(float* sinTable, float* cosTable) {
  buildTrigTables(sinTable, cosTable, sineTableSize, sineTableStep);
}

}  // namespace vorlith
