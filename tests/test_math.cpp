// Vectors, matrices and the 1024-step tables: the documented values, the
// rounding of every stored sum, and the sense of the three rotations.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "math/matrix.h"
#include "math/sine_tables.h"
#include "math/vector.h"

namespace vorlith {
namespace {

void expectVector(const Vector3& v, float x, float y, float z) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
}

struct Tables {
  Tables() { buildSineTables(sin, cos); }
  float sin[sineTableSize];
  float cos[sineTableSize];
};

Matrix4 composed(const Tables& t, int ax, int ay, int az) {
  Matrix4 m;
  matrixIdentity(m);
  matrixRotateX(m, ax, t.sin, t.cos);
  matrixRotateY(m, ay, t.sin, t.cos);
  matrixRotateZ(m, az, t.sin, t.cos);
  return m;
}

TEST(Math, NormalizeExamplesAndZeroOrNanLength) {
  Vector3 v{1, 1, 0};
  vectorNormalize(v);
  expectVector(v, 0.70710677f, 0.70710677f, 0.0f);
  v = {-160, -100, 128};  // length exactly 228
  vectorNormalize(v);
  expectVector(v, -0.70175439f, -0.43859649f, 0.56140351f);
  v = {0, 0, 0};
  vectorNormalize(v);
  expectVector(v, 0, 0, 0);
  v = {std::numeric_limits<float>::quiet_NaN(), 1, 1};
  vectorNormalize(v);
  expectVector(v, 0, 0, 0);
  // A tiny but non-zero length is divided as it is.
  v = {1e-30f, 0, 0};
  vectorNormalize(v);
  expectVector(v, 1, 0, 0);
}

TEST(Math, SineTablesUseTheStatedStep) {
  Tables t;
  EXPECT_EQ(t.sin[0], 0.0f);
  EXPECT_EQ(t.cos[0], 1.0f);
  EXPECT_EQ(t.sin[256], 1.0f);
  EXPECT_EQ(t.cos[512], -1.0f);
  EXPECT_EQ(t.sin[128], 0.70710677f);
  EXPECT_EQ(t.cos[128], 0.70710677f);
  // The step is a little above 2 pi / 1024: a quarter turn overshoots.
  EXPECT_LT(t.cos[256], 0.0f);
  EXPECT_NEAR(t.cos[256], -1.03e-13, 0.01e-13);
  EXPECT_EQ(t.sin[1023], static_cast<float>(std::sin(1023 * 0.006135923151542969)));
}

TEST(Math, SumsAreRoundedToFloatAfterEachAddition) {
  // Summed in double, the row would give 1e-8; rounded after each addition,
  // 1 + 1e-8 is 1 and the row gives exactly 0.
  Matrix4 left, right;
  left.m[0] = 1.0f;
  left.m[1] = 1e-8f;
  left.m[2] = -1.0f;
  for (int k = 0; k < 4; ++k) right.m[k * 4] = 1.0f;
  Matrix4 out;
  matrixMultiply(left, right, out);
  EXPECT_EQ(out.m[0], 0.0f);

  Vector3 d;
  transformDirection(Vector3{1, 1, 1}, left, d);
  EXPECT_EQ(d.x, 0.0f);
}

TEST(Math, TransformReadsOnlyTheUpperLeftBlock) {
  Matrix4 m;
  matrixIdentity(m);
  m.m[3] = m.m[7] = m.m[11] = 99.0f;
  m.m[12] = m.m[13] = m.m[14] = 77.0f;
  Vector3 out;
  transformDirection(Vector3{0.25f, -3.5f, 7.0f}, m, out);
  expectVector(out, 0.25f, -3.5f, 7.0f);
}

TEST(Math, ProductIsRowByColumn) {
  // Worked by hand; the product in the other order differs in every row.
  const Matrix4 a{{1, 2, 0, 0, 0, 1, 3, 0, 0, 0, 1, 4, 5, 0, 0, 1}};
  const Matrix4 b{{1, 0, 0, 2, 0, 1, 0, 0, 3, 0, 1, 0, 0, 0, 0, 1}};
  Matrix4 out;
  matrixMultiply(a, b, out);
  const float ab[16] = {1, 2, 0, 2, 9, 1, 3, 0, 3, 0, 1, 4, 5, 0, 0, 11};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out.m[i], ab[i]) << i;
  matrixMultiply(b, a, out);
  const float ba[16] = {11, 2, 0, 2, 0, 1, 3, 0, 3, 6, 1, 4, 5, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out.m[i], ba[i]) << i;
}

TEST(Math, RotationsComposeAsXThenYThenZPostMultiplied) {
  Tables t;
  const Matrix4 identity = composed(t, 0, 0, 0);
  Matrix4 expected;
  matrixIdentity(expected);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(identity.m[i], expected.m[i]);

  Vector3 out;
  // About X a quarter turn: y turns towards z.
  transformDirection(Vector3{0, 1, 0}, composed(t, 256, 0, 0), out);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_LT(out.y, 0.0f);
  EXPECT_GT(out.y, -2e-13f);
  EXPECT_EQ(out.z, 1.0f);
  // About Y: z turns towards x. About Z: x turns towards y.
  transformDirection(Vector3{0, 0, 1}, composed(t, 0, 256, 0), out);
  EXPECT_EQ(out.x, 1.0f);
  EXPECT_NEAR(out.z, 0.0f, 1e-12);
  transformDirection(Vector3{1, 0, 0}, composed(t, 0, 0, 256), out);
  EXPECT_EQ(out.y, 1.0f);
  EXPECT_NEAR(out.x, 0.0f, 1e-12);

  // Rx * Rz: a direction is turned about Z first, then about X. x goes to y
  // (by Z), then y goes to z (by X).
  transformDirection(Vector3{1, 0, 0}, composed(t, 256, 0, 256), out);
  EXPECT_NEAR(out.z, 1.0f, 1e-6);
  EXPECT_NEAR(out.x, 0.0f, 1e-6);
  EXPECT_NEAR(out.y, 0.0f, 1e-6);
}

}  // namespace
}  // namespace vorlith
