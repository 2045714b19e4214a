#include "driver/scenes.h"
#include "driver/show.h"

namespace vorlith {

void sceneTunnelFirst(Show&) {}

void sceneTunnelFrame(Show& show) { show.clearAfterPresent = false; }

}  // namespace vorlith
