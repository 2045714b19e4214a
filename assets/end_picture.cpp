// The closing picture: a dusk sky with stars, a low striped sun behind a
// mountain range, a glowing perspective grid on the plain, and "THE END".
#include <algorithm>
#include <cmath>

#include "base/exact_math.h"
#include "lettering.h"
#include "paint.h"
#include "pictures.h"

namespace vorlith::assets {

namespace {

constexpr int width = 320, height = 200;
constexpr int samples = 4;
constexpr double horizon = 132.0;
constexpr double sunX = 160.0, sunY = 108.0, sunRadius = 50.0;

struct Star {
  double x, y, size, brightness;
  Colour tint;
};

// Stars sorted into 8x8-pixel cells, each cell listing the stars near it.
struct StarField {
  static constexpr int cell = 8, columns = width / cell, rows = height / cell;
  std::vector<Star> stars;
  std::vector<std::vector<int>> near = std::vector<std::vector<int>>(columns * rows);
  const std::vector<int>& at(double x, double y) const {
    const int cx = std::clamp(static_cast<int>(x) / cell, 0, columns - 1);
    const int cy = std::clamp(static_cast<int>(y) / cell, 0, rows - 1);
    return near[static_cast<size_t>(cy) * columns + cx];
  }
};

std::vector<Star> makeStars() {
  Random random(1987);
  std::vector<Star> stars;
  while (stars.size() < 170) {
    Star s;
    s.x = random.range(0, width);
    s.y = random.range(0, horizon - 20);
    // Fewer stars low in the glowing part of the sky.
    if (random.unit() > 1.15 - s.y / (horizon - 20)) continue;
    const double r = random.unit();
    s.size = r > 0.96 ? 0.75 : (r > 0.8 ? 0.5 : 0.36);
    s.brightness = random.range(0.35, 1.0) * (1.0 - 0.6 * s.y / horizon);
    // One draw per statement: the order of arguments' evaluation is not fixed.
    const Colour hue = random.unit() > 0.5 ? hex(0xA8C8FF) : hex(0xFFD8B0);
    const double tinted = random.range(0.0, 0.6);
    s.tint = mix(hex(0xFFFFFF), hue, tinted);
    stars.push_back(s);
  }
  return stars;
}

Colour skyColour(double y) {
  static const Ramp sky{{0.0, hex(0x05021A)},  {0.30, hex(0x160838)}, {0.55, hex(0x3C0F5C)},
                        {0.78, hex(0x8A1F6C)}, {0.92, hex(0xD8485E)}, {1.0, hex(0xFF9A5A)}};
  return sky(y / horizon);
}

// The sun: yellow at the top to hot pink at the bottom, cut by horizontal
// gaps that grow towards the horizon.
double sunCover(double x, double y) {
  const double d = std::hypot(x - sunX, y - sunY);
  const double disc = clamp01(sunRadius - d + 0.5);
  if (disc <= 0) return 0;
  const double below = y - (sunY - 8);
  if (below <= 0) return disc;
  const double band = 7.0;
  const double k = std::floor(below / band);
  const double gap = 0.8 + k * 0.9;
  const double within = below - k * band;
  return within < gap ? 0 : disc;
}

Colour sunColour(double y) {
  static const Ramp sun{{0.0, hex(0xFFF6A0)}, {0.3, hex(0xFFD040)}, {0.55, hex(0xFF8A3A)}, {0.8, hex(0xFF3A78)}, {1.0, hex(0xE0209A)}};
  return sun((y - (sunY - sunRadius)) / (2 * sunRadius));
}

// Height of the mountain range above the horizon at column x: low in the
// middle so the sun shows, rising to both sides.
double mountainHeight(double x) {
  const double side = smoothstep(20, 150, std::fabs(x - sunX));
  const double ridge = tiledFractal(x / 23.0, 3.5, 64, 64, 4, 77);
  const double wave = exactSin(x * 0.045 + 1.3);
  const double peaks = wave * wave;
  return 3 + side * (10 + 26 * ridge + 10 * peaks);
}

Colour groundColour(double x, double y) {
  const double below = y - horizon;
  Colour c = mix(hex(0x2A0C40), hex(0x050112), smoothstep(0, 68, below));
  // Perspective grid: a camera 1 unit above the plain with a focal length of 110.
  constexpr double focal = 110.0, camera = 1.0, spacing = 0.6;
  const double z = camera * focal / below;
  const double dzdy = camera * focal / (below * below);
  const double u = z / spacing;
  const double rowDistance = std::fabs(u - std::round(u)) / (dzdy / spacing);  // in pixels
  const double wx = (x - sunX) * z / focal;
  const double v = wx / spacing;
  const double colDistance = std::fabs(v - std::round(v)) / (z / (focal * spacing));
  const double lineWidth = 0.55;
  double line = std::max(clamp01(1 - rowDistance / lineWidth), clamp01(1 - colDistance / lineWidth));
  const double glow = std::max(std::exp(-rowDistance / 1.6), std::exp(-colDistance / 1.6)) * 0.3;
  // Lines crowd and fade towards the horizon, and dim far to the sides.
  const double fade = smoothstep(1.0, 18, below) * (1 - 0.5 * smoothstep(60, 160, std::fabs(x - sunX)));
  line *= fade;
  const Colour grid = mix(hex(0xFF2EA8), hex(0x3CC8FF), smoothstep(10, 70, below));
  c = c + grid * (line + glow * fade);
  // The sun's reflection: a warm streak that breaks up on the plain.
  const double across = (x - sunX) / 26.0;
  const double streak = std::exp(-across * across) * std::exp(-below / 30.0);
  const double ripple = 0.5 + 0.5 * exactSin(below * below * 0.09);
  c = c + hex(0xFF6A5A) * (0.35 * streak * ripple);
  return c;
}

StarField makeStarField() {
  StarField field;
  field.stars = makeStars();
  for (size_t i = 0; i < field.stars.size(); ++i) {
    const Star& s = field.stars[i];
    const int x0 = std::max(0, static_cast<int>(s.x - 5) / StarField::cell);
    const int x1 = std::min(StarField::columns - 1, static_cast<int>(s.x + 5) / StarField::cell);
    const int y0 = std::max(0, static_cast<int>(s.y - 5) / StarField::cell);
    const int y1 = std::min(StarField::rows - 1, static_cast<int>(s.y + 5) / StarField::cell);
    for (int cy = y0; cy <= y1; ++cy)
      for (int cx = x0; cx <= x1; ++cx) field.near[static_cast<size_t>(cy) * StarField::columns + cx].push_back(static_cast<int>(i));
  }
  return field;
}

Colour backdrop(double x, double y, const StarField& field) {
  if (y >= horizon) {
    Colour c = groundColour(x, y);
    c = c + hex(0xFF7AB0) * (0.9 * std::exp(-(y - horizon) / 1.2));  // the horizon line
    return c;
  }
  Colour c = skyColour(y);
  for (int i : field.at(x, y)) {
    const Star& s = field.stars[static_cast<size_t>(i)];
    const double dx = x - s.x, dy = y - s.y;
    if (std::fabs(dx) > 4 || std::fabs(dy) > 4) continue;
    const double r2 = (dx * dx + dy * dy) / (s.size * s.size);
    double light = std::exp(-r2) * s.brightness;
    if (s.size > 0.7)  // the brightest stars get a small cross flare
      light += s.brightness * 0.35 * (std::exp(-dy * dy * 8) * std::exp(-std::fabs(dx)) +
                                      std::exp(-dx * dx * 8) * std::exp(-std::fabs(dy)));
    c = c + s.tint * light;
  }
  // Glow around the sun.
  const double d = std::hypot(x - sunX, y - sunY);
  c = c + hex(0xFF5A6A) * (0.55 * std::exp(-std::max(0.0, d - sunRadius) / 16.0));
  const double cover = sunCover(x, y);
  c = mix(c, sunColour(y), cover);
  // Mountains in front of the sun, with a rim of light on their ridges.
  const double top = horizon - mountainHeight(x);
  if (y > top) {
    const double depth = y - top;
    Colour m = mix(hex(0x3A1450), hex(0x12061E), smoothstep(0, 18, depth));
    m = m + hex(0xFF6A8A) * (0.55 * std::exp(-depth / 1.3));
    c = mix(c, m, clamp01(depth * samples));
  }
  c = c + hex(0xFF7AB0) * (0.9 * std::exp(-(horizon - y) / 1.2));
  return c;
}

}  // namespace

Picture makeEndPicture() {
  Canvas canvas(width, height, samples);
  const StarField stars = makeStarField();
  for (int sy = 0; sy < canvas.height; ++sy)
    for (int sx = 0; sx < canvas.width; ++sx) {
      const double x = (sx + 0.5) / samples, y = (sy + 0.5) / samples;
      canvas.put(sx, sy, backdrop(x, y, stars), 1.0);
    }

  TextStyle style;
  style.capHeight = 38.0 * samples;
  style.widen = 1.2;
  style.embolden = 0.07;
  style.slant = 0.14;
  style.tracking = 0.08;
  ChromeStyle chrome;
  chrome.ramp = chromeRamp();
  chrome.outline = 2.0;
  chrome.bevel = 2.6;
  const TextMask text = fitText("THE END", style, 250.0 * samples, 38.0 * samples);
  if (text.ok()) paintChrome(canvas, text, (canvas.width - text.width) / 2, 33 * samples - text.height / 2, chrome);
  return reduce(canvas, false);
}

}  // namespace vorlith::assets
