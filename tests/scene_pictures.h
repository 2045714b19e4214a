#pragma once
// Pictures for the cube and ribbon scenes, made on the spot: a round blob
// glow, a lightmap ramp, a 256x256 surface texture and three credit pictures
// on the colour key. Used by the scene tests and the benchmarks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support.h"

namespace vorlith::test {

// The credits' colours, one each, on a key-red surround.
inline constexpr uint32_t codeCreditColour = 0x0020A040;
inline constexpr uint32_t musicCreditColour = 0x0030B050;
inline constexpr uint32_t gfxCreditColour = 0x0040C060;

// A 32-bit TGA picture file; pixel(c, r) with r = 0 the top row.
inline void writeTga(const std::string& path, int width, int height, const std::function<uint32_t(int, int)>& pixel) {
  std::vector<uint32_t> fileOrder;  // bottom row first
  fileOrder.reserve(static_cast<size_t>(width) * height);
  for (int r = height - 1; r >= 0; --r)
    for (int c = 0; c < width; ++c) fileOrder.push_back(pixel(c, r));
  writeFile(path, tgaBytes(width, height, 32, fileOrder));
}

// A filled block of the given colour in the middle of a keyed surround.
inline void writeCredit(const std::string& path, uint32_t colour) {
  writeTga(path, 120, 40, [colour](int c, int r) { return c >= 10 && c < 110 && r >= 8 && r < 32 ? colour : 0x00FF0000u; });
}

inline void writeScenePictures(const std::string& dir) {
  const std::string gfx = dir + "/gfx/";
  writeTga(gfx + "blob_1.tga", 16, 16, [](int c, int r) {
    const double d = std::hypot(c - 7.5, r - 7.5);
    return static_cast<uint32_t>(std::max(0.0, 255 - 34 * d));
  });
  writeTga(gfx + "specular_lightmap.tga", 256, 1, [](int c, int) { return static_cast<uint32_t>(c); });
  writeTga(gfx + "voxel_texture.tga", 256, 256, [](int c, int r) {
    const uint32_t checker = ((c / 32) ^ (r / 32)) & 1 ? 0xC0u : 0x40u;
    return checker << 16 | static_cast<uint32_t>(r) << 8 | static_cast<uint32_t>(c ^ r);
  });
  writeCredit(gfx + "code_qev.tga", codeCreditColour);
  writeCredit(gfx + "music_tolvane.tga", musicCreditColour);
  writeCredit(gfx + "gfx_qev.tga", gfxCreditColour);
}

}  // namespace vorlith::test
