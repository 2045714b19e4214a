#include "driver/scenes.h"
#include "driver/show.h"

namespace vorlith {

void sceneEndFrame(Show& show) { show.clearAfterPresent = true; }

}  // namespace vorlith
