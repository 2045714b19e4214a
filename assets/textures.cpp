// The effects' textures: the blob glow, the column's specular lightmap and
// surface, and the tunnel's paletted panels.
#include <algorithm>
#include <cmath>

#include "paint.h"
#include "pictures.h"

namespace vorlith::assets {

namespace {

uint32_t grey(double v) {
  const uint32_t c = static_cast<uint32_t>(std::lround(clamp01(v) * 255.0));
  return (c << 16) | (c << 8) | c;
}

// Distance to the nearest and second-nearest feature point of a jittered
// grid of cells x cells that wraps around a 256x256 square.
struct CellDistance {
  double nearest = 1e9, second = 1e9;
  uint32_t id = 0;  // the nearest point's cell
};

CellDistance cellDistance(double x, double y, int cells, uint32_t seed) {
  const double size = 256.0 / cells;
  const int cx = static_cast<int>(std::floor(x / size)), cy = static_cast<int>(std::floor(y / size));
  CellDistance d;
  for (int j = -2; j <= 2; ++j)
    for (int i = -2; i <= 2; ++i) {
      const int gx = cx + i, gy = cy + j;
      const uint32_t wx = static_cast<uint32_t>((gx % cells + cells) % cells);
      const uint32_t wy = static_cast<uint32_t>((gy % cells + cells) % cells);
      const double px = (gx + 0.15 + 0.7 * hashUnit(wx, wy, seed)) * size;
      const double py = (gy + 0.15 + 0.7 * hashUnit(wx, wy, seed + 1)) * size;
      const double dist = std::hypot(px - x, py - y);
      if (dist < d.nearest) {
        d.second = d.nearest;
        d.nearest = dist;
        d.id = wy * static_cast<uint32_t>(cells) + wx;
      } else if (dist < d.second) {
        d.second = dist;
      }
    }
  return d;
}

}  // namespace

Picture makeBlob(int size) {
  Picture p{size, size, std::vector<uint32_t>(static_cast<size_t>(size) * size)};
  const double centre = size / 2, radius = size / 2;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double t = std::min(1.0, std::hypot(x - centre, y - centre) / radius);
      const double f = (1 - t * t) * (1 - t * t);
      p.at(x, y) = grey(f);
    }
  return p;
}

Picture makeLightmap() {
  // Dim when the surface is seen edge-on, rising with how squarely it faces
  // the viewer, with a narrow specular peak at the end.
  constexpr int width = 256, height = 4;
  Picture p{width, height, std::vector<uint32_t>(width * height)};
  for (int x = 0; x < width; ++x) {
    const double t = std::min(1.0, x / 254.0);
    const double v = 0.06 + 0.62 * t + 0.32 * std::pow(t, 20.0);
    for (int y = 0; y < height; ++y) p.at(x, y) = grey(v);
  }
  return p;
}

Picture makeVoxelTexture() {
  // Bevelled metal plates in a cellular pattern, divided by dark grooves and
  // crossed by thin glowing veins; every term wraps at 256 so the texture tiles.
  constexpr int size = 256;
  auto wrap = [](int v) { return static_cast<size_t>(v & (size - 1)); };
  std::vector<CellDistance> cells(size * size);
  std::vector<double> height(size * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const CellDistance cd = cellDistance(x + 0.5, y + 0.5, 8, 11);
      cells[wrap(y) * size + wrap(x)] = cd;
      // Plates rise over 5 pixels from the groove and are flat on top.
      const double e = clamp01((cd.second - cd.nearest) / 5.0);
      height[wrap(y) * size + wrap(x)] = 1 - (1 - e) * (1 - e);
    }

  Picture p{size, size, std::vector<uint32_t>(size * size)};
  const Ramp plate{{0.0, hex(0x34445E)}, {0.45, hex(0x687A96)}, {0.75, hex(0x94866E)}, {1.0, hex(0xC0A884)}};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const CellDistance& cd = cells[wrap(y) * size + wrap(x)];
      const double edge = cd.second - cd.nearest;  // 0 on a border between plates
      const double tone = hashUnit(cd.id, 0, 5);
      const double grain = tiledFractal(x / 8.0, y / 64.0, 32, 4, 3, 21);  // brushed along y
      const double mottle = tiledFractal(x / 32.0, y / 32.0, 8, 8, 4, 33);
      Colour c = plate(clamp01(0.2 + 0.6 * tone + 0.35 * (mottle - 0.5)));
      c = c * (0.85 + 0.3 * grain);
      // Light from the upper left on the bevels.
      const double dx = height[wrap(y) * size + wrap(x + 1)] - height[wrap(y) * size + wrap(x - 1)];
      const double dy = height[wrap(y + 1) * size + wrap(x)] - height[wrap(y - 1) * size + wrap(x)];
      const double light = std::clamp(1.0 - 1.6 * (dx + dy), 0.3, 1.8);
      c = c * light;
      c = mix(hex(0x06080C), c, smoothstep(0.3, 1.4, edge));
      // Veins: thin ridges of a wrapped noise field, glowing cyan with a soft halo.
      const double n = tiledFractal(x * 3.0 / 256, y * 3.0 / 256, 3, 3, 3, 47);
      const double ridge = 1 - std::fabs(2 * n - 1);
      const double core = smoothstep(0.955, 0.99, ridge);
      const double halo = smoothstep(0.86, 0.99, ridge);
      c = mix(c, c * 0.55, halo);  // the metal darkens around a vein
      c = c + hex(0x30C8FF) * (0.55 * halo * halo) + hex(0xC8F4FF) * (0.9 * core);
      p.at(x, y) = pack(c);
    }
  return p;
}

