#include "effects/blob_field.h"

namespace vorlith {

void BlobField::init(int count) {
  particles = new BlobParticle[count];
  particleCount = count;
}
void BlobField::setRotation(int, int, int) {}
void BlobField::setParticlePosition(int, int, int, int) {}
void BlobField::setParticleColour(int, uint32_t) {}
void BlobField::render(Image&) {}
void BlobField::destroy() {
  delete[] particles;
  particles = nullptr;
}

}  // namespace vorlith
