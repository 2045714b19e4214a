#include "base/exact_math.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vorlith {

namespace {

using exact_detail::Estimate;

// ---------------------------------------------------------------------------
// Doubles as bits

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr uint64_t signBit = 0x8000'0000'0000'0000;
constexpr uint64_t fractionBits = 0x000f'ffff'ffff'ffff;

// (By copying rather than std::bit_cast, which Emscripten's library lacks.)
inline uint64_t bitsOf(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}
// Leading and trailing zero bits of a non-zero word.
inline int leadingZeros(uint64_t x) { return __builtin_clzll(x); }
inline int leadingZeros(uint32_t x) { return __builtin_clz(x); }
inline int trailingZeros(uint64_t x) { return __builtin_ctzll(x); }
inline double fromBits(uint64_t b) {
  double x;
  std::memcpy(&x, &b, sizeof x);
  return x;
}
inline double absOf(double x) { return fromBits(bitsOf(x) & ~signBit); }
inline bool isNegative(double x) { return (bitsOf(x) & signBit) != 0; }
inline double negatedIf(bool negate, double x) { return negate ? -x : x; }
// x with its sign bit flipped when flip is the sign bit.
inline double flipped(double x, uint64_t flip) { return fromBits(bitsOf(x) ^ flip); }
// x times the sign of s (s may be a signed zero).
inline double timesSignOf(double x, double s) { return fromBits(bitsOf(x) ^ (bitsOf(s) & signBit)); }

// 2^e for -1074 <= e <= 1023.
inline double pow2(int e) {
  return e >= -1022 ? fromBits(static_cast<uint64_t>(e + 1023) << 52) : fromBits(uint64_t{1} << (e + 1074));
}

// A finite positive double as m * 2^e with m < 2^53, as its bits hold it (m
// below 2^52 for a subnormal).
void unpacked(double x, uint64_t& m, int& e) {
  const uint64_t b = bitsOf(x);
  const int field = static_cast<int>(b >> 52);
  m = b & fractionBits;
  e = field == 0 ? -1074 : field - 1075;
  if (field != 0) m |= uint64_t{1} << 52;
}

// The same with 2^52 <= m < 2^53.
void normalised(double x, uint64_t& m, int& e) {
  unpacked(x, m, e);
  const int s = leadingZeros(m) - 11;
  m <<= s;
  e -= s;
}

// ---------------------------------------------------------------------------
// Double-double arithmetic. With contraction off, every product and sum below
// rounds once, so the error terms are exact on every IEEE machine.

struct DD {
  double hi, lo;
};

// s + e == a + b exactly.
inline DD twoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  const double e = (a - (s - bb)) + (b - bb);
  return {s, e};
}

// The same when |a| >= |b| (or a == 0).
inline DD fastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a == hi + lo with hi and lo of 26 significant bits or fewer (|a| < 2^996).
inline void split(double a, double& hi, double& lo) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  hi = c - (c - a);
  lo = a - hi;
}

// p + e == a * b exactly, barring underflow.
inline DD twoProduct(double a, double b) {
  const double p = a * b;
  double ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  const double e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
  return {p, e};
}

// The double nearest to every real within err of hi + lo, when they share
// one: then hi + (lo + err) and hi + (lo - err) round to the same double, and
// it is that one, since rounding is monotonic. This needs lo + err and
// lo - err, rounded, to reach past the true interval: err must exceed the
// true bound by 2^-53 of err + |lo|, as every bound here does by far.
inline bool roundsSurely(double hi, double lo, double err, double& out) {
  const double up = hi + (lo + err), down = hi + (lo - err);
  out = up;
  return up == down;
}

// ---------------------------------------------------------------------------
// Constants: binary digits of 2/pi and of pi/2, 32 bits a word, the first
// word just after the binary point.

constexpr uint32_t twoOverPiWords[84] = {
    0xa2f9836e, 0x4e441529, 0xfc2757d1, 0xf534ddc0, 0xdb629599, 0x3c439041, 0xfe5163ab, 0xdebbc561, 0xb7246e3a,
    0x424dd2e0, 0x06492eea, 0x09d1921c, 0xfe1deb1c, 0xb129a73e, 0xe88235f5, 0x2ebb4484, 0xe99c7026, 0xb45f7e41,
    0x3991d639, 0x835339f4, 0x9c845f8b, 0xbdf9283b, 0x1ff897ff, 0xde05980f, 0xef2f118b, 0x5a0a6d1f, 0x6d367ecf,
    0x27cb09b7, 0x4f463f66, 0x9e5fea2d, 0x7527bac7, 0xebe5f17b, 0x3d0739f7, 0x8a5292ea, 0x6bfb5fb1, 0x1f8d5d08,
    0x56033046, 0xfc7b6bab, 0xf0cfbc20, 0x9af4361d, 0xa9e39161, 0x5ee61b08, 0x6599855f, 0x14a06840, 0x8dffd880,
    0x4d732731, 0x06061556, 0xca73a8c9, 0x60e27bc0, 0x8c6b47c4, 0x19c367cd, 0xdce8092a, 0x8359c476, 0x8b961ca6,
    0xddaf44d1, 0x5719053e, 0xa5ff0705, 0x3f7e33e8, 0x32c2de4f, 0x98327dbb, 0xc33d26ef, 0x6b1e5ef8, 0x9f3a1f35,
    0xcaf27f1d, 0x87f12190, 0x7c7c246a, 0xfa6ed577, 0x2d30433b, 0x15c614b5, 0x9d19c3c2, 0xc4ad414d, 0x2c5d000c,
    0x467d862d, 0x71e39ac6, 0x9b006233, 0x7cd2b497, 0xa7b4d555, 0x37f63ed7, 0x1810a3fc, 0x764d2a9d, 0x64abd770,
    0xf87c6357, 0xb07ae715, 0x175649c0,
};

