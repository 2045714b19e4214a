// One whole frame of scenes 1, 2 and 6 (scene body, present and clear), on
// pictures made for the purpose, at a chosen scene time.
#include <benchmark/benchmark.h>

#include "scene_harness.h"

namespace vorlith {
namespace {

void sceneFrame(benchmark::State& state, uint32_t windowStart, uint32_t sceneMs) {
  test::SceneRun run({}, windowStart);
  for (auto _ : state) benchmark::DoNotOptimize(run.at(sceneMs).data());
}

// Mid-scene, full level: logo, add, rays over the frame, logo.
void BM_SceneLogoFrame(benchmark::State& state) { sceneFrame(state, 0, 5178); }
BENCHMARK(BM_SceneLogoFrame);

// Full level (lights, title, rays, title) and fading (the same built off
// screen, then the cross-fade).
void BM_SceneTitleFrame(benchmark::State& state) { sceneFrame(state, 10356, static_cast<uint32_t>(state.range(0))); }
BENCHMARK(BM_SceneTitleFrame)->Arg(6904)->Arg(1000);

// Full level: clear, copy, cross-fade.
void BM_SceneEndFrame(benchmark::State& state) { sceneFrame(state, 162244, 10356); }
BENCHMARK(BM_SceneEndFrame);

}  // namespace
}  // namespace vorlith
