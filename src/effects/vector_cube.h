#pragma once
#include <cstdint>
#include <memory>

#include "image/image.h"

namespace vorlith {

// A wireframe cube in additive lines with a trail of its earlier states: it
// remembers the rotation and colour of its last `capacity` frames and draws
// them all each frame, the newest small and each older one larger.
class VectorCube {
 public:
  struct Rotation {
    int32_t x = 0, y = 0, z = 0;  // angle indices 0..255 about x, y and z
  };
  struct Point {
    int32_t x = 0, y = 0, z = 0;
  };
  struct Edge {
    int32_t from = 0, to = 0;
  };

  // Tables, an empty memory of `capacity` states and the default settings.
  // A capacity below 1 (or memory that cannot be had) leaves a cube that
  // draws nothing.
  void init(int capacity);
  // Stores the low byte of each angle as the newest remembered rotation.
  void setRotation(int angleX, int angleY, int angleZ);
  // Draws the newest drawCount states into a 320x200 image, then ages the
  // memory by one frame.
  void draw(Image& image);
  // What draw does to the memory, without drawing: the colour taken as the
  // newest state's, then every state one frame older.
  void advance();
  void destroy();

  int32_t capacity = 0;
  int32_t drawCount = 0;
  float nearScale = 1.0f;
  float farScale = 1.0f;
  const Edge* edges = nullptr;
  uint32_t colour = 0xFFFFFF;
  int32_t intensity = 127;
  float sinTable[256] = {};
  float cosTable[256] = {};
  std::unique_ptr<Rotation[]> rotations;  // entry 0 newest
  std::unique_ptr<uint32_t[]> colours;    // entry 0 newest
  Point vertices[8] = {};
  Point projected[8] = {};  // screen x, screen y, depth of the state being drawn
  Edge edgeTable[12] = {};
};

}  // namespace vorlith
