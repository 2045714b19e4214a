#include "icon.h"


#include <algorithm>
#include <cmath>

#include "base/exact_math.h"
#include "capture/png_writer.h"
#include "lettering.h"
#include "paint.h"

namespace vorlith::assets {

namespace {

// How far a point lies inside a rounded square of half-side `half` and corner
// radius `radius`, centred on the origin (negative outside), in the point's units.
double insideRoundedSquare(double x, double y, double half, double radius) {
  const double qx = std::abs(x) - (half - radius), qy = std::abs(y) - (half - radius);
  const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return radius - outside - std::min(std::max(qx, qy), 0.0);
}

// The tile: a deep blue night with a glow where the letter stands and sixteen
// soft rays fanning out from behind it.
Colour tileColour(double u, double v) {  // u, v in -1..1 from the centre
  const Ramp sky{{0.0, hex(0x241A5C)}, {0.55, hex(0x0E1440)}, {1.0, hex(0x05081C)}};
  Colour c = sky((v + 1) / 2);
  const double cx = u, cy = v + 0.18;  // the light sits a little above the middle
  const double r = std::hypot(cx, cy);
  const double angle = exactAtan2(cy, cx);
  const double ray = std::pow(0.5 + 0.5 * exactCos(angle * 16), 6.0);
  const double fade = std::exp(-r * 1.6);
  c = c + hex(0x6FA0FF) * (ray * fade * 0.55);
  c = c + hex(0xFFE0A0) * (std::exp(-r * r * 9.0) * 0.6);
  return c;
}

}  // namespace

Picture makeIcon(int size) {
  if (size < 8 || size > 1024) return {};
  // Small icons get more samples per pixel (the edges are analytic anyway).
  const int samples = std::clamp(512 / size, 2, 16);
  Canvas canvas(size, size, samples);
  const double half = canvas.width / 2.0;
  // A margin of a thirty-second on each side in whole pixels, so the tile's
  // edges fall on pixel edges and stay crisp; corners rounded by a fifth.
  const int margin = std::max(1, static_cast<int>(std::lround(size / 32.0)));
  const double tile = half - margin * samples, radius = tile * 0.4;
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x) {
      const double px = x + 0.5 - half, py = y + 0.5 - half;
      const double cover = clamp01(insideRoundedSquare(px, py, tile, radius) + 0.5);
      if (cover > 0) canvas.put(x, y, tileColour(px / tile, py / tile), cover);
    }

  // The logo's chrome V, wide and leaning as in the logo; outlines and bevels
  // grow with the icon but never vanish at 16 pixels.
  TextStyle style;
  style.capHeight = 100;
  style.widen = 1.1;
  style.embolden = size <= 24 ? 0.12 : 0.07;
  style.slant = 0.14;
  ChromeStyle chrome;
  chrome.ramp = hotChromeRamp();
  chrome.outline = std::max(0.7, size / 64.0);
  chrome.bevel = std::max(0.8, size / 36.0);
  const double room = tile * 2 * 0.72;
  const TextMask mask = fitText("V", style, room, room);
  if (!mask.ok()) return {};
  paintChrome(canvas, mask, (canvas.width - mask.width) / 2, (canvas.height - mask.height) / 2, chrome);

  // Reduced with straight alpha: the colour of the covered part of a pixel.
  Picture icon;
  icon.width = icon.height = size;
  icon.pixels.resize(static_cast<size_t>(size) * size);
  const double count = double(samples) * samples;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      Colour sum;
      double cover = 0;
      for (int sy = 0; sy < samples; ++sy)
        for (int sx = 0; sx < samples; ++sx) {
          const size_t i = static_cast<size_t>(y * samples + sy) * canvas.width + (x * samples + sx);
          sum = sum + canvas.colour[i];
          cover += canvas.coverage[i];
        }
      const uint32_t alpha = static_cast<uint32_t>(std::lround(clamp01(cover / count) * 255.0));
      icon.at(x, y) = alpha == 0 ? 0 : (alpha << 24) | pack(sum * (1.0 / cover));
    }
  return icon;
}

std::vector<uint8_t> pngRgba(const Picture& picture) {
  std::vector<uint8_t> file;
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<size_t>(picture.width) * picture.height ||
      !encodePng(picture.pixels.data(), picture.width, picture.height, file, true, 9))
    return {};
  return file;
}

}  // namespace vorlith::assets
