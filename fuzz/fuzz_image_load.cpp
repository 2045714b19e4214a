// Feeds arbitrary bytes to the picture decoder: it must give a picture or a
// notice, never read or write out of bounds.
#include <cstdint>

#include "image/image.h"

namespace {

// Pictures the loader accepts may claim up to 4096x4096 pixels whatever the
// file holds; making and flipping 64 MB for each such input would slow the
// fuzzing a hundredfold without reaching any other code than a small picture
// does. Such inputs are passed over; larger claims, which the loader refuses
// before allocating, are still fed to it.
bool claimsALargePicture(const uint8_t* data, size_t size) {
  if (size < 18) return false;
  const uint32_t width = data[12] | (data[13] << 8);
  const uint32_t height = data[14] | (data[15] << 8);
  const bool accepted = width <= vorlith::imageLoadMaxSide && height <= vorlith::imageLoadMaxSide;
  return accepted && width * height > 256 * 256;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (claimsALargePicture(data, size)) return 0;
  const vorlith::NoticeSink quiet;  // says nothing
  if (vorlith::Image* image = vorlith::decodeTga(data, size, "fuzz.tga", quiet)) {
    // Touch every pixel the record claims to have.
    uint32_t sum = 0;
    const uint32_t* words = vorlith::imageWords(*image);
    for (int64_t i = 0; i < int64_t{image->width} * image->height; ++i) sum += words[i];
    volatile uint32_t sink = sum;
    (void)sink;
    vorlith::imageFree(image);
  }
  return 0;
}
