#pragma once
#include <cstdint>

namespace vorlith {

// The inside of an endless textured cylinder, ray-cast at the corners of 8x8
// blocks and filled by interpolation.
class Tunnel {
 public:
  void init(float radius);
  void loadTexture();
  void setLightFollowsCamera(int flag);
  void setCameraPosition(float x, float y, float z);
  void setAngles(int ax, int ay, int az);
  void trace();
  void render(uint32_t* pixels);
  void destroy();
};

}  // namespace vorlith
