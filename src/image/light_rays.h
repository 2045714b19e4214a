#pragma once
#include "image/image.h"

namespace vorlith {

// One ray from (x0, y0) to (x1, y1), both ends included: each visited pixel of
// dst gets the src pixel plus the brightness accumulated along the ray so far.
void drawLightRay(const Image& src, Image& dst, int x0, int y0, int x1, int y1);

// Every ray from the centre (cx, cy) to the frame's border, in drawing order.
void drawLightRays(const Image& src, Image& dst, int cx, int cy);

}  // namespace vorlith
