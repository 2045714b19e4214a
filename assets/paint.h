#pragma once
// Small painting kit for the generated pictures: colours in 0..1 floating
// point, colour ramps, hashed noise that tiles, a Euclidean distance transform
// and supersampled canvases reduced to packed pixels.
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "tga_writer.h"

namespace vorlith::assets {

struct Colour {
  double r = 0, g = 0, b = 0;
};
inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour operator-(Colour a, Colour b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Colour operator*(Colour a, double k) { return {a.r * k, a.g * k, a.b * k}; }
inline Colour operator*(Colour a, Colour b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Colour mix(Colour a, Colour b, double t) { return a + (b - a) * t; }
// 0xRRGGBB as a colour.
Colour hex(uint32_t rgb);

double clamp01(double v);
double smoothstep(double edge0, double edge1, double x);

// A piecewise-linear colour ramp over t in 0..1 (stops in increasing t).
class Ramp {
 public:
  Ramp(std::initializer_list<std::pair<double, Colour>> stops) : stops_(stops) {}
  Colour operator()(double t) const;

 private:
  std::vector<std::pair<double, Colour>> stops_;
};

// A colour in 0..1 per channel as 0x00RRGGBB, rounded and clamped.
uint32_t pack(Colour c);

// Deterministic hashing: the same arguments always give the same value.
uint32_t hash32(uint32_t x, uint32_t y, uint32_t seed);
double hashUnit(uint32_t x, uint32_t y, uint32_t seed);  // 0..1

// A small deterministic random generator.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 2 + 1) {}
  uint32_t next();
  double unit();                         // 0..1
  double range(double lo, double hi);   // lo..hi

 private:
  uint64_t state_;
};

// Value noise on a lattice that wraps every periodX cells in x and periodY
// cells in y, so noise(x + periodX, y) == noise(x, y). Smooth (quintic)
// interpolation, 0..1.
double tiledNoise(double x, double y, int periodX, int periodY, uint32_t seed);
// Several octaves of tiledNoise, each doubling frequency and periods; 0..1.
double tiledFractal(double x, double y, int periodX, int periodY, int octaves, uint32_t seed);

// Distances, in pixels, from every pixel to the nearest pixel whose flag
// differs, measured centre to centre: positive inside (flag set), negative
// outside. Exact Euclidean distance (two-pass separable transform).
std::vector<float> signedDistance(const std::vector<uint8_t>& inside, int width, int height);

// A supersampled canvas: colours premultiplied by coverage at `scale` samples
// per picture pixel in each direction.
struct Canvas {
  Canvas(int pictureWidth, int pictureHeight, int samplesPerPixel);
  int width, height, scale;  // in samples
  std::vector<Colour> colour;
  std::vector<float> coverage;
  void put(int x, int y, Colour c, double cover) {
    const size_t i = static_cast<size_t>(y) * width + x;
    colour[i] = c * cover;
    coverage[i] = static_cast<float>(cover);
  }
};

// The canvas reduced to a picture. Colours are averaged over each pixel's
// samples, uncovered samples counting as black, so edges fade to black.
// With keyed set, pixels whose coverage is below 1/32 become the colour key
// (0x00FF0000, top byte 0), and no other pixel is allowed near that key.
Picture reduce(const Canvas& canvas, bool keyed);

// The colour key of every keyed picture.
inline constexpr uint32_t colourKey = 0x00FF0000;
// True for a colour a viewer could take for the key: strong red with little
// green and blue (the key itself included).
bool nearKey(uint32_t pixel);

}  // namespace vorlith::assets
