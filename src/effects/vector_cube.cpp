#include "effects/vector_cube.h"

namespace vorlith {

void VectorCube::init(int n) { capacity = drawCount = n; }
void VectorCube::setRotation(int, int, int) {}
void VectorCube::draw(Image&) {}
void VectorCube::destroy() {}

}  // namespace vorlith
