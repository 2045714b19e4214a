#include "driver/scenes.h"
#include "driver/show.h"

namespace vorlith {

void layoutBlobSpiral(BlobField&, int) {}

void sceneRibbonsFirst(Show&) {}

void sceneRibbonsFrame(Show& show) { show.clearAfterPresent = true; }

}  // namespace vorlith