TunnelTexture makeTunnelTexture() {
  // Palette: entries 0..191 a cool steel ramp from black, 192..255 a warm
  // ramp for the lamps. The tunnel shows an entry at level 32 as it is and
  // up to twice as bright where its light is strongest, so the steel stays at
  // mid brightness and the lamps burn out to white.
  TunnelTexture t;
  t.colourMap.resize(768);
  const Ramp steel{{0.0, hex(0x020208)}, {0.35, hex(0x1E2040)}, {0.7, hex(0x505C84)}, {1.0, hex(0x8C9CB8)}};
  const Ramp lamp{{0.0, hex(0x301008)}, {0.4, hex(0xA04010)}, {0.75, hex(0xF09030)}, {1.0, hex(0xFFE0A0)}};
  for (int i = 0; i < 256; ++i) {
    const uint32_t c = i < 192 ? pack(steel(i / 191.0)) : pack(lamp((i - 192) / 63.0));
    t.colourMap[i * 3] = static_cast<uint8_t>(c >> 16);  // red first: the tunnel reads it so
    t.colourMap[i * 3 + 1] = static_cast<uint8_t>(c >> 8);
    t.colourMap[i * 3 + 2] = static_cast<uint8_t>(c);
  }

  // Texture: columns run along the tunnel, rows around it. Panels of 32x32
  // with bevelled edges and rivets; every fourth column of panels is a ring
  // of girders carrying a strip of lamps.
  t.indices.resize(65536);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      // Shifted by half a panel so the wrap from column 255 to 0 falls inside panels.
      const int sx = (x + 16) & 255;
      const int px = sx / 32, py = y / 32, lx = sx % 32, ly = y % 32;
      const bool ring = px % 4 == 3;
      double b;         // steel brightness 0..1
      double lampOn = -1;  // 0..1 where a lamp shows
      if (ring) {
        // Girder: a darker band with ribs, and a lamp strip through its middle.
        const double rib = (ly % 8 < 2) ? 0.25 : 0.0;
        b = 0.42 + rib - 0.25 * smoothstep(10, 16, std::fabs(lx - 15.5));
        if (std::fabs(lx - 15.5) < 3.0 && ly % 8 >= 2) lampOn = 1.0 - std::fabs(lx - 15.5) / 3.0;
      } else {
        const double tone = 0.5 + 0.25 * (hashUnit(static_cast<uint32_t>(px), static_cast<uint32_t>(py), 9) - 0.5);
        const double grain = tiledFractal(sx / 16.0, y / 4.0, 16, 64, 3, 17);
        b = tone + 0.18 * (grain - 0.5);
        // Bevel: light on the two edges facing the light, dark on the others.
        if (lx == 0 || ly == 0) b = 0.86;
        else if (lx == 1 || ly == 1) b += 0.18;
        if (lx == 31 || ly == 31) b = 0.06;
        else if (lx == 30 || ly == 30) b -= 0.15;
        // Rivets inside each corner.
        for (const int rx : {4, 27})
          for (const int ry : {4, 27}) {
            const double d = std::hypot(lx - rx, ly - ry);
            if (d < 1.8) b = 0.95 - 0.25 * (lx - rx + ly - ry > 0 ? 1 : 0);
            else if (d < 2.4) b = 0.12;
          }
        // Some panels carry vents: dark slots.
        if (hashUnit(static_cast<uint32_t>(px), static_cast<uint32_t>(py), 3) > 0.6 && lx >= 8 && lx <= 23 &&
            ly >= 9 && ly <= 22 && ly % 4 < 2)
          b = (ly % 4 == 0) ? 0.05 : 0.2;
      }
      uint8_t index;
      if (lampOn >= 0)
        index = static_cast<uint8_t>(192 + std::lround(clamp01(0.55 + 0.45 * lampOn) * 63));
      else
        index = static_cast<uint8_t>(std::lround(clamp01(b) * 191));
      t.indices[static_cast<size_t>(y) * 256 + x] = index;
    }
  return t;
}

}  // namespace vorlith::assets
