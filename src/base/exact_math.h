#pragma once

// sin, cos and atan2 of our own, rounded correctly to nearest for every double
// argument, so that every build on every platform computes the same bits.
//
// Each function first tries a short double-double evaluation whose error is
// bounded; when the bound cannot decide the rounding it evaluates again in
// multi-word fixed point, with more words until the rounding is certain.
// Nothing here calls the C library's maths.

namespace vorlith {

double exactSin(double x);
double exactCos(double x);
// Both at once, as exactSin and exactCos give them, for less than twice the work.
void exactSinCos(double x, double& s, double& c);
// The angle of the point (x, y), in [-pi, pi], with the signed zeros,
// infinities and NaNs treated as C's atan2 treats them.
double exactAtan2(double y, double x);

// For tests: internals that the checks against an independent evaluation
// look into. Not for the show's code.
namespace exact_detail {

enum class Function { sin, cos, atan2 };

// The double-double estimate of the fast path, before rounding: hi + lo with
// |hi + lo - exact| <= err. valid is false when the argument is outside the
// fast path's range or its estimate is not used.
struct Estimate {
  double hi = 0, lo = 0, err = 0;
  bool valid = false;
};
Estimate fastSin(double x);
Estimate fastCos(double x);
// atan2's first estimate takes y/x to double precision; refine takes it to
// double-double, as atan2 does when the first cannot decide.
Estimate fastAtan2(double y, double x, bool refine);

// The multi-word evaluation with the given number of 32-bit fraction words
// (1..48); false when that precision cannot decide the rounding.
bool slowSin(double x, int words, double& result);
bool slowCos(double x, int words, double& result);
bool slowAtan2(double y, double x, int words, double& result);

}  // namespace exact_detail
}  // namespace vorlith
