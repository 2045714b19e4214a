#include "effects/vector_cube.h"

#include <cstring>

#include "effects/truncate.h"
#include "image/additive_line.h"
#include "math/angles.h"

namespace vorlith {

namespace {

// A cube of side 100 about the origin: the front face (z = 50) first.
constexpr VectorCube::Point cubeCorners[8] = {{-50, -50, 50}, {50, -50, 50}, {50, 50, 50}, {-50, 50, 50},
                                              {-50, -50, -50}, {50, -50, -50}, {50, 50, -50}, {-50, 50, -50}};
constexpr VectorCube::Edge cubeEdges[12] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                            {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

}  // namespace

void VectorCube::init(int n) {
  // Every setting at its default, nothing remembered.
  *this = VectorCube{};
  edges = edgeTable;
  buildAngleTables(sinTable, cosTable);
  std::memcpy(vertices, cubeCorners, sizeof vertices);
  std::memcpy(edgeTable, cubeEdges, sizeof edgeTable);
  if (n < 1) return;
  rotations = zeroedArray<Rotation>(static_cast<size_t>(n));
  colours = zeroedArray<uint32_t>(static_cast<size_t>(n));
  if (!rotations || !colours) {
    destroy();
    return;
  }
  capacity = drawCount = n;
}

void VectorCube::setRotation(int angleX, int angleY, int angleZ) {
  if (!rotations) return;
  rotations[0] = {angleX & 0xFF, angleY & 0xFF, angleZ & 0xFF};
}

void VectorCube::draw(Image& image) {
  if (capacity < 1 || !rotations || !colours) return;
  colours[0] = colour;

  // The owner writes drawCount; never more states than are remembered.
  const int count = drawCount < capacity ? drawCount : capacity;
  for (int i = 0; i < count; ++i) {
    const double s = nearScale + (static_cast<double>(farScale) - nearScale) * i / capacity;
    const Rotation& r = rotations[i];
    const double sinA = sinTable[r.x & 0xFF], cosA = cosTable[r.x & 0xFF];
    const double sinB = sinTable[r.y & 0xFF], cosB = cosTable[r.y & 0xFF];
    const double sinC = sinTable[r.z & 0xFF], cosC = cosTable[r.z & 0xFF];

    bool onScreen[8];
    for (int k = 0; k < 8; ++k) {
      const double x = vertices[k].x * s, y = vertices[k].y * s, z = vertices[k].z * s;
      const double x1 = x * cosB - z * sinB;
      const double z1 = x * sinB + z * cosB;
      const double y2 = y * cosC - x1 * sinC;
      const double x2 = x1 * cosC + y * sinC;
      const double z2 = z1 * cosA - y2 * sinA;
      const double y3 = y2 * cosA + z1 * sinA;
      // A corner on the eye plane has no projection at all.
      onScreen[k] = z2 != 150 && truncateToInt32(150 * x2 / (z2 - 150) + 160, projected[k].x) &&
                    truncateToInt32(150 * y3 / (z2 - 150) + 100, projected[k].y) &&
                    truncateToInt32(z2 + 150, projected[k].z);
    }
    for (int e = 0; e < 12; ++e) {
      const Point& p = projected[edges[e].from];
      const Point& q = projected[edges[e].to];
      // A corner without a screen position (scales past the eye plane) takes
      // its edges with it.
      if (!onScreen[edges[e].from] || !onScreen[edges[e].to]) continue;
      drawAdditiveLine(image, p.x, p.y, q.x, q.y, colours[i], intensity);
    }
  }

  advance();
}

void VectorCube::advance() {
  if (capacity < 1 || !rotations || !colours) return;
  colours[0] = colour;
  // Every state moves one place down the memory; entry 0 keeps its values
  // until the next setRotation and draw overwrite them.
  std::memmove(rotations.get() + 1, rotations.get(), sizeof(Rotation) * (capacity - 1));
  std::memmove(colours.get() + 1, colours.get(), sizeof(uint32_t) * (capacity - 1));
}

void VectorCube::destroy() {
  rotations.reset();
  colours.reset();
  capacity = 0;
  drawCount = 0;
}

}  // namespace vorlith
