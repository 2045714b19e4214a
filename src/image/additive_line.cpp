#include "image/additive_line.h"

namespace vorlith {

void drawAdditiveLine(Image&, int, int, int, int, uint32_t, int) {}

}  // namespace vorlith
