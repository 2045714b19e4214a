#include "image/raster.h"

#include <algorithm>
#include <cstring>

namespace vorlith {

namespace {

int64_t pixelCount(const Image& image) { return int64_t{image.width} * image.height; }

// -1 centres the source on the destination along one axis.
int64_t placement(int at, int dstSize, int srcSize) { return at == -1 ? dstSize / 2 - srcSize / 2 : at; }

// The keyed blit shared by both forms: clips the source rectangle against the
// destination (source row r always lands on destination row y + r) and hands
// every non-key word to store, which writes it.
template <typename Store>
void blitKeyed(Image& dst, const Image& src, uint32_t key, int atX, int atY, Store store) {
  if (!wordImage(dst) || !wordImage(src)) return;
  const int64_t x = placement(atX, dst.width, src.width);
  const int64_t y = placement(atY, dst.height, src.height);
  const int64_t firstColumn = std::max<int64_t>(0, -x);
  const int64_t endColumn = std::min<int64_t>(src.width, dst.width - x);
  const int64_t firstRow = std::max<int64_t>(0, -y);
  const int64_t endRow = std::min<int64_t>(src.height, dst.height - y);
  if (firstColumn >= endColumn || firstRow >= endRow) return;

  const uint32_t* srcWords = imageWords(src);
  uint32_t* dstWords = imageWords(dst);
  for (int64_t r = firstRow; r < endRow; ++r) {
    const uint32_t* from = srcWords + r * src.width + firstColumn;
    const uint32_t* const end = srcWords + r * src.width + endColumn;
    uint32_t* to = dstWords + (y + r) * dst.width + x + firstColumn;
    for (; from != end; ++from, ++to)
      if (*from != key) *to = store(*from);
  }
}

}  // namespace

void imageClear(Image& image) {
  if (!image.pixels || image.bytesPerLine <= 0 || image.height <= 0) return;
  const int64_t size = std::min<int64_t>(frameBytes, int64_t{image.bytesPerLine} * image.height);
  std::memset(image.pixels, 0, static_cast<size_t>(size));
}

void imageBlitKeyed(Image& dst, const Image& src, uint32_t key, int x, int y) {
  blitKeyed(dst, src, key, x, y, [](uint32_t word) { return word; });
}

void imageBlitKeyedCapped(Image& dst, const Image& src, uint32_t key, int x, int y, int cap) {
  const uint32_t c = static_cast<uint32_t>(std::clamp(cap, 0, 255));
  blitKeyed(dst, src, key, x, y, [c](uint32_t word) {
    return std::min((word >> 16) & 0xFF, c) << 16 | std::min((word >> 8) & 0xFF, c) << 8 | std::min(word & 0xFF, c);
  });
}

uint32_t colourLerp(uint32_t a, uint32_t b, int t) {
  if (t >= 255) return b;
  if (t <= 0) return a;
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int from = static_cast<int>((a >> shift) & 0xFF);
    const int to = static_cast<int>((b >> shift) & 0xFF);
    // floor((to - from) * t / 256), an arithmetic shift: |product| < 65536,
    // so shifting it up by 65536 first keeps the shifted value non-negative.
    const int step = (((to - from) * t + 65536) >> 8) - 256;
    result |= static_cast<uint32_t>(from + step) << shift;
  }
  return result;
}

void imageCrossfade(const Image& a, Image& b, int weight) {
  if (!wordImage(a) || !wordImage(b)) return;
  const int64_t count = std::min(pixelCount(a), pixelCount(b));
  // The ends need no arithmetic: weight 0 leaves b as it is (each byte times
  // 256, shifted down), 256 makes it a copy of a.
  if (weight <= 0) return;
  if (weight >= 256) {
    std::memmove(imageWords(b), imageWords(a), static_cast<size_t>(count) * 4);
    return;
  }
  crossfadeWords(imageWords(a), imageWords(b), count, weight);
}

void imageAddSaturate(const Image& src, Image& dst) {
  if (!wordImage(src) || !wordImage(dst)) return;
  // Whole pairs of pixels only: an odd last pixel is left alone.
  const int64_t pairs = std::min(pixelCount(src), pixelCount(dst)) / 2;
  addSaturateWords(imageWords(src), imageWords(dst), pairs * 2);
}

void crossfadeWordsPlain(const uint32_t* a, uint32_t* b, int64_t count, int weight) {
  const uint32_t wa = static_cast<uint32_t>(std::clamp(weight, 0, 256));
  const uint32_t wb = 256 - wa;
  for (int64_t i = 0; i < count; ++i) {
    uint32_t mixed = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const uint32_t byte = ((a[i] >> shift & 0xFF) * wa >> 8) + ((b[i] >> shift & 0xFF) * wb >> 8);
      mixed |= byte << shift;
    }
    b[i] = mixed;
  }
}

void addSaturateWordsPlain(const uint32_t* src, uint32_t* dst, int64_t count) {
  for (int64_t i = 0; i < count; ++i) dst[i] = bytewiseSaturatedSum(dst[i], src[i]);
}

}  // namespace vorlith
