#include "effects/light_field.h"

namespace vorlith {

void LightField::init(int count, const Image&) { lightCount = count; }
void LightField::setLightPosition(int, int, int) {}
void LightField::setLightColour(int, uint32_t) {}
void LightField::render(Image&) {}
void LightField::destroy() {}

}  // namespace vorlith
