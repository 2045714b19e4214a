#pragma once
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/kernel_dispatch.h"
#include "image/image.h"

namespace vorlith {

// The colour key every picture blit uses: pure red with a top byte of 0.
inline constexpr uint32_t colourKey = 0x00FF0000;

// Sets the first 256000 bytes (one 320x200 frame) of the image to 0; an image
// holding fewer bytes is cleared only as far as it reaches.
void imageClear(Image& image);

// Copies every source word that is not the key onto dst, source pixel (c, r)
// landing at (x + c, y + r); -1 for x or y centres the picture on that axis.
void imageBlitKeyed(Image& dst, const Image& src, uint32_t key, int x, int y);

// As imageBlitKeyed, each channel of a copied pixel limited to cap (top byte 0).
// A cap above 255 counts as 255, a negative one as 0.
void imageBlitKeyedCapped(Image& dst, const Image& src, uint32_t key, int x, int y, int cap);

// Per-channel mix of two packed colours by t/256 (t >= 255 gives b, t <= 0 gives a).
uint32_t colourLerp(uint32_t a, uint32_t b, int t);

// b = a * weight / 256 + b * (256 - weight) / 256, byte by byte over all four
// bytes, each product truncated on its own; weight 0..256 (a weight outside
// counts as the nearer end). Runs over the pixels both images have.
void imageCrossfade(const Image& a, Image& b, int weight);

// dst = min(255, dst + src), byte by byte, over whole pixel pairs (an odd last
// pixel is left alone). Runs over the pixels both images have.
void imageAddSaturate(const Image& src, Image& dst);

// The word-level kernels behind imageCrossfade and imageAddSaturate, picked
// once for the processor (SSE2 or AVX2 on x86, plain C++ elsewhere).
void crossfadeWords(const uint32_t* a, uint32_t* b, int64_t count, int weight);
void addSaturateWords(const uint32_t* src, uint32_t* dst, int64_t count);

// Each byte of a plus the same byte of b, held at 255.
inline uint32_t bytewiseSaturatedSum(uint32_t a, uint32_t b) {
  uint32_t sum = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t byte = (a >> shift & 0xFF) + (b >> shift & 0xFF);
    sum |= (byte < 255 ? byte : 255) << shift;
  }
  return sum;
}

// bytewiseSaturatedSum in one instruction where the processor has it (every
// x86-64 does), for loops that add one pixel at a time.
inline uint32_t saturatedSum(uint32_t a, uint32_t b) {
#if defined(__SSE2__)
  return static_cast<uint32_t>(_mm_cvtsi128_si32(
      _mm_adds_epu8(_mm_cvtsi32_si128(static_cast<int>(a)), _mm_cvtsi32_si128(static_cast<int>(b)))));
#else
  return bytewiseSaturatedSum(a, b);
#endif
}

// The plain C++ forms of the kernels, for processors without SIMD and for
// checking the others.
void crossfadeWordsPlain(const uint32_t* a, uint32_t* b, int64_t count, int weight);
void addSaturateWordsPlain(const uint32_t* src, uint32_t* dst, int64_t count);

// One form of the two kernels.
struct RasterKernels {
  const char* name;
  void (*crossfade)(const uint32_t* a, uint32_t* b, int64_t count, int weight);
  void (*addSaturate)(const uint32_t* src, uint32_t* dst, int64_t count);
};

// Every form this processor can run, the widest first and the plain one last.
const KernelForms<RasterKernels>& rasterKernelForms();

}  // namespace vorlith
