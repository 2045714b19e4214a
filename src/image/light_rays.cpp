#include "image/light_rays.h"

namespace vorlith {

void drawLightRay(const Image&, Image&, int, int, int, int) {}
void drawLightRays(const Image&, Image&, int, int) {}

}  // namespace vorlith
