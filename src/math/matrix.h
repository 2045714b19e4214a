#pragma once
#include "math/vector.h"

namespace vorlith {

// Sixteen single-precision elements, row-major: row i, column j is element
// i * 4 + j. Vectors are columns (M maps v to M * v); only the upper-left 3x3
// block ever turns a vector.
struct Matrix4 {
  float m[16] = {};
};

void matrixIdentity(Matrix4& m);

// out = left * right, each element summed over k = 0..3 in order with the
// running sum rounded to float after every addition. out must be distinct
// from both inputs.
void matrixMultiply(const Matrix4& left, const Matrix4& right, Matrix4& out);

// out = upper-left 3x3 of m times v, summed in the same way. The fourth row
// and column are not read. out must be distinct from v.
void transformDirection(const Vector3& v, const Matrix4& m, Vector3& out);

// m = m * R, R turning about one axis by the table angle at index (used as
// given: callers mask it to 0..1023). About X y turns towards z, about Y z
// towards x, about Z x towards y.
void matrixRotateX(Matrix4& m, int index, const float* sinTable, const float* cosTable);
void matrixRotateY(Matrix4& m, int index, const float* sinTable, const float* cosTable);
void matrixRotateZ(Matrix4& m, int index, const float* sinTable, const float* cosTable);

}  // namespace vorlith
