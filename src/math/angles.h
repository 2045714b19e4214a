#pragma once
#include "math/sine_tables.h"

namespace vorlith {

// 2 x 3.14159265359 / 256: one step of the 256-step angles of the driver and
// of the effects other than the tunnel (a byte is a full turn).
inline constexpr double angleStep = 0.024543692606171875;

// sin and cos of i * angleStep for i = 0..255, each rounded to float.
inline void buildAngleTables(float* sinTable, float* cosTable) { buildTrigTables(sinTable, cosTable, 256, angleStep); }

}  // namespace vorlith
