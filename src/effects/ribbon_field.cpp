#include "effects/ribbon_field.h"

namespace vorlith {

void RibbonField::init() {}
void RibbonField::loadTexture() {}
void RibbonField::render(Image&) {}
void RibbonField::destroy() {}

}  // namespace vorlith
