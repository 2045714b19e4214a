// Frame cost of every scene with the SIMD kernels and with the plain ones,
// side by side in one run (forcePlainKernels switches every dispatched kernel
// at once), on the default asset pack at 60 frames per second.
//
// BM_SceneFrame/scene:N draws one representative frame of scene N again and
// again, the SIMD form and the plain form in turn. BM_WholeShow plays the
// whole show twice side by side, one show with the SIMD kernels and one with
// the plain ones, taking turns every second of show. Both report the SIMD form's
// median frame cost as their time and the counters
//   simd_us   median cost of a frame with the SIMD kernels
//   plain_us  the same with the plain kernels
//   speedup   plain_us / simd_us
// BM_WholeShow/scene:0 gives the whole run instead: each form's multiple of
// real time, and same_frames = 1 when both shows presented identical frames.
#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "bench_show.h"
#include "driver/schedule.h"
#include "base/kernel_dispatch.h"

namespace vorlith {
namespace {

constexpr uint32_t fps = 60;

void reportForms(benchmark::State& state, const std::vector<double>& simd, const std::vector<double>& plain) {
  const double simdMedian = medianOf(simd);
  const double plainMedian = medianOf(plain);
  state.counters["simd_us"] = simdMedian * 1e6;
  state.counters["plain_us"] = plainMedian * 1e6;
  state.counters["speedup"] = simdMedian > 0 ? plainMedian / simdMedian : 0;
}

// Runs one frame of show with the plain kernels and gives its cost.
double plainFrame(bench::BenchShow& show, uint64_t k) {
  forcePlainKernels(true);
  const double cost = show.frame(k, fps);
  forcePlainKernels(false);
  return cost;
}

struct Representative {
  uint32_t showMs;
  const char* what;
};

// Where a scene has two kinds of frame, the costlier one.
constexpr Representative representatives[sceneCount] = {
    {5178, "logo at full level, rays from mid-sweep"},
    {10356 + 2000, "title fading in: lights, rays, title, cross-fade"},
    {24164 + 15000, "cube with a full trail"},
    {55232 + 43155, "ribbons and blobs through the rays (v = 2500)"},
    {110464 + 12136, "lights over the tunnel (q = 900)"},
    {162244 + 10356, "end picture at full level"},
};

void BM_SceneFrame(benchmark::State& state) {
  const int scene = static_cast<int>(state.range(0));
  const Representative& frame = representatives[scene - 1];
  bench::BenchShow show(scenes[scene - 1].start);
  const uint64_t k = show.playTo(frame.showMs, fps);
  std::vector<double> simd, plain;
  for (auto _ : state) {
    simd.push_back(show.frame(k, fps));
    plain.push_back(plainFrame(show, k));
    state.SetIterationTime(simd.back());
  }
  reportForms(state, simd, plain);
  state.SetLabel(frame.what);
}
BENCHMARK(BM_SceneFrame)
    ->ArgName("scene")
    ->DenseRange(1, sceneCount)
    ->Iterations(400)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Every frame's cost in both forms, by scene (the last entry holds the one
// frame past the end).
struct ShowCosts {
  std::vector<double> simd[sceneCount + 1];
  std::vector<double> plain[sceneCount + 1];
  uint64_t frames = 0;
  uint64_t digest = 0;
  bool sameFrames = false;
};

// The two shows take turns a second of show at a time: close enough in time
// that the machine's load falls on both alike, far enough apart that one
// show's pictures and layers do not keep pushing the other's out of the
// processor's caches.
ShowCosts playBothForms() {
  ShowCosts costs;
  bench::BenchShow simd;
  bench::BenchShow plain;
  for (uint64_t k = 0; !simd.show->quit && !plain.show->quit; k += fps) {
    const uint64_t end = k + fps;
    for (uint64_t f = k; f < end && !simd.show->quit; ++f)
      costs.simd[sceneAt(virtualShowTime(fps, f))].push_back(simd.frame(f, fps));
    for (uint64_t f = k; f < end && !plain.show->quit; ++f, ++costs.frames)
      costs.plain[sceneAt(virtualShowTime(fps, f))].push_back(plainFrame(plain, f));
  }
  costs.digest = simd.digest;
  costs.sameFrames = simd.digest == plain.digest && simd.show->quit && plain.show->quit;
  return costs;
}

void BM_WholeShow(benchmark::State& state) {
  static const ShowCosts costs = playBothForms();
  const int scene = static_cast<int>(state.range(0));
  if (scene > 0) {
    for (auto _ : state) state.SetIterationTime(medianOf(costs.simd[scene - 1]));
    reportForms(state, costs.simd[scene - 1], costs.plain[scene - 1]);
    return;
  }
  double simd = 0, plain = 0;
  for (int s = 0; s <= sceneCount; ++s) {
    for (double c : costs.simd[s]) simd += c;
    for (double c : costs.plain[s]) plain += c;
  }
  for (auto _ : state) state.SetIterationTime(simd / static_cast<double>(costs.frames));
  const double showSeconds = static_cast<double>(costs.frames) / fps;
  state.counters["simd_x_realtime"] = showSeconds / simd;
  state.counters["plain_x_realtime"] = showSeconds / plain;
  state.counters["same_frames"] = costs.sameFrames;
  char label[48];
  std::snprintf(label, sizeof label, "frames digest %016" PRIx64, costs.digest);
  state.SetLabel(label);
}
BENCHMARK(BM_WholeShow)
    ->ArgName("scene")
    ->DenseRange(0, sceneCount)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorlith
