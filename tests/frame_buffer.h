#pragma once
// A zeroed 320x200 32-bit frame of its own, as an Image, for the effect tests
// and benchmarks.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "image/image.h"

namespace vorlith::test {

struct FrameBuffer {
  FrameBuffer() : words(framePixels, 0), image{frameWidth, frameHeight, 32, frameWidth * 4, nullptr} {
    image.pixels = reinterpret_cast<uint8_t*>(words.data());
  }
  FrameBuffer(const FrameBuffer&) = delete;
  FrameBuffer& operator=(const FrameBuffer&) = delete;

  uint32_t& at(int x, int y) { return words[static_cast<size_t>(y) * frameWidth + x]; }
  uint32_t at(int x, int y) const { return words[static_cast<size_t>(y) * frameWidth + x]; }
  // How many pixels are not 0.
  size_t lit() const { return static_cast<size_t>(std::count_if(words.begin(), words.end(), [](uint32_t w) { return w != 0; })); }
  bool blank() const { return lit() == 0; }
  void clear() { std::fill(words.begin(), words.end(), 0u); }

  std::vector<uint32_t> words;
  Image image;
};

}  // namespace vorlith::test
