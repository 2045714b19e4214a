#include "tga_writer.h"

namespace vorlith::assets {

namespace {

constexpr size_t headerSize = 18;
constexpr uint8_t topLeftOrigin = 0x20;

bool sizeOk(int width, int height, size_t count) {
  return width >= 1 && width <= 0xFFFF && height >= 1 && height <= 0xFFFF &&
         count == static_cast<size_t>(width) * static_cast<size_t>(height);
}

std::vector<uint8_t> header(int width, int height, uint8_t colourMapType, uint8_t imageType, uint8_t depth,
                            uint8_t descriptor) {
  std::vector<uint8_t> b(headerSize, 0);
  b[1] = colourMapType;
  b[2] = imageType;
  b[12] = static_cast<uint8_t>(width & 0xFF);
  b[13] = static_cast<uint8_t>(width >> 8);
  b[14] = static_cast<uint8_t>(height & 0xFF);
  b[15] = static_cast<uint8_t>(height >> 8);
  b[16] = depth;
  b[17] = descriptor;
  return b;
}

}  // namespace

std::vector<uint8_t> tgaTrueColour(const Picture& p) {
  if (!sizeOk(p.width, p.height, p.pixels.size())) return {};
  // The descriptor claims no attribute bits: the fourth byte is not an alpha
  // channel that viewers should honour (the show keeps it 0).
  std::vector<uint8_t> b = header(p.width, p.height, 0, 2, 32, 0);
  b.reserve(headerSize + p.pixels.size() * 4);
  for (int y = p.height - 1; y >= 0; --y)
    for (int x = 0; x < p.width; ++x) {
      const uint32_t v = p.at(x, y);
      for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
  return b;
}

std::vector<uint8_t> tgaColourMapped(int width, int height, const std::vector<uint8_t>& colourMap,
                                     const std::vector<uint8_t>& indices) {
  if (!sizeOk(width, height, indices.size()) || colourMap.size() != 768) return {};
  std::vector<uint8_t> b = header(width, height, 1, 1, 8, topLeftOrigin);
  b[5] = 0;  // first entry 0, 256 entries of 24 bits
  b[6] = 1;
  b[7] = 24;
  b.insert(b.end(), colourMap.begin(), colourMap.end());
  b.insert(b.end(), indices.begin(), indices.end());
  return b;
}

}  // namespace vorlith::assets