// pi/2 = 1 + these words.
constexpr uint32_t halfPiWords[52] = {
    0x921fb544, 0x42d18469, 0x898cc517, 0x01b839a2, 0x52049c11, 0x14cf98e8, 0x04177d4c, 0x76273644, 0xa29410f3,
    0x1c6809bb, 0xdf2a3367, 0x9a748636, 0x605614db, 0xe4be286e, 0x9fc26ada, 0xdaa3848b, 0xc90b6aec, 0xc4bcfd8d,
    0xe89885d3, 0x4c6fdad6, 0x17feb96d, 0xe80d6fdb, 0xdc70d7f6, 0xb5133f4b, 0x5d3e4822, 0xf8963fcc, 0x9250cca3,
    0xd9c8b67b, 0x8400f971, 0x42c77e0b, 0x31b4906c, 0x38aba734, 0xd22c7f51, 0xfa499ebf, 0x06caba47, 0xb9475b2c,
    0x38c5e6ac, 0x410aa577, 0x3daa520e, 0xe12d2cda, 0xce186a9c, 0x95793009, 0xe2e8d811, 0x943042f8, 0x6520bc8c,
    0x5c6d9c77, 0xc73cee58, 0x301d0c07, 0x364f0745, 0xd80f451f, 0x6b8abbe0, 0xde98a593,
};

// pi, pi/2, pi/4 and 3pi/4 rounded to nearest.
constexpr double piHi = 0x1.921fb54442d18p+1;
constexpr double halfPiHi = 0x1.921fb54442d18p+0;
constexpr double quarterPi = 0x1.921fb54442d18p-1;
constexpr double threeQuarterPi = 0x1.2d97c7f3321d2p+1;

// pi/256 in three parts: the first two have 30 significant bits, so their
// products with any step count below 2^23 are exact.
constexpr double stepsPerRadian = 0x1.45f306dc9c883p+6;  // 256/pi
constexpr double step1 = 0x1.921fb54p-7;
constexpr double step2 = 0x1.10b46118p-37;
constexpr double step3 = 0x1.313198a2e037p-68;

// ---------------------------------------------------------------------------
// Fixed point: n fraction words and one integer word, little-endian, so that
// w[0] is the last word and w[n] the integer part. Every operation truncates;
// "an ulp" below is 2^(-32 n).

constexpr int maxWords = 48;

struct Fixed {
  int n = 0;
  uint32_t w[maxWords + 1] = {};
};

Fixed fixedZero(int n) {
  Fixed f;
  f.n = n;
  return f;
}

bool isZero(const Fixed& a) {
  for (int i = 0; i <= a.n; ++i)
    if (a.w[i] != 0) return false;
  return true;
}

bool bitAt(const Fixed& a, int i) { return ((a.w[i >> 5] >> (i & 31)) & 1) != 0; }
void setBit(Fixed& a, int i) { a.w[i >> 5] |= uint32_t{1} << (i & 31); }

