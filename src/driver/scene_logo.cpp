#include "driver/scenes.h"
#include "driver/show.h"

namespace vorlith {

void sceneLogoFrame(Show& show) { show.clearAfterPresent = false; }

}  // namespace vorlith
