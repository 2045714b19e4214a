#include "effects/tunnel.h"

namespace vorlith {

void Tunnel::init(float) {}
void Tunnel::loadTexture() {}
void Tunnel::setLightFollowsCamera(int) {}
void Tunnel::setCameraPosition(float, float, float) {}
void Tunnel::setAngles(int, int, int) {}
void Tunnel::trace() {}
void Tunnel::render(uint32_t*) {}
void Tunnel::destroy() {}

}  // namespace vorlith
