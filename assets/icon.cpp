#include "icon.h"

#include <png.h>

#include <algorithm>
#include <cmath>

#include "base/exact_math.h"
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

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

}  // namespace

std::vector<uint8_t> pngRgba(const Picture& picture) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<size_t>(picture.width) * picture.height)
    return {};
  std::vector<uint8_t> rows(picture.pixels.size() * 4);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t p = picture.pixels[i];
    rows[4 * i] = static_cast<uint8_t>(p >> 16);
    rows[4 * i + 1] = static_cast<uint8_t>(p >> 8);
    rows[4 * i + 2] = static_cast<uint8_t>(p);
    rows[4 * i + 3] = static_cast<uint8_t>(p >> 24);
  }
  std::vector<uint8_t> file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  // libpng reports its errors by longjmp; nothing here owns anything that a
  // jump would skip the release of.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &file, appendBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  for (int y = 0; y < picture.height; ++y)
    png_write_row(png, rows.data() + static_cast<size_t>(y) * picture.width * 4);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return file;
}

}  // namespace vorlith::assets
