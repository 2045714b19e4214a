// sin, cos and atan2 of our own against MPFR's correctly rounded results: every
// argument the show passes, random sweeps over the show's ranges and beyond, the
// classic hard cases, and the two paths and the fast path's error bound alone.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <unordered_set>
#include <vector>

#include "base/exact_math.h"
#include "support.h"

namespace vorlith {
namespace {

using exact_detail::Function;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

const char* name(Function f) { return f == Function::sin ? "sin" : f == Function::cos ? "cos" : "atan2"; }

double ours(Function f, double a, double b) {
  return f == Function::sin ? exactSin(a) : f == Function::cos ? exactCos(a) : exactAtan2(a, b);
}

// MPFR in the double format: 53 bits, the double exponent range and
// subnormals, so that its results are the doubles nearest the exact values.
class Reference {
 public:
  Reference() : emin_(mpfr_get_emin()), emax_(mpfr_get_emax()) {
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    mpfr_inits2(53, a_, b_, r_, static_cast<mpfr_ptr>(nullptr));
  }
  ~Reference() {
    mpfr_clears(a_, b_, r_, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_emin(emin_);
    mpfr_set_emax(emax_);
  }
  double operator()(Function f, double a, double b) {
    mpfr_set_d(a_, a, MPFR_RNDN);
    mpfr_set_d(b_, b, MPFR_RNDN);
    int t = f == Function::sin   ? mpfr_sin(r_, a_, MPFR_RNDN)
            : f == Function::cos ? mpfr_cos(r_, a_, MPFR_RNDN)
                                 : mpfr_atan2(r_, a_, b_, MPFR_RNDN);
    t = mpfr_subnormalize(r_, t, MPFR_RNDN);
    return mpfr_get_d(r_, MPFR_RNDN);
  }

 private:
  mpfr_exp_t emin_, emax_;
  mpfr_t a_, b_, r_;
};

bool sameDouble(double a, double b) {
  return (a != a && b != b) || std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

// Checks ours (and exactSinCos's half) against the reference and reports the
// first few mismatches.
struct Checker {
  Reference reference;
  uint64_t checked = 0, mismatches = 0;
  void operator()(Function f, double a, double b = 0) {
    ++checked;
    double got = ours(f, a, b);
    const double want = reference(f, a, b);
    if (f != Function::atan2) {  // exactSinCos must give the same pair
      double s, c;
      exactSinCos(a, s, c);
      if (!sameDouble(f == Function::sin ? s : c, got)) got = f == Function::sin ? s : c;
    }
    if (sameDouble(got, want)) return;
    if (++mismatches <= 10) ADD_FAILURE() << name(f) << "(" << std::hexfloat << a << ", " << b << ") = " << got
                                          << ", nearest is " << want;
  }
};

// Random arguments; VORLITH_MATHS_SWEEP sets the count per kind (the long run).
uint64_t sweepCount(uint64_t fallback) {
  const char* s = std::getenv("VORLITH_MATHS_SWEEP");
  return s ? std::strtoull(s, nullptr, 10) : fallback;
}

struct Arguments {
  std::mt19937_64 random{20260607};
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); }
  // Any sign, magnitude spread evenly over the binades 2^lo .. 2^hi.
  double spread(int lo, int hi) {
    const double m = std::ldexp(uniform(1, 2), std::uniform_int_distribution<int>(lo, hi - 1)(random));
    return (random() & 1) ? -m : m;
  }
};

TEST(ExactMath, RandomSinAndCosOverTheShowsAnglesAndBeyond) {
  // The show's angles lie within a few turns of 0; also tiny and huge ones.
  Checker check;
  Arguments args;
  const uint64_t n = sweepCount(100000);
  for (uint64_t i = 0; i < n; ++i) {
    const double inRange = args.uniform(-16, 16), wide = args.spread(-40, 40);
    for (const Function f : {Function::sin, Function::cos}) {
      check(f, inRange);
      check(f, wide);
    }
    if (i % 64 == 0) check(Function::sin, args.spread(-1074, 1024)), check(Function::cos, args.spread(-1074, 1024));
  }
  EXPECT_EQ(check.mismatches, 0u) << "of " << check.checked;
}

TEST(ExactMath, RandomAtan2OverTheTunnelsPointsAndBeyond) {
  // The tunnel asks for the angle of float points within a few hundred units.
  Checker check;
  Arguments args;
  const uint64_t n = sweepCount(100000);
  for (uint64_t i = 0; i < n; ++i) {
    check(Function::atan2, static_cast<float>(args.uniform(-400, 400)), static_cast<float>(args.uniform(-400, 400)));
    check(Function::atan2, args.uniform(-1, 1), args.uniform(-1, 1));
    check(Function::atan2, args.spread(-70, 70), args.spread(-70, 70));
    if (i % 64 == 0) check(Function::atan2, args.spread(-1074, 1024), args.spread(-1074, 1024));
  }
  EXPECT_EQ(check.mismatches, 0u) << "of " << check.checked;
}

TEST(ExactMath, SinAndCosHardCases) {
  Checker check;
  std::vector<double> xs = {0.0, -0.0, inf, -inf, nan, DBL_MIN, DBL_TRUE_MIN, DBL_MAX, 0x1p-26, 0x1p-27,
                            0x1p16, 0x1p20, 1e22, 0x1p1023,
                            // the double closest to a multiple of pi/2 of all
                            0x1.6ac5b262ca1ffp+849};
  // The doubles nearest k pi/2, where the result is tiny or next to 1.
  mpfr_t pi, t;
  mpfr_inits2(256, pi, t, static_cast<mpfr_ptr>(nullptr));
  mpfr_const_pi(pi, MPFR_RNDN);
  for (int k = 1; k < 6000; ++k) {
    mpfr_mul_si(t, pi, k, MPFR_RNDN);
    mpfr_div_2ui(t, t, 1, MPFR_RNDN);
    xs.push_back(mpfr_get_d(t, MPFR_RNDN));
  }
  for (const double scale : {0x1p30, 0x1p60, 0x1p200, 0x1p900}) {  // far multiples
    mpfr_mul_d(t, pi, scale, MPFR_RNDN);
    xs.push_back(mpfr_get_d(t, MPFR_RNDN));
  }
  mpfr_clears(pi, t, static_cast<mpfr_ptr>(nullptr));
  for (const double x0 : std::vector<double>(xs)) {
    double up = x0, down = x0;
    for (int i = 0; i < 3; ++i) xs.push_back(up = std::nextafter(up, inf)), xs.push_back(down = std::nextafter(down, -inf));
  }
  for (const double x : xs)
    for (const double s : {x, -x}) check(Function::sin, s), check(Function::cos, s);
  EXPECT_EQ(check.mismatches, 0u) << "of " << check.checked;
}

TEST(ExactMath, Atan2HardCases) {
  Checker check;
  const std::vector<double> values = {0.0, -0.0, inf, -inf, nan, 1.0, -3.5, DBL_TRUE_MIN, DBL_MIN, DBL_MAX, 0x1p-600,
                                      0x1p600};
  for (const double y : values)  // the IEEE cases: zeros, axes, infinities, NaN
    for (const double x : values) check(Function::atan2, y, x);
  for (int e = -1074; e <= 1023; e += 7) {  // the diagonals and next to them
    double t = std::ldexp(1.2345, e);
    for (int i = 0; i < 3; ++i, t = std::nextafter(t, inf))
      for (const double dy : {-1.0, 0.0, 1.0}) {
        const double y = dy < 0 ? std::nextafter(t, 0.0) : dy > 0 ? std::nextafter(t, inf) : t;
        for (const double sy : {y, -y})
          for (const double sx : {t, -t}) check(Function::atan2, sy, sx);
      }
  }
  // Quotients so small that atan rounds like the quotient: ties, which round
  // toward zero, and neighbours of ties, into the subnormals.
  for (const double y : {0x1p-1000, 0x3p-1000, 0x5p-1001, 0x1.8p-900, 0x1.0000000000001p-1000})
    for (const double x : {0x1p75, 0x1p74, 0x1p73, 0x1.8p60, 3.0, 0x1p1000})
      for (const double sy : {y, -y})
        for (const double sx : {x, -x}) check(Function::atan2, sy, sx), check(Function::atan2, sx, sy);
  // Ratios at the fast path's borders: 2^-60, 2^-7, the scaling at 2^+-500.
  for (const double q : {0x1p-60, 0x1p-61, 0x1.00001p-7, 0x1p-7, 0.4, 1.0})
    for (const double b : {1.0, 0x1p500, 0x1p-500, 0x1p1000, 0x1p-1000}) {
      double y = q * b;
      for (int i = 0; i < 3; ++i, y = std::nextafter(y, inf)) check(Function::atan2, y, b), check(Function::atan2, -y, -b);
    }
  EXPECT_EQ(check.mismatches, 0u) << "of " << check.checked;
}

// |exact - (hi + lo)| <= err for the fast path's estimates: the rounding test
// is only as good as this bound. (Ratios of the error to the bound stay below 1.)
TEST(ExactMath, FastPathErrorStaysWithinItsBound) {
  mpfr_t exact, a, b;
  mpfr_inits2(300, exact, a, b, static_cast<mpfr_ptr>(nullptr));
  Arguments args;
  enum { sin, cos, atan2, refined, kinds };
  const char* names[kinds] = {"sin", "cos", "atan2", "atan2 refined"};
  double worst[kinds] = {};
  for (int i = 0; i < 30000; ++i) {
    const double x = i % 2 ? args.uniform(-16, 16) : args.spread(-26, 16);
    // Points whose ratio is under 2^-60 take another road: none here. Every
    // other point is made of floats, as the tunnel's are.
    double y = i % 2 ? args.uniform(-400, 400) : args.spread(-29, 29);
    double z = i % 2 ? args.uniform(-400, 400) : args.spread(-29, 29);
    if (i % 4 < 2) y = static_cast<float>(y), z = static_cast<float>(z);
    for (int k = 0; k < kinds; ++k) {
      const exact_detail::Estimate e = k == sin   ? exact_detail::fastSin(x)
                                       : k == cos ? exact_detail::fastCos(x)
                                                  : exact_detail::fastAtan2(y, z, k == refined);
      ASSERT_TRUE(e.valid);
      mpfr_set_d(a, k >= atan2 ? y : x, MPFR_RNDN);
      mpfr_set_d(b, z, MPFR_RNDN);
      if (k == sin) mpfr_sin(exact, a, MPFR_RNDN);
      if (k == cos) mpfr_cos(exact, a, MPFR_RNDN);
      if (k >= atan2) mpfr_atan2(exact, a, b, MPFR_RNDN);
      mpfr_sub_d(exact, exact, e.hi, MPFR_RNDN);
      mpfr_sub_d(exact, exact, e.lo, MPFR_RNDN);
      worst[k] = std::max(worst[k], std::abs(mpfr_get_d(exact, MPFR_RNDN)) / e.err);
    }
  }
  mpfr_clears(exact, a, b, static_cast<mpfr_ptr>(nullptr));
  for (int k = 0; k < kinds; ++k) EXPECT_LT(worst[k], 1.0) << names[k] << ": the error went past the bound";
}

// The multi-word path alone (the fast path hides it almost always): at 160
// bits it decides nearly every argument, and always rightly.
TEST(ExactMath, SlowPathAloneAgreesWithTheReference) {
  Reference reference;
  Arguments args;
  int undecided = 0, wrong = 0, total = 0;
  for (int i = 0; i < 3000; ++i) {
    const double x = i % 2 ? args.uniform(-16, 16) : args.spread(-26, 1024);
    // (The multi-word path leaves quotients under 2^-60 to an exact rule.)
    const double y = args.spread(-29, 29), z = args.spread(-29, 29);
    for (const Function f : {Function::sin, Function::cos, Function::atan2}) {
      double r = 0;
      const bool decided = f == Function::sin   ? exact_detail::slowSin(x, 5, r)
                           : f == Function::cos ? exact_detail::slowCos(x, 5, r)
                                                : exact_detail::slowAtan2(y, z, 5, r);
      ++total;
      if (!decided) {
        ++undecided;
        continue;
      }
      const double want = f == Function::atan2 ? reference(f, y, z) : reference(f, x, 0);
      if (!sameDouble(r, want) && ++wrong <= 10)
        ADD_FAILURE() << name(f) << std::hexfloat << " slow path at " << x << " / " << y << ", " << z << ": " << r;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_LT(undecided, total / 1000);
}

// Every argument the show passes at a frame rate, on the default pack.
class ShowArguments : public ::testing::TestWithParam<uint32_t> {};

// Told every argument the show's code passes while it is set.
void (*watch)(Function, double, double) = nullptr;

std::unordered_set<uint64_t>* seenAngles[2];
struct PairHash {
  size_t operator()(const std::pair<uint64_t, uint64_t>& p) const { return p.first * 0x9e3779b97f4a7c15u ^ p.second; }
};
std::unordered_set<std::pair<uint64_t, uint64_t>, PairHash>* seenPoints;
std::vector<std::pair<double, double>>* points;

void collect(Function f, double a, double b) {
  if (f != Function::atan2) {
    seenAngles[static_cast<int>(f)]->insert(std::bit_cast<uint64_t>(a));
    return;
  }
  if (seenPoints->insert({std::bit_cast<uint64_t>(a), std::bit_cast<uint64_t>(b)}).second) points->emplace_back(a, b);
}

TEST_P(ShowArguments, AreAllRoundedAsTheReferenceRoundsThem) {
  std::unordered_set<uint64_t> sines, cosines;
  std::unordered_set<std::pair<uint64_t, uint64_t>, PairHash> seen;
  std::vector<std::pair<double, double>> pairs;
  seenAngles[0] = &sines;
  seenAngles[1] = &cosines;
  seenPoints = &seen;
  points = &pairs;
  watch = collect;
  test::runVirtualShow(GetParam(), {}, {}, &test::defaultPack());
  watch = nullptr;

  // Sanity: the show did ask (the tables, the ribbons, the tunnel).
  EXPECT_GT(sines.size(), 1000u);
  EXPECT_GT(cosines.size(), 1000u);
  EXPECT_GT(pairs.size(), 100000u);
  Checker check;
  for (const uint64_t a : sines) check(Function::sin, std::bit_cast<double>(a));
  for (const uint64_t a : cosines) check(Function::cos, std::bit_cast<double>(a));
  for (const auto& [y, x] : pairs) check(Function::atan2, y, x);
  EXPECT_EQ(check.mismatches, 0u) << "of " << check.checked;
}

INSTANTIATE_TEST_SUITE_P(FramesPerSecond, ShowArguments, ::testing::Values(24u, 30u, 50u, 60u, 144u),
                         [](const auto& info) { return std::to_string(info.param) + "fps"; });

}  // namespace
}  // namespace vorlith

// The linker hands every call of the four entries from the other files of the
// program to these (--wrap, tests/CMakeLists.txt), which tell the watch and
// pass the call on: the show's own code keeps no hook for its tests.
extern "C" {
double __real__ZN7vorlith8exactSinEd(double);
double __real__ZN7vorlith8exactCosEd(double);
void __real__ZN7vorlith11exactSinCosEdRdS0_(double, double&, double&);
double __real__ZN7vorlith10exactAtan2Edd(double, double);

double __wrap__ZN7vorlith8exactSinEd(double x) {
  if (vorlith::watch) vorlith::watch(vorlith::Function::sin, x, 0);
  return __real__ZN7vorlith8exactSinEd(x);
}
double __wrap__ZN7vorlith8exactCosEd(double x) {
  if (vorlith::watch) vorlith::watch(vorlith::Function::cos, x, 0);
  return __real__ZN7vorlith8exactCosEd(x);
}
void __wrap__ZN7vorlith11exactSinCosEdRdS0_(double x, double& s, double& c) {
  if (vorlith::watch) {
    vorlith::watch(vorlith::Function::sin, x, 0);
    vorlith::watch(vorlith::Function::cos, x, 0);
  }
  __real__ZN7vorlith11exactSinCosEdRdS0_(x, s, c);
}
double __wrap__ZN7vorlith10exactAtan2Edd(double y, double x) {
  if (vorlith::watch) vorlith::watch(vorlith::Function::atan2, y, x);
  return __real__ZN7vorlith10exactAtan2Edd(y, x);
}
}
