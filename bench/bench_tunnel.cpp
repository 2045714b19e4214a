// Cost of the tunnel's two halves: casting the 41x26 rays, and filling the
// 320x200 frame from the grids.
#include <benchmark/benchmark.h>

#include <vector>

#include "effects/tunnel.h"
#include "image/image.h"

namespace vorlith {
namespace {

// A tunnel in flight: camera along the axis, the three angles turned.
struct FlyingTunnel {
  FlyingTunnel() {
    tunnel.init(300.0f);
    tunnel.loadTexture();
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

}  // namespace
}  // namespace vorlith
