// What a seek costs: restoring the snapshot before the target and playing
// the frames between; and what beginning late costs a fresh show.
#include <benchmark/benchmark.h>

#include <random>

#include "bench_show.h"
#include "driver/seek.h"
#include "driver/snapshot.h"

namespace vorlith::bench {
namespace {

// A seek to a random frame of a run at 60 fps through a store filled along
// the whole show (snapshots one a second), up to the frame on the surface.
void BM_SeekThroughStore(benchmark::State& state) {
  constexpr uint32_t fps = 60;
  BenchShow run;
  SnapshotStore store(fps, fps, 64u << 20);
  store.offer(*run.show);
  showSeek(*run.show, store, finalFrame(fps) - 1);
  std::mt19937 random(3);
  std::uniform_int_distribution<uint64_t> any(0, finalFrame(fps) - 1);
  for (auto _ : state) {
    const uint64_t target = any(random);
    showSeek(*run.show, store, target);
    run.frame(target, fps);
  }
  state.counters["snapshots"] = static_cast<double>(store.count());
  state.counters["store_kB"] = static_cast<double>(store.bytes()) / 1024;
}
BENCHMARK(BM_SeekThroughStore)->Unit(benchmark::kMillisecond);

// Start-up of a show that begins at a given second at 30 fps (tables,
// pictures, and the frames before the start), as --start does.
void BM_StartAt(benchmark::State& state) {
  const uint32_t ms = static_cast<uint32_t>(state.range(0)) * 1000;
  for (auto _ : state) {
    BenchShow run(ms, 30);
    benchmark::DoNotOptimize(run.show->frameIndex);
  }
}
BENCHMARK(BM_StartAt)->Arg(0)->Arg(170)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlith::bench
