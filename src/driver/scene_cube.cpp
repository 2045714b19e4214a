#include "driver/scenes.h"
#include "driver/show.h"

namespace vorlith {

void sceneCubeFrame(Show& show) { show.clearAfterPresent = true; }

}  // namespace vorlith
