#include "image/frame_digest.h"

#include "image/image.h"

namespace vorlith {

uint64_t frameRgbDigest(const uint32_t* pixels) {
  uint64_t digest = fnvOffsetBasis;
  for (int i = 0; i < framePixels; ++i) {
    const uint32_t p = pixels[i];
    digest = (digest ^ ((p >> 16) & 0xFF)) * fnvPrime;
    digest = (digest ^ ((p >> 8) & 0xFF)) * fnvPrime;
    digest = (digest ^ (p & 0xFF)) * fnvPrime;
  }
  return digest;
}

uint64_t frameDigest(uint64_t digest, const uint32_t* pixels) {
  for (int i = 0; i < framePixels; ++i) digest = (digest ^ (pixels[i] & 0x00FFFFFF)) * fnvPrime;
  return digest;
}

}  // namespace vorlith
