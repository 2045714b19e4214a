#pragma once
// "The Brim Tale": the show's music, composed in code.
#include "it_writer.h"

namespace vorlith::assets {

// Timing of the show that the song follows.
inline constexpr int songSpeed = 3;
inline constexpr int songTempo = 139;
inline constexpr int songRows = 64;     // rows per pattern
inline constexpr int songOrders = 53;
// The first order of each of the six scenes.
inline constexpr int sceneFirstOrder[6] = {0, 3, 7, 16, 32, 47};

ItModule makeSong();

}  // namespace vorlith::assets
