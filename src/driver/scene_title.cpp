#include "driver/scenes.h"
#include "driver/show.h"

namespace vorlith {

void orbitLights(LightField&, int) {}

void sceneTitleFrame(Show& show) { show.clearAfterPresent = true; }

}  // namespace vorlith
