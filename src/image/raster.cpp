#include "image/raster.h"

namespace vorlith {

void imageClear(Image&) {}
void imageBlitKeyed(Image&, const Image&, uint32_t, int, int) {}
void imageBlitKeyedCapped(Image&, const Image&, uint32_t, int, int, int) {}
uint32_t colourLerp(uint32_t a, uint32_t, int) { return a; }
void imageCrossfade(const Image&, Image&, int) {}
void imageAddSaturate(const Image&, Image&) {}

}  // namespace vorlith
