#include "paint.h"

#include <algorithm>
#include <cmath>

namespace vorlith::assets {

Colour hex(uint32_t rgb) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

double smoothstep(double edge0, double edge1, double x) {
  const double t = clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

Colour Ramp::operator()(double t) const {
  if (stops_.empty()) return {};
  if (t <= stops_.front().first) return stops_.front().second;
  for (size_t i = 1; i < stops_.size(); ++i)
    if (t < stops_[i].first) {
      const auto& [t0, c0] = stops_[i - 1];
      const auto& [t1, c1] = stops_[i];
      return mix(c0, c1, (t - t0) / (t1 - t0));
    }
  return stops_.back().second;
}

uint32_t pack(Colour c) {
  auto channel = [](double v) { return static_cast<uint32_t>(std::lround(clamp01(v) * 255.0)); };
  return (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

uint32_t hash32(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

double hashUnit(uint32_t x, uint32_t y, uint32_t seed) { return hash32(x, y, seed) / 4294967295.0; }

uint32_t Random::next() {
  // PCG-XSH-RR
  const uint64_t old = state_;
  state_ = old * 6364136223846793005ull + 1442695040888963407ull;
  const uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
  const uint32_t rot = static_cast<uint32_t>(old >> 59u);
  return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
}

double Random::unit() { return next() / 4294967295.0; }
double Random::range(double lo, double hi) { return lo + (hi - lo) * unit(); }

double tiledNoise(double x, double y, int periodX, int periodY, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const double tx = x - fx, ty = y - fy;
  auto wrap = [](double v, int period) {
    const long long p = period, i = static_cast<long long>(v) % p;
    return static_cast<uint32_t>(i < 0 ? i + p : i);
  };
  const uint32_t x0 = wrap(fx, periodX), x1 = wrap(fx + 1, periodX);
  const uint32_t y0 = wrap(fy, periodY), y1 = wrap(fy + 1, periodY);
  auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
  const double sx = fade(tx), sy = fade(ty);
  const double a = hashUnit(x0, y0, seed), b = hashUnit(x1, y0, seed);
  const double c = hashUnit(x0, y1, seed), d = hashUnit(x1, y1, seed);
  return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

double tiledFractal(double x, double y, int periodX, int periodY, int octaves, uint32_t seed) {
  double sum = 0, weight = 0, amplitude = 1;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * tiledNoise(x, y, periodX, periodY, seed + static_cast<uint32_t>(o) * 7919u);
    weight += amplitude;
    amplitude *= 0.5;
    x *= 2;
    y *= 2;
    periodX *= 2;
    periodY *= 2;
  }
  return sum / weight;
}

namespace {

// A squared distance standing for "no seed pixel on this line": large enough
// to lose against every real distance, small enough to keep the arithmetic finite.
constexpr double noSeed = 1e20;

// One-dimensional squared distance transform of a sampled function (lower
// envelope of parabolas, Felzenszwalb and Huttenlocher), in place over f[0..n).
void distance1d(std::vector<double>& f, int n, std::vector<double>& d, std::vector<int>& v, std::vector<double>& z) {
  int k = 0;
  v[0] = 0;
  z[0] = -noSeed * 4;
  z[1] = noSeed * 4;
  for (int q = 1; q < n; ++q) {
    double s = ((f[q] + double(q) * q) - (f[v[k]] + double(v[k]) * v[k])) / (2.0 * q - 2.0 * v[k]);
    while (s <= z[k] && k > 0) {
      --k;
      s = ((f[q] + double(q) * q) - (f[v[k]] + double(v[k]) * v[k])) / (2.0 * q - 2.0 * v[k]);
    }
    if (s <= z[k]) {  // k == 0: the new parabola replaces the first one
      v[0] = q;
      z[1] = noSeed * 4;
      continue;
    }
    ++k;
    v[k] = q;
    z[k] = s;
    z[k + 1] = noSeed * 4;
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[k + 1] < q) ++k;
    const double dq = q - v[k];
    d[q] = dq * dq + f[v[k]];
  }
  for (int q = 0; q < n; ++q) f[q] = d[q];
}

// Squared distance from each pixel to the nearest pixel where `seed` is set
// (noSeed or more when there is none).
std::vector<double> squaredDistance(const std::vector<uint8_t>& seed, int w, int h) {
  std::vector<double> grid(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < grid.size(); ++i) grid[i] = seed[i] ? 0 : noSeed;
  const int n = std::max(w, h);
  std::vector<double> f(n), d(n), z(n + 1);
  std::vector<int> v(n);
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < h; ++y) f[y] = grid[static_cast<size_t>(y) * w + x];
    distance1d(f, h, d, v, z);
    for (int y = 0; y < h; ++y) grid[static_cast<size_t>(y) * w + x] = f[y];
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) f[x] = grid[static_cast<size_t>(y) * w + x];
    distance1d(f, w, d, v, z);
    for (int x = 0; x < w; ++x) grid[static_cast<size_t>(y) * w + x] = f[x];
  }
  return grid;
}

}  // namespace

std::vector<float> signedDistance(const std::vector<uint8_t>& inside, int width, int height) {
  std::vector<uint8_t> outside(inside.size());
  for (size_t i = 0; i < inside.size(); ++i) outside[i] = inside[i] ? 0 : 1;
  const std::vector<double> toOutside = squaredDistance(outside, width, height);
  const std::vector<double> toInside = squaredDistance(inside, width, height);
  std::vector<float> d(inside.size());
  constexpr double far = 1e6;
  for (size_t i = 0; i < d.size(); ++i) {
    // Half a pixel puts the edge between the last inside and first outside centres.
    const double in = toOutside[i] >= noSeed ? far : std::sqrt(toOutside[i]);
    const double out = toInside[i] >= noSeed ? far : std::sqrt(toInside[i]);
    d[i] = static_cast<float>(inside[i] ? in - 0.5 : -(out - 0.5));
  }
  return d;
}

Canvas::Canvas(int pictureWidth, int pictureHeight, int samplesPerPixel)
    : width(pictureWidth * samplesPerPixel),
      height(pictureHeight * samplesPerPixel),
      scale(samplesPerPixel),
      colour(static_cast<size_t>(width) * height),
      coverage(static_cast<size_t>(width) * height, 0.0f) {}

bool nearKey(uint32_t p) {
  const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return r >= 0xC0 && g <= 0x30 && b <= 0x30;
}

Picture reduce(const Canvas& c, bool keyed) {
  Picture p;
  p.width = c.width / c.scale;
  p.height = c.height / c.scale;
  p.pixels.resize(static_cast<size_t>(p.width) * p.height);
  const double samples = double(c.scale) * c.scale;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      Colour sum;
      double cover = 0;
      for (int sy = 0; sy < c.scale; ++sy)
        for (int sx = 0; sx < c.scale; ++sx) {
          const size_t i = static_cast<size_t>(y * c.scale + sy) * c.width + (x * c.scale + sx);
          sum = sum + c.colour[i];
          cover += c.coverage[i];
        }
      cover /= samples;
      uint32_t word = pack(sum * (1.0 / samples));
      if (keyed) {
        if (cover < 1.0 / 32) {
          word = colourKey;
        } else if (nearKey(word)) {
          // Pull a too-pure red towards orange so it can never read as the key.
          const uint32_t r = (word >> 16) & 0xFF;
          word = (word & 0xFF00FF) | (std::max<uint32_t>((word >> 8) & 0xFF, r / 4 + 0x10) << 8);
        }
      }
      p.at(x, y) = word;
    }
  return p;
}

}  // namespace vorlith::assets
