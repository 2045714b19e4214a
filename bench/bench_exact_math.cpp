// Cost of our correctly rounded sin, cos and atan2 next to the C library's,
// on arguments like the show's: angles within a turn or two, and the tunnel's
// float points.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "base/exact_math.h"

namespace vorlith {
namespace {

constexpr size_t count = 4096;

const std::vector<double>& angles() {
  static const std::vector<double> v = [] {
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> d(-7, 7);
    std::vector<double> a(count);
    for (double& x : a) x = d(random);
    return a;
  }();
  return v;
}

const std::vector<double>& floatCoordinates() {
  static const std::vector<double> v = [] {
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> d(-300, 300);
    std::vector<double> a(2 * count);
    for (double& x : a) x = static_cast<float>(d(random));
    return a;
  }();
  return v;
}

template <double (*f)(double)>
void unary(benchmark::State& state) {
  const std::vector<double>& a = angles();
  for (auto _ : state) {
    double sum = 0;
    for (const double x : a) sum += f(x);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

template <double (*f)(double, double)>
void binary(benchmark::State& state) {
  const std::vector<double>& a = floatCoordinates();
  for (auto _ : state) {
    double sum = 0;
    for (size_t i = 0; i < count; ++i) sum += f(a[2 * i], a[2 * i + 1]);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

double librarySin(double x) { return std::sin(x); }
double libraryCos(double x) { return std::cos(x); }
double libraryAtan2(double y, double x) { return std::atan2(y, x); }

BENCHMARK(unary<librarySin>)->Name("Sin/library");
BENCHMARK(unary<exactSin>)->Name("Sin/exact");
BENCHMARK(unary<libraryCos>)->Name("Cos/library");
BENCHMARK(unary<exactCos>)->Name("Cos/exact");
BENCHMARK(binary<libraryAtan2>)->Name("Atan2/library");
BENCHMARK(binary<exactAtan2>)->Name("Atan2/exact");

}  // namespace
}  // namespace vorlith
