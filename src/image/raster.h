#pragma once
#include <cstdint>

#include "image/image.h"

namespace vorlith {

// The colour key every picture blit uses: pure red with a top byte of 0.
inline constexpr uint32_t colourKey = 0x00FF0000;

// Sets the first 256000 bytes (one 320x200 frame) of the image to 0.
void imageClear(Image& image);

// Copies every source word that is not the key onto dst, source pixel (c, r)
// landing at (x + c, y + r); -1 for x or y centres the picture on that axis.
void imageBlitKeyed(Image& dst, const Image& src, uint32_t key, int x, int y);

// As imageBlitKeyed, each channel of a copied pixel limited to cap (top byte 0).
// dst must be 320 pixels wide.
void imageBlitKeyedCapped(Image& dst, const Image& src, uint32_t key, int x, int y, int cap);

// Per-channel mix of two packed colours by t/256 (t >= 255 gives b, t <= 0 gives a).
uint32_t colourLerp(uint32_t a, uint32_t b, int t);

// b = a * weight / 256 + b * (256 - weight) / 256, byte by byte, each product
// truncated on its own; weight 0..256.
void imageCrossfade(const Image& a, Image& b, int weight);

// dst = min(255, dst + src), byte by byte, over whole pixel pairs.
void imageAddSaturate(const Image& src, Image& dst);

}  // namespace vorlith