void addInPlace(Fixed& a, const Fixed& b) {
  uint64_t carry = 0;
  for (int i = 0; i <= a.n; ++i) {
    const uint64_t t = uint64_t{a.w[i]} + b.w[i] + carry;
    a.w[i] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
}

// a -= b, for a >= b.
void subtractInPlace(Fixed& a, const Fixed& b) {
  uint64_t borrow = 0;
  for (int i = 0; i <= a.n; ++i) {
    const uint64_t t = uint64_t{a.w[i]} - b.w[i] - borrow;
    a.w[i] = static_cast<uint32_t>(t);
    borrow = (t >> 32) & 1;
  }
}

bool lessThan(const Fixed& a, const Fixed& b) {
  for (int i = a.n; i >= 0; --i)
    if (a.w[i] != b.w[i]) return a.w[i] < b.w[i];
  return false;
}

// a * b truncated: under an ulp below the exact product (which must be < 2^32).
Fixed multiply(const Fixed& a, const Fixed& b) {
  const int n = a.n;
  uint32_t r[2 * (maxWords + 1) + 1] = {};
  for (int i = 0; i <= n; ++i) {
    const uint64_t ai = a.w[i];
    if (ai == 0) continue;
    uint64_t carry = 0;
    for (int k = 0; k <= n; ++k) {
      const uint64_t t = ai * b.w[k] + r[i + k] + carry;
      r[i + k] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    r[i + n + 1] = static_cast<uint32_t>(carry);
  }
  Fixed p = fixedZero(n);
  for (int k = 0; k <= n; ++k) p.w[k] = r[k + n];
  return p;
}

// a /= d truncated, d > 0.
void divideInPlace(Fixed& a, uint32_t d) {
  uint64_t rem = 0;
  for (int i = a.n; i >= 0; --i) {
    const uint64_t cur = (rem << 32) | a.w[i];
    a.w[i] = static_cast<uint32_t>(cur / d);
    rem = cur % d;
  }
}

// num / den * 2^-shift truncated, for num / den < 4, den < 2^62 and shift >= 0.
Fixed quotient(uint64_t num, uint64_t den, int shift, int n) {
  Fixed q = fixedZero(n);
  const int one = 32 * n;  // the bit of weight 1
  const uint64_t whole = num / den;
  uint64_t rem = num % den;
  for (int j = 1; j >= 0; --j)
    if (((whole >> j) & 1) != 0 && one + j - shift >= 0) setBit(q, one + j - shift);
  for (int i = one - 1 - shift; i >= 0; --i) {
    rem <<= 1;
    if (rem >= den) {
      rem -= den;
      setBit(q, i);
    }
  }
  return q;
}

// pi/2 truncated to n words (under an ulp low).
Fixed halfPi(int n) {
  Fixed f = fixedZero(n);
  f.w[n] = 1;
  for (int i = 0; i < n; ++i) f.w[n - 1 - i] = halfPiWords[i];
  return f;
}
Fixed quarterPiFixed(int n) {
  Fixed f = halfPi(n);
  for (int i = 0; i <= n; ++i) f.w[i] = (f.w[i] >> 1) | (i < n ? f.w[i + 1] << 31 : 0);
  return f;
}
Fixed piFixed(int n) {
  Fixed f = halfPi(n);
  for (int i = n; i >= 0; --i) f.w[i] = (f.w[i] << 1) | (i > 0 ? f.w[i - 1] >> 31 : 0);
  return f;
}

// The double nearest to a (ties to even). False when a's last place is finer
// than the fixed point can tell (a tiny value).
bool roundToDouble(const Fixed& a, double& out) {
  int top = a.n;
  while (top >= 0 && a.w[top] == 0) --top;
  if (top < 0) {
    out = 0;
    return true;
  }
  const int msb = top * 32 + 31 - leadingZeros(a.w[top]);
  const int lastPlace = std::max(msb - 32 * a.n - 52, -1074);
  const int last = lastPlace + 32 * a.n;  // bit index of the last place
  if (last < 2) return false;
  uint64_t m = 0;
  for (int i = msb; i >= last; --i) m = (m << 1) | (bitAt(a, i) ? 1 : 0);
  const bool half = bitAt(a, last - 1);
  bool sticky = false;
  const int below = last - 1;  // bits 0 .. below-1
  for (int i = 0; i < (below >> 5) && !sticky; ++i) sticky = a.w[i] != 0;
  if (!sticky && (below & 31) != 0) sticky = (a.w[below >> 5] & ((uint32_t{1} << (below & 31)) - 1)) != 0;
  if (half && (sticky || (m & 1) != 0)) ++m;
  out = static_cast<double>(m) * pow2(lastPlace);
  return true;
}

// The double nearest to every value within errUlps of a (below it down to
// zero), when there is one.
bool roundWithin(const Fixed& a, uint32_t errUlps, double& out) {
  Fixed err = fixedZero(a.n);
  err.w[0] = errUlps;
  Fixed low = fixedZero(a.n), high = a;
  if (!lessThan(a, err)) {
    low = a;
    subtractInPlace(low, err);
  }
  addInPlace(high, err);
  double l, h;
  if (!roundToDouble(low, l) || !roundToDouble(high, h) || l != h) return false;
  out = l;
  return true;
}

// A double in [0, 2^32) as fixed point, exactly when its last bit fits.
Fixed fromDouble(double x, int n) {
  Fixed f = fixedZero(n);
  if (x == 0) return f;
  uint64_t m;
  int e;
  normalised(x, m, e);
  for (int i = 0; i < 53; ++i)
    if (((m >> i) & 1) != 0 && e + i + 32 * n >= 0) setBit(f, e + i + 32 * n);
  return f;
}

// a as a double-double: hi the nearest double, lo the nearest to the rest.
DD toDoubleDouble(const Fixed& a) {
  double hi = 0, lo = 0;
  roundToDouble(a, hi);
  Fixed h = fromDouble(hi, a.n);
  if (lessThan(a, h)) {
    subtractInPlace(h, a);
    roundToDouble(h, lo);
    lo = -lo;
  } else {
    Fixed d = a;
    subtractInPlace(d, h);
    roundToDouble(d, lo);
  }
  return {hi, lo};
}

// Series on [0, pi/4], from the first term t0 (r for the sine, 1 for the
// cosine): term k is term k-1 times -r^2 / ((2k - s)(2k - s + 1)), s being 0
// for the sine and 1 for the cosine. Every partial sum stays positive, so
// the unsigned arithmetic never wraps. Each term costs at most a few ulps.
Fixed sineSeries(const Fixed& r, const Fixed& t0, uint32_t s) {
  Fixed sum = t0, term = t0;
  const Fixed z = multiply(r, r);
  for (uint32_t k = 1; !isZero(term); ++k) {
    term = multiply(term, z);
    divideInPlace(term, (2 * k - s) * (2 * k - s + 1));
    if (k % 2 == 1)
      subtractInPlace(sum, term);
    else
      addInPlace(sum, term);
  }
  return sum;
}

Fixed sinSeries(const Fixed& r) { return sineSeries(r, r, 0); }

Fixed cosSeries(const Fixed& r) {
  Fixed one = fixedZero(r.n);
  one.w[r.n] = 1;
  return sineSeries(r, one, 1);
}

// atan t for 0 <= t <= 0.43.
Fixed atanSeries(const Fixed& t) {
  Fixed sum = t, power = t;
  const Fixed z = multiply(t, t);
  for (uint32_t k = 1;; ++k) {
    power = multiply(power, z);
    if (isZero(power)) break;
    Fixed term = power;
    divideInPlace(term, 2 * k + 1);
    if (k % 2 == 1)
      subtractInPlace(sum, term);
    else
      addInPlace(sum, term);
  }
  return sum;
}

// atan(num / den * 2^-shift) for a ratio in [0, 1], num and den < 2^53.
// From 0.4 up it goes through atan q = pi/4 - atan((1 - q) / (1 + q)), which
// keeps the series argument under 0.43.
Fixed atanRatio(uint64_t num, uint64_t den, int shift, int n) {
  if (shift <= 2) {
    const uint64_t big = den << shift;
    if (num * 5 >= big * 2) {
      const Fixed s = atanSeries(quotient(big - num, big + num, 0, n));
      Fixed r = quarterPiFixed(n);
      subtractInPlace(r, s);
      return r;
    }
  }
  return atanSeries(quotient(num, den, shift, n));
}

// The angle atan2 makes of a = atan of its ratio in a quadrant (1 when x <
// 0, plus 2 when |y| > |x|): a, pi - a, pi/2 - a or pi/2 + a.
Fixed placedAngle(const Fixed& a, unsigned quadrant) {
  if (quadrant == 0) return a;
  Fixed v = quadrant == 1 ? piFixed(a.n) : halfPi(a.n);
  if (quadrant == 3)
    addInPlace(v, a);
  else
    subtractInPlace(v, a);
  return v;
}

// The error bound of the multi-word results, in ulps: generous for every
// truncation in the reduction, the constants and the series.
uint32_t slowErrorUlps(int n) { return static_cast<uint32_t>(64 * n + 64); }

// |x| * 2/pi modulo 4, for finite x != 0; at most 2 ulps below the exact value.
Fixed quarterTurns(double ax, int n) {
  uint64_t m;
  int e;
  unpacked(ax, m, e);
  // ax = m 2^e. Words of 2/pi before i0 only add multiples of 4; words from
  // i1 on add under 2^-32 ulps.
  const int i0 = e - 2 <= 0 ? 0 : (e - 2) / 32;
  const int c = 53 + e;
  const int ceilC = c >= 0 ? (c + 31) / 32 : -((-c) / 32);
  const int i1 = std::max(ceilC + n + 1, i0 + 1);
  const int len = i1 - i0;

  // product = m * (words i0 .. i1-1 as one integer), little-endian.
  uint32_t product[84 + 3] = {};
  const uint32_t mParts[2] = {static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32)};
  for (int p = 0; p < 2; ++p) {
    uint64_t carry = 0;
    for (int k = 0; k < len; ++k) {
      const uint64_t t = uint64_t{mParts[p]} * twoOverPiWords[i1 - 1 - k] + product[k + p] + carry;
      product[k + p] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    for (int k = len + p; carry != 0 && k < len + 3; ++k) {
      const uint64_t t = uint64_t{product[k]} + carry;
      product[k] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
  }
  // The fixed point's integer is product * 2^(e + 32 n - 32 i1).
  const int shift = 32 * i1 - e - 32 * n;
  const int words = len + 3;
  auto wordAt = [&](int i) { return i < words ? product[i] : uint32_t{0}; };
  Fixed y = fixedZero(n);
  for (int j = 0; j <= n; ++j) {
    const int bit = shift + 32 * j;
    const int wi = bit >> 5, off = bit & 31;
    y.w[j] = off == 0 ? wordAt(wi) : (wordAt(wi) >> off) | (wordAt(wi + 1) << (32 - off));
  }
  return y;
}

bool slowSinCos(double x, int n, bool cosine, double& out) {
  const double ax = absOf(x);
  if (!(ax < infinity)) {
    out = x - x;
    return true;
  }
  if (ax == 0) {
    out = cosine ? 1.0 : x;
    return true;
  }
  Fixed y = quarterTurns(ax, n);
  unsigned k = y.w[n] & 3;
  y.w[n] = 0;
  bool negativeR = false;
  if ((y.w[n - 1] >> 31) != 0) {  // fraction >= 1/2: go from the next quarter back
    uint64_t borrow = 0;
    for (int i = 0; i < n; ++i) {
      const uint64_t t = uint64_t{0} - y.w[i] - borrow;
      y.w[i] = static_cast<uint32_t>(t);
      borrow = (t >> 32) & 1;
    }
    k = (k + 1) & 3;
    negativeR = true;
  }
  const Fixed r = multiply(y, halfPi(n));  // |x| = k pi/2 +- r, 0 <= r <= pi/4

  // sin(k pi/2 + s r) and cos(k pi/2 + s r) from sin r and cos r.
  const unsigned quadrant = (k + (cosine ? 1 : 0)) & 3;
  const bool useCos = (quadrant & 1) != 0;
  bool negative = quadrant >= 2;
  if (!useCos && negativeR) negative = !negative;
  if (!cosine && isNegative(x)) negative = !negative;

  double m;
  if (!roundWithin(useCos ? cosSeries(r) : sinSeries(r), slowErrorUlps(n), m)) return false;
  out = negatedIf(negative, m);
  return true;
}

// The part of atan2 special to IEEE values: NaNs, zeros and infinities.
double atan2Special(double y, double x) {
  if (x != x || y != y) return x + y;
  const double ax = absOf(x), ay = absOf(y);
  const bool xNegative = isNegative(x);
  double r;
  if (ay == 0)
    r = xNegative ? piHi : 0.0;
  else if (ax == infinity)
    r = ay == infinity ? (xNegative ? threeQuarterPi : quarterPi) : (xNegative ? piHi : 0.0);
  else
    r = halfPiHi;  // y infinite, or x zero
  return negatedIf(isNegative(y), r);
}

// a / b for 0 < a < b with a / b < 2^-60, as atan rounds it. atan q lies
// within q^3/3 below q. A quotient of doubles that is not itself halfway
// between two doubles is further than 2^-107 q from every such midpoint, so
// atan q rounds as q does; a quotient exactly halfway rounds toward zero.
double tinyAtanOfQuotient(double a, double b) {
  const double d = a / b;  // IEEE division: q rounded, ties to even
  if (d == 0) return d;
  // The midpoint between d and the double below it, as an odd multiple of a power of two.
  const uint64_t db = bitsOf(d);
  uint64_t md;
  int ed;
  unpacked(d, md, ed);
  uint64_t mid;
  int midExp;
  if ((db >> 52) > 1 && (db & fractionBits) == 0) {
    mid = 4 * md - 1;
    midExp = ed - 2;
  } else {
    mid = 2 * md - 1;
    midExp = ed - 1;
  }
  // a == mid * b exactly? Compare the odd parts and the exponents.
  uint64_t ma, mb;
  int ea, eb;
  normalised(a, ma, ea);
  normalised(b, mb, eb);
  const int za = trailingZeros(ma), zb = trailingZeros(mb);
  ma >>= za;
  mb >>= zb;
  ea += za;
  eb += zb;
  if (ma % mb == 0 && ma / mb == mid && ea == midExp + eb) return fromBits(db - 1);
  return d;
}

bool slowAtan2Core(double y, double x, int n, double& out) {
  const double ax = absOf(x), ay = absOf(y);
  const bool swap = ay > ax;
  const double a = swap ? ax : ay, b = swap ? ay : ax;
  uint64_t ma, mb;
  int ea, eb;
  normalised(a, ma, ea);
  normalised(b, mb, eb);
  const Fixed base = atanRatio(ma, mb, std::min(eb - ea, 32 * n + 8), n);
  const Fixed v = placedAngle(base, (swap ? 2u : 0u) | (isNegative(x) ? 1u : 0u));
  double m;
  if (!roundWithin(v, slowErrorUlps(n), m)) return false;
  out = negatedIf(isNegative(y), m);
  return true;
}

// ---------------------------------------------------------------------------
// Tables for the fast paths, made once by the multi-word evaluation:
// sin(i pi/256) for i = 0..128 (so cos(i pi/256) is entry 128 - i), and for
// c = j/64, j = 0..64, the angles atan c, pi - atan c, pi/2 - atan c and
// pi/2 + atan c (the four ways atan2 places atan of its ratio), as
// double-doubles.

struct Tables {
  DD sine[129];
  DD angle[4][65];
};

Tables buildTables() {
  constexpr int n = 8;
  Tables t;
  for (int i = 0; i <= 128; ++i) {
    // sin(i pi/256) = sin(f pi/2) with f = i/128; past pi/4 as a cosine.
    const int fromZero = i <= 64 ? i : 128 - i;
    const Fixed r = multiply(quotient(static_cast<uint64_t>(fromZero), 128, 0, n), halfPi(n));
    t.sine[i] = toDoubleDouble(i <= 64 ? sinSeries(r) : cosSeries(r));
  }
  for (int j = 0; j <= 64; ++j) {
    const Fixed a = atanRatio(static_cast<uint64_t>(j), 64, 0, n);
    for (unsigned quadrant = 0; quadrant < 4; ++quadrant)
      t.angle[quadrant][j] = toDoubleDouble(placedAngle(a, quadrant));
  }
  return t;
}

// Made while the program starts. A call made before then (from another
// file's static initialiser) finds tablesReady false and takes the
// multi-word path, which needs no tables.
bool tablesReady = false;
const Tables tables = [] {
  const Tables t = buildTables();
  tablesReady = true;
  return t;
}();

// ---------------------------------------------------------------------------
// Fast paths

constexpr double fastSinCosLimit = 0x1p16;
constexpr double signs[2] = {1.0, -1.0};

// x = n pi/256 + r with |r| <= pi/512, for |x| < 2^16, and sin r, cos r - 1
// as double-doubles.
struct Reduced {
  double rh, rl;  // r
  double z;       // rh^2
  double sinLo;   // sin r = rh + sinLo
  double cosHi, cosLo;  // cos r = 1 + cosHi + cosLo
  uint64_t steps;       // n modulo 2^32
  double reductionErr;  // bound on the error of r
};

[[gnu::always_inline]] inline Reduced reduce(double x) {
  const double shifter = 0x1.8p52;
  const double shifted = x * stepsPerRadian + shifter;
  const double nd = shifted - shifter;  // the nearest integer, |nd| < 2^23
  // r1 is exact (Sterbenz), as are nd * step1 and nd * step2.
  const double r1 = x - nd * step1;
  const DD s = twoSum(r1, -(nd * step2));
  const DD r = twoSum(s.hi, s.lo - nd * step3);
  Reduced d;
  d.rh = r.hi;
  d.rl = r.lo;
  // The series stop before r^9/9! (under 2^-77 r) and r^8/8! (under 2^-74).
  d.z = d.rh * d.rh;
  const double sinTail = d.rh * d.z * (-1.0 / 6 + d.z * (1.0 / 120 + d.z * (-1.0 / 5040)));
  d.sinLo = d.rl + (sinTail - 0.5 * d.z * d.rl);
  d.cosHi = -0.5 * d.z;
  d.cosLo = d.z * d.z * (1.0 / 24 + d.z * (-1.0 / 720)) - d.rh * d.rl;
  d.steps = bitsOf(shifted);  // its low bits are those of nd modulo 2^32
  // Under 2^-119 for each step of pi/256.
  d.reductionErr = absOf(x) * 0x1p-111 + 0x1p-117;
  return d;
}

// sin x with quarter = 0, cos x with quarter = 1: with n = 128 k + i the value
// is +-(U cos r + V sin r), where U and V are sin and cos of i pi/256 in
// some order and sign.
[[gnu::always_inline]] inline Estimate combine(const Reduced& d, unsigned quarter) {
  const unsigned i = static_cast<unsigned>(d.steps & 127);
  const unsigned quadrant = static_cast<unsigned>(((d.steps >> 7) + quarter) & 3);
  const unsigned odd = quadrant & 1;
  const unsigned iu = odd != 0 ? 128 - i : i;
  const Tables& t = tables;
  const DD uu = t.sine[iu];
  const double vSign = signs[odd];
  const DD vv = {vSign * t.sine[128 - iu].hi, vSign * t.sine[128 - iu].lo};

  const DD pv = twoProduct(vv.hi, d.rh);
  const DD m = twoSum(uu.hi, pv.hi);
  const double lo = m.lo + (pv.lo + (uu.lo + (uu.hi * d.cosHi +
                                              (uu.hi * d.cosLo + vv.hi * d.sinLo + vv.lo * d.rh))));

  // Rounding in the polynomials and sums: under 3.5 z 2^-53 of |U| + |V r|;
  // the series' remainders and the tables: under 2^-73 of it.
  const double size = absOf(uu.hi) + absOf(vv.hi * d.rh);
  const double err = size * (d.z * 0x1p-50 + 0x1p-73) + d.reductionErr;
  const double sign = signs[quadrant >> 1];
  return {sign * m.hi, sign * lo, err, true};
}

// atan2 for 0 < a <= b (a = min(|x|, |y|)), a / b >= 2^-61, 2^-500 <= b <= 2^500.
// atan(a/b) = atan c + atan t with c = j/64 and t = (a - c b) / (b + c a),
// |t| <= 2^-7. The quadrant (1 when x < 0, plus 2 when |y| > |x|) picks the
// table's angle W and the sign s of the result W + s atan t.
//
// First with t only to double precision: enough when W outweighs t, as it
// mostly does. Then, when refine is set, with t as a double-double.
struct AtanParts {
  DD num, den;      // num / den = t; num exact, den within 2^-104
  double th;        // num / den rounded
  double thErr;     // |t - th| <= thErr |th|
  double z, cube;   // th^2, and the series of atan t - t to t^9/9
  unsigned quadrant, j;
};

[[gnu::always_inline]] inline AtanParts atanParts(double a, double b, unsigned quadrant) {
  AtanParts p;
  // c: a / b rounded to sixty-fourths (the last place of the shifter is 2^-6).
  const double shifter = 0x1.8p46;
  if (((bitsOf(a) | bitsOf(b)) & 0x7ff'ffff) == 0) [[likely]] {
    // 26 significant bits or fewer (floats, say).
    const double cs = a / b + shifter;
    p.j = static_cast<unsigned>(bitsOf(cs) & 127);  // 0..64
    const double c = cs - shifter;
    // |a/b - c| <= 1/128, and c a and c b have at most 33 bits, a - c b and
    // b + c a at most 48: all exact.
    p.num = {a - c * b, 0.0};
    p.den = {b + c * a, 0.0};
    p.thErr = 0x1p-53;
  } else {
    const double q = a / b;
    const double cs = q + shifter;
    p.j = static_cast<unsigned>(bitsOf(cs) & 127);
    double c = cs - shifter;
    if (p.j == 1 && q < 0x1.00001p-7) {  // keeps a - c bh below exact
      p.j = 0;
      c = 0;
    }
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    // c times a part has at most 33 bits: exact. a - c bh is exact (Sterbenz).
    p.num = twoSum(a - c * bh, -(c * bl));
    const DD d1 = twoSum(b, c * ah);
    const DD d2 = twoSum(d1.hi, c * al);
    p.den = {d2.hi, d1.lo + d2.lo};  // |lo| <= 2^-52 hi
    p.thErr = 0x1p-51;
  }
  p.th = p.num.hi / p.den.hi;
  p.z = p.th * p.th;
  // atan t = th + cube + (the terms from t^11/11 on, under 2^-67 t). The
  // rounding of cube is under 3.2 2^-53 |t| z, and taking th for t in it
  // costs under 2^-53 |t| z: under 2^-62.5 |t| together.
  const double z2 = p.z * p.z;
  p.cube = (p.th * p.z) * ((-1.0 / 3 + p.z * (1.0 / 5)) + z2 * (-1.0 / 7 + p.z * (1.0 / 9)));
  p.quadrant = quadrant;
  return p;
}

[[gnu::always_inline]] inline Estimate atanEstimate(const AtanParts& p, bool refine) {
  const DD& w = tables.angle[p.quadrant][p.j];
  // atan t enters negated into pi - and pi/2 -.
  const uint64_t flip = p.quadrant == 1 || p.quadrant == 2 ? signBit : 0;
  const DD s = fastTwoSum(w.hi, flipped(p.th, flip));  // |W| > |t| unless W = 0
  double lo = s.lo + (w.lo + flipped(p.cube, flip));
  double err;
  if (!refine) {
    // th, the series and its rounding (see atanParts); the table and the
    // sums under 2^-98 of the result.
    err = absOf(p.th) * (p.thErr + 0x1p-61) + absOf(w.hi) * 0x1p-98;
  } else {
    // t = th + tl within 2^-100 t; atan t = atan th + tl (1 - th^2) + ...
    const DD pr = twoProduct(p.th, p.den.hi);
    const double residual = (((p.num.hi - pr.hi) - pr.lo) + p.num.lo) - p.th * p.den.lo;
    const double tl = residual / p.den.hi;
    // The series' terms t^11/11 and t^13/13; the rest is under 2^-79 t.
    const double z4 = (p.z * p.z) * (p.z * p.z);
    const double further = (p.th * p.z) * z4 * (-1.0 / 11 + p.z * (1.0 / 13));
    lo += flipped((tl - tl * p.z) + further, flip);
    err = absOf(p.th) * (0x1p-99 + p.z * 0x1p-50 + 0x1p-79) + (absOf(w.hi) + absOf(p.th)) * 0x1p-98;
  }
  return {s.hi, lo, err, true};
}

// The multi-word passes: 160 bits, then more until the rounding is certain.
constexpr int slowPrecisions[] = {5, 10, 20, 40, maxWords};

[[gnu::noinline]] double slowSinCosLoop(double x, bool cosine) {
  double out = 0;
  for (const int n : slowPrecisions)
    if (slowSinCos(x, n, cosine, out)) return out;
  return out;  // not reached for any double argument in practice
}

[[gnu::noinline]] double slowAtan2Loop(double y, double x) {
  double out = 0;
  for (const int n : slowPrecisions)
    if (slowAtan2Core(y, x, n, out)) return out;
  return out;  // not reached in practice
}

// The exponent field of x lies in [lo, lo + count).
inline bool exponentWithin(double x, unsigned lo, unsigned count) {
  return static_cast<unsigned>((bitsOf(x) >> 52) & 0x7ff) - lo < count;
}

// Below 2^-26, x^3/6 is under a sixth of x's last place: sin x rounds to x.
// Below 2^-27, 1 - x^2/2 is above 1 - 2^-55: cos x rounds to 1.
[[gnu::noinline]] double sinRare(double x) { return absOf(x) < 0x1p-26 ? x : slowSinCosLoop(x, false); }
[[gnu::noinline]] double cosRare(double x) { return absOf(x) < 0x1p-27 ? 1.0 : slowSinCosLoop(x, true); }

// The parts for a and b (a / b >= 2^-61) of any size: both scaled by a
// power of two into 2^-500 .. 2^500 first, exactly since a >= 2^-61 b.
AtanParts scaledAtanParts(double a, double b, unsigned quadrant) {
  if (b > 0x1p500 || b < 0x1p-500) {
    const double scale = b > 0x1p500 ? 0x1p-600 : 0x1p600;
    a *= scale;
    b *= scale;
  }
  return atanParts(a, b, quadrant);
}

// The fast path's second estimate, for the few points whose first cannot
// decide; then the multi-word path.
[[gnu::noinline]] double atan2Refined(double y, double x, AtanParts parts) {
  const Estimate e = atanEstimate(parts, true);
  double r;
  if (roundsSurely(e.hi, e.lo, e.err, r)) return timesSignOf(r, y);
  return slowAtan2Loop(y, x);
}

// atan2 off the fast path's domain: the IEEE special values, ratios under
// 2^-60, points far from 1 in size.
[[gnu::noinline]] double atan2Rare(double y, double x) {
  const double ax = absOf(x), ay = absOf(y);
  if (!(ax > 0 && ay > 0 && ax < infinity && ay < infinity)) return atan2Special(y, x);
  const bool swap = ay > ax;
  const bool xNegative = isNegative(x);
  const double a = std::min(ax, ay), b = std::max(ax, ay);
  if (a / b < 0x1p-60) {
    // pi/2 and pi are further than 2^-54 from a midpoint of doubles, so a
    // quotient this small cannot move them.
    if (swap) return timesSignOf(halfPiHi, y);
    if (xNegative) return timesSignOf(piHi, y);
    return timesSignOf(tinyAtanOfQuotient(a, b), y);
  }
  if (!tablesReady) return slowAtan2Loop(y, x);
  const AtanParts parts = scaledAtanParts(a, b, (swap ? 2u : 0u) | (xNegative ? 1u : 0u));
  const Estimate e = atanEstimate(parts, false);
  double r;
  if (roundsSurely(e.hi, e.lo, e.err, r)) return timesSignOf(r, y);
  return atan2Refined(y, x, parts);
}

// Each entry holds its common case; it reaches everything else by tail
// calls, so the common case saves no registers. The sine's (quarter 0) takes
// 2^-26 <= |x| < 2^16, the cosine's (quarter 1) 2^-27 <= |x| < 2^16.
template <unsigned quarter>
[[gnu::always_inline]] inline double sinOrCos(double x) {
  if (exponentWithin(x, 1023 - 26 - quarter, 26 + quarter + 16) && tablesReady) [[likely]] {
    const Estimate e = combine(reduce(x), quarter);
    double r;
    if (roundsSurely(e.hi, e.lo, e.err, r)) [[likely]]
      return r;
  }
  return quarter == 0 ? sinRare(x) : cosRare(x);
}

}  // namespace

double exactSin(double x) { return sinOrCos<0>(x); }
double exactCos(double x) { return sinOrCos<1>(x); }

double exactAtan2(double y, double x) {
  // a = min(|x|, |y|), b = max, by their bits (a NaN is the largest).
  const uint64_t xBits = bitsOf(x) & ~signBit, yBits = bitsOf(y) & ~signBit;
  const uint64_t aBits = std::min(xBits, yBits), bBits = std::max(xBits, yBits);
  // The fast path takes 2^-500 <= b < 2^500 and a / b >= 2^-60: the exponent
  // fields differ by under 60.
  const uint64_t bField = bBits >> 52;
  if (bField - 523 < 1000 && bField - (aBits >> 52) < 60 && tablesReady) [[likely]] {
    const unsigned quadrant = (yBits > xBits ? 2u : 0u) | static_cast<unsigned>(bitsOf(x) >> 63);
    const AtanParts parts = atanParts(fromBits(aBits), fromBits(bBits), quadrant);
    const Estimate e = atanEstimate(parts, false);
    double r;
    if (roundsSurely(e.hi, e.lo, e.err, r)) [[likely]]
      return timesSignOf(r, y);
    return atan2Refined(y, x, parts);
  }
  return atan2Rare(y, x);
}

void exactSinCos(double x, double& s, double& c) {
  if (exponentWithin(x, 1023 - 27, 27 + 16) && tablesReady) [[likely]] {
    const Reduced d = reduce(x);
    const Estimate es = combine(d, 0), ec = combine(d, 1);
    if (!roundsSurely(es.hi, es.lo, es.err, s)) s = sinRare(x);
    if (!roundsSurely(ec.hi, ec.lo, ec.err, c)) c = cosRare(x);
    return;
  }
  s = sinRare(x);
  c = cosRare(x);
}

namespace exact_detail {

Estimate fastSin(double x) {
  if (!(absOf(x) < fastSinCosLimit)) return {};
  return combine(reduce(x), 0);
}

Estimate fastCos(double x) {
  if (!(absOf(x) < fastSinCosLimit)) return {};
  return combine(reduce(x), 1);
}

Estimate fastAtan2(double y, double x, bool refine) {
  const double ax = absOf(x), ay = absOf(y);
  if (!(ax > 0 && ay > 0 && ax < infinity && ay < infinity)) return {};
  const double a = std::min(ax, ay), b = std::max(ax, ay);
  const double q = a / b;
  if (q < 0x1p-60) return {};
  Estimate e = atanEstimate(scaledAtanParts(a, b, (ay > ax ? 2u : 0u) | (isNegative(x) ? 1u : 0u)), refine);
  e.hi = timesSignOf(e.hi, y);
  e.lo = isNegative(y) ? -e.lo : e.lo;
  return e;
}

bool slowSin(double x, int words, double& result) { return slowSinCos(x, words, false, result); }
bool slowCos(double x, int words, double& result) { return slowSinCos(x, words, true, result); }

bool slowAtan2(double y, double x, int words, double& result) {
  const double ax = absOf(x), ay = absOf(y);
  if (!(ax > 0 && ay > 0 && ax < infinity && ay < infinity)) {
    result = atan2Special(y, x);
    return true;
  }
  return slowAtan2Core(y, x, words, result);
}

}  // namespace exact_detail
}  // namespace vorlith
