#pragma once
// TGA files in the two layouts the show reads.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlith::assets {

// A picture as the show holds it: width x height words 0xAARRGGBB, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// An uncompressed 32-bit true-colour TGA: no ID field, no colour map, bottom
// row first, each pixel stored as blue, green, red, alpha. Empty when the
// picture's size is not 1..65535 on each side or doesn't match its pixels.
std::vector<uint8_t> tgaTrueColour(const Picture& picture);

// An uncompressed 8-bit colour-mapped TGA with a 256-entry 24-bit colour map
// and no ID field. The colour map goes out byte for byte as given (768 bytes);
// the index rows go out top row first (the header says so). Empty when the
// sizes don't match.
std::vector<uint8_t> tgaColourMapped(int width, int height, const std::vector<uint8_t>& colourMap,
                                     const std::vector<uint8_t>& topFirstIndices);

}  // namespace vorlith::assets
