#pragma once
// Pictures for the opening and closing scenes, made on the spot (asymmetric,
// with distinct channels and transparent pixels, so that a flipped row, a
// swapped channel or a mirrored blit shows at once), and a show started on
// them and brought to the start of a scene. Used by the scene tests and the
// scene benchmarks.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/raster.h"
#include "support.h"

namespace vorlith::test {

// Top row first; written to the file bottom row first as TGA stores it.
inline void writePicture(const std::string& path, int width, int height, const std::vector<uint32_t>& topDown) {
  std::vector<uint32_t> fileOrder;
  for (int r = height - 1; r >= 0; --r)
    fileOrder.insert(fileOrder.end(), topDown.begin() + r * width, topDown.begin() + (r + 1) * width);
  writeFile(path, tgaBytes(width, height, 32, fileOrder));
}

// A 60x40 orange "F" on blue, its five left columns transparent.
inline constexpr int logoW = 60, logoH = 40;
inline std::vector<uint32_t> logoPixels() {
  std::vector<uint32_t> p(logoW * logoH);
  for (int r = 0; r < logoH; ++r)
    for (int c = 0; c < logoW; ++c) {
      const bool stem = c >= 10 && c < 15 && r >= 5 && r < 35;
      const bool top = r >= 5 && r < 10 && c >= 10 && c < 45;
      const bool middle = r >= 18 && r < 23 && c >= 10 && c < 35;
      p[r * logoW + c] = c < 5 ? colourKey : (stem || top || middle) ? 0x00F0A030 : 0x002050C0;
    }
  return p;
}

// An 80x30 title: a green-to-red ramp with a transparent square at its upper right.
inline constexpr int titleW = 80, titleH = 30;
inline std::vector<uint32_t> titlePixels() {
  std::vector<uint32_t> p(titleW * titleH);
  for (int r = 0; r < titleH; ++r)
    for (int c = 0; c < titleW; ++c)
      p[r * titleW + c] = (c >= 70 && r < 10) ? colourKey : uint32_t(3 * c) << 16 | uint32_t(255 - 3 * c) << 8 | uint32_t(r);
  return p;
}

// A full-frame end picture with every byte varying, alpha included.
inline std::vector<uint32_t> endPixels(int width = 320, int height = 200) {
  std::vector<uint32_t> p(width * height);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c)
      p[r * width + c] = uint32_t(r ^ 0x5A) << 24 | uint32_t(c & 0xFF) << 16 | uint32_t(r) << 8 | uint32_t((c * 7 + r) & 0xFF);
  return p;
}

struct Pictures {
  bool logo = true, title = true, end = true;
  int endWidth = 320, endHeight = 200;
};

inline void writePictures(const Pictures& which) {
  if (which.logo) writePicture("gfx/vorlith.tga", logoW, logoH, logoPixels());
  if (which.title) writePicture("gfx/thebrimtale.tga", titleW, titleH, titlePixels());
  if (which.end) writePicture("gfx/the_end.tga", which.endWidth, which.endHeight, endPixels(which.endWidth, which.endHeight));
}

// A show started in a scratch directory holding the pictures, brought to
// scene time 0 of the scene whose window starts at windowStart: the show's
// first frame (for scene 1 also the scene's, its timer starting there), else
// the scene's first frame and the one that restarts its timer 40 ms later.
// Afterwards at(s) plays the frame at scene time s.
struct SceneRun {
  explicit SceneRun(const Pictures& pictures = {}, uint32_t windowStart = 0) : dir(true) {
    writePictures(pictures);
    h = std::make_unique<ShowHarness>();
    h->frameAt(0);
    base = 0;
    if (windowStart > 0) {
      h->frameAt(windowStart);       // the scene's first frame: nothing drawn
      h->frameAt(windowStart + 40);  // the scene timer restarts here: scene time 0
      base = windowStart + 40;
    }
  }
  const std::vector<uint32_t>& at(uint32_t sceneMs) {
    h->frameAt(base + sceneMs);
    return h->screen.lastFrame;
  }
  ScratchDirectory dir;
  std::unique_ptr<ShowHarness> h;
  uint32_t base = 0;
};

}  // namespace vorlith::test
