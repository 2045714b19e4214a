#pragma once
#include <cstdint>
#include <memory>

#include "base/kernel_dispatch.h"
#include "image/image.h"

namespace vorlith {

// The glow of a few coloured point lights on black, written over a whole
// frame. Each light's strength falls off as the inverse of the distance; the
// overbright rule turns its core white; the lights add up, each channel held
// at 255 after every light.
class LightField {
 public:
  // One light: where it stands, the colour as last given, and its channels.
  struct Light {
    int32_t x;
    int32_t y;
    int32_t colour;
    int32_t red;
    int32_t green;
    int32_t blue;
  };

  // Sizes the field (the frame it is rendered into) and builds the intensity
  // table; every light starts at (0, 0) in black. Leaves the field empty (no
  // lights, size 0) when memory is short.
  void init(int lightCount, int32_t width, int32_t height);
  // Both do nothing for an index outside 0..lightCount - 1.
  void setLightPosition(int index, int x, int y);
  void setLightColour(int index, uint32_t colour);
  // Overwrites width x height words of the target, row after row. A target
  // that is not a 32-bit image of exactly the field's size is left alone.
  // A light outside the field lights only the pixels whose
  // offset from it falls within the table; elsewhere it adds nothing.
  void render(Image& target);
  // Safe before init and when called twice.
  void destroy();

  int32_t lightCount = 0;
  std::unique_ptr<Light[]> lights;
  int32_t width = 0;
  int32_t height = 0;

 private:
  // The strength of a light by offset (lightIntensity, height rows of width
  // offsets) truncated to whole intensities and held at 255, each row laid
  // out mirrored (2 * width - 1 entries, distance 0 in the middle) so that
  // one light's intensities along a row of the frame are consecutive bytes.
  std::unique_ptr<uint8_t[]> levels_;
  // Per light, what each intensity 0..255 adds to a pixel: the three
  // overbright contributions, each held at 255, packed like a pixel.
  std::unique_ptr<uint32_t[]> additions_;
};

// The strength of a light at offset (dx, dy): 9e9 / (distance * 7e6) rounded
// to float, 1285 at the light itself.
float lightIntensity(int dx, int dy);

// The saturating adds of one light along one stretch of a frame row: for
// each word, every byte of it plus the same byte of additions[levels[i]],
// held at 255. Picked once for the processor like the raster kernels.
void addLightSpan(uint32_t* row, const uint8_t* levels, const uint32_t* additions, int count);

// One form of addLightSpan.
struct LightSpanForm {
  const char* name;
  void (*addSpan)(uint32_t* row, const uint8_t* levels, const uint32_t* additions, int count);
};

// Every form of addLightSpan this processor can run, the widest first and the
// plain one last.
const KernelForms<LightSpanForm>& lightSpanForms();

}  // namespace vorlith
