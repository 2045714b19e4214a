// Cost of the tunnel's two halves: casting the 41x26 rays, and filling the
// 320x200 frame from the grids.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_show.h"
#include "support.h"
#include "effects/tunnel.h"
#include "image/image.h"

namespace vorlith {
namespace {

// A tunnel in flight: camera along the axis, the three angles turned.
struct FlyingTunnel {
  FlyingTunnel() {
    tunnel.init(300.0f);
    test::loadTunnelTexture(tunnel, "gfx/texture1.tga");
    tunnel.setLightFollowsCamera(1);
    tunnel.setCameraPosition(0, 0, 12345.0f);
    tunnel.setAngles(300, 200, 1500);
    tunnel.trace();
  }
  ~FlyingTunnel() { tunnel.destroy(); }
  Tunnel tunnel;
};

void BM_TunnelTrace(benchmark::State& state) {
  FlyingTunnel f;
  int z = 0;
  for (auto _ : state) {
    f.tunnel.setCameraPosition(0, 0, static_cast<float>(z += 10));
    f.tunnel.trace();
    benchmark::DoNotOptimize(f.tunnel.uGrid[0]);
  }
}
BENCHMARK(BM_TunnelTrace);

void BM_TunnelRender(benchmark::State& state) {
  FlyingTunnel f;
  std::vector<uint32_t> frame(framePixels);
  for (auto _ : state) {
    f.tunnel.render(frame.data());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_TunnelRender);

// One whole frame of scene 5 (draw, present off-screen) at step q of its
// curve, on the default asset pack: 100 fading in from white, 600 the tunnel
// alone, 900 the lights over the tunnel, 3400 the lights fading to black.
void BM_SceneTunnelFrame(benchmark::State& state) {
  bench::BenchShow show;
  constexpr uint64_t sceneStart = 110464;
  show.frameAtMs(sceneStart);  // the scene's first frame
  show.frameAtMs(sceneStart);  // starts the scene clock
  const auto frameAtStep = [&](uint64_t q) { return show.frameAtMs(sceneStart + (q * 3452 + 128) / 256); };
  const uint64_t q = static_cast<uint64_t>(state.range(0));
  frameAtStep(q > 2660 ? 2600 : q - 1);  // the light level the course has reached by then
  for (auto _ : state) state.SetIterationTime(frameAtStep(q));  // without the frames' digest
}
BENCHMARK(BM_SceneTunnelFrame)->Arg(100)->Arg(600)->Arg(900)->Arg(3400)->UseManualTime();

}  // namespace
}  // namespace vorlith
