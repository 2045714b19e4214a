#include "math/matrix.h"

namespace vorlith {

namespace {

// m = m * R, R turning axis p towards axis q by the angle whose sine and
// cosine are s and c.
void postRotate(Matrix4& m, int p, int q, float s, float c) {
  Matrix4 r;
  matrixIdentity(r);
  r.m[p * 4 + p] = c;
  r.m[p * 4 + q] = -s;
  r.m[q * 4 + p] = s;
  r.m[q * 4 + q] = c;
  Matrix4 product;
  matrixMultiply(m, r, product);
  m = product;
}

}  // namespace

void matrixIdentity(Matrix4& m) {
  for (float& e : m.m) e = 0.0f;
  m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
}

void matrixMultiply(const Matrix4& left, const Matrix4& right, Matrix4& out) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k)
        sum = static_cast<float>(sum + static_cast<double>(left.m[i * 4 + k]) * right.m[k * 4 + j]);
      out.m[i * 4 + j] = sum;
    }
}

void transformDirection(const Vector3& v, const Matrix4& m, Vector3& out) {
  const double in[3] = {v.x, v.y, v.z};
  float result[3];
  for (int i = 0; i < 3; ++i) {
    float sum = 0.0f;
    for (int j = 0; j < 3; ++j) sum = static_cast<float>(sum + m.m[i * 4 + j] * in[j]);
    result[i] = sum;
  }
  out = Vector3{result[0], result[1], result[2]};
}

void matrixRotateX(Matrix4& m, int index, const float* sinTable, const float* cosTable) {
  postRotate(m, 1, 2, sinTable[index], cosTable[index]);
}

void matrixRotateY(Matrix4& m, int index, const float* sinTable, const float* cosTable) {
  postRotate(m, 2, 0, sinTable[index], cosTable[index]);
}

void matrixRotateZ(Matrix4& m, int index, const float* sinTable, const float* cosTable) {
  postRotate(m, 0, 1, sinTable[index], cosTable[index]);
}

}  // namespace vorlith
