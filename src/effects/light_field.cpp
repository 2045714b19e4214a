#include "effects/light_field.h"

#include <algorithm>
#include <cmath>

#include "effects/overbright.h"

namespace vorlith {

float lightIntensity(int dx, int dy) {
  // At the light itself the formula would divide by zero; 1285 is a little
  // less than the 1285.714 at distance 1.
  if (dx == 0 && dy == 0) return 1285.0f;
  const double squared = static_cast<double>(int64_t{dx} * dx + int64_t{dy} * dy);
  return static_cast<float>(9000000000.0 / (std::sqrt(squared) * 7000000.0));
}

void LightField::init(int count, int32_t fieldWidth, int32_t fieldHeight) {
  destroy();
  const int32_t w = std::max(0, fieldWidth);
  const int32_t h = std::max(0, fieldHeight);
  const int32_t n = std::max(0, count);
  const size_t mirroredWidth = w > 0 ? 2 * static_cast<size_t>(w) - 1 : 0;

  // Zeroed: every light starts at (0, 0) in black.
  lights = zeroedArray<Light>(static_cast<size_t>(n));
  additions_ = zeroedArray<uint32_t>(static_cast<size_t>(n) * 256);
  levels_ = zeroedArray<uint8_t>(mirroredWidth * static_cast<size_t>(h));
  if (!lights || !additions_ || !levels_) {
    destroy();
    return;
  }

  lightCount = n;
  width = w;
  height = h;
  for (int32_t dy = 0; dy < h; ++dy) {
    uint8_t* middle = levels_.get() + static_cast<size_t>(dy) * mirroredWidth + (w - 1);
    for (int32_t dx = 0; dx < w; ++dx) {
      // Whole intensities, truncated and held at 255, exactly as render
      // would take them from the float entry.
      const float entry = lightIntensity(dx, dy);
      const uint8_t level = static_cast<uint8_t>(entry > 255.0f ? 255 : static_cast<int>(entry));
      middle[dx] = level;
      middle[-dx] = level;
    }
  }
}

void LightField::setLightPosition(int index, int x, int y) {
  if (index < 0 || index >= lightCount) return;
  lights[index].x = x;
  lights[index].y = y;
}

void LightField::setLightColour(int index, uint32_t colour) {
  if (index < 0 || index >= lightCount) return;
  Light& light = lights[index];
  light.colour = static_cast<int32_t>(colour);
  light.red = static_cast<int32_t>((colour >> 16) & 0xFF);
  light.green = static_cast<int32_t>((colour >> 8) & 0xFF);
  light.blue = static_cast<int32_t>(colour & 0xFF);
}

void LightField::render(Image& target) {
  if (!imageIs(&target, width, height) || width == 0) return;

  // What each intensity adds with each light's colour; a contribution above
  // 255 is held there, which changes nothing since every sum is held at 255.
  for (int32_t i = 0; i < lightCount; ++i) {
    const Light& light = lights[i];
    overbrightAdditions(light.red, light.green, light.blue, additions_.get() + static_cast<size_t>(i) * 256);
  }

  const int64_t mirroredWidth = 2 * int64_t{width} - 1;
  uint32_t* row = imageWords(target);
  for (int32_t y = 0; y < height; ++y, row += width) {
    std::fill(row, row + width, 0u);
    for (int32_t i = 0; i < lightCount; ++i) {
      const Light& light = lights[i];
      // Only where the offset from the light lies within the table; a light
      // inside the field reaches every pixel.
      const int64_t dy = std::abs(int64_t{light.y} - y);
      if (dy >= height) continue;
      const int64_t first = std::max<int64_t>(0, int64_t{light.x} - (width - 1));
      const int64_t last = std::min<int64_t>(width - 1, int64_t{light.x} + (width - 1));
      if (first > last) continue;
      const uint8_t* levels = levels_.get() + dy * mirroredWidth + (width - 1) + (first - light.x);
      addLightSpan(row + first, levels, additions_.get() + static_cast<size_t>(i) * 256,
                   static_cast<int>(last - first + 1));
    }
  }
}

void LightField::destroy() {
  lights.reset();
  levels_.reset();
  additions_.reset();
  lightCount = 0;
  width = 0;
  height = 0;
}

}  // namespace vorlith
