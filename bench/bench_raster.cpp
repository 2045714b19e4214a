// The raster kernels that run over whole frames most frames of the show, the
// light rays and the light field, each form of the SIMD kernels on its own.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "effects/light_field.h"
#include "image/light_rays.h"
#include "image/raster.h"

namespace vorlith {
namespace {

struct BenchFrame {
  explicit BenchFrame(uint32_t seed) {
    std::mt19937 random(seed);
    for (auto& w : words) w = random();
  }
  std::vector<uint32_t> words = std::vector<uint32_t>(framePixels);
  Image image{frameWidth, frameHeight, 32, frameWidth * 4, reinterpret_cast<uint8_t*>(words.data())};
};

// The form at index, widest first; past the last, the plain one.
template <typename Form>
const Form& nthForm(const KernelForms<Form>& forms, int64_t index) {
  const auto all = forms.all();
  return index < static_cast<int64_t>(all.size()) ? all[static_cast<size_t>(index)] : forms.plain();
}

const RasterKernels& form(int64_t index) { return nthForm(rasterKernelForms(), index); }

void BM_Crossfade(benchmark::State& state) {
  BenchFrame a(1), b(2);
  const RasterKernels& kernels = form(state.range(0));
  state.SetLabel(kernels.name);
  for (auto _ : state) {
    kernels.crossfade(a.words.data(), b.words.data(), framePixels, 200);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * frameBytes);
}
BENCHMARK(BM_Crossfade)->DenseRange(0, 2);

void BM_AddSaturate(benchmark::State& state) {
  BenchFrame a(3), b(4);
  const RasterKernels& kernels = form(state.range(0));
  state.SetLabel(kernels.name);
  for (auto _ : state) {
    kernels.addSaturate(a.words.data(), b.words.data(), framePixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * frameBytes);
}
BENCHMARK(BM_AddSaturate)->Arg(0)->Arg(1)->Arg(2);

// Each form of the fan, from the middle and from near the right edge.
void BM_DrawLightRays(benchmark::State& state) {
  BenchFrame src(5), dst(6);
  for (auto& w : src.words) w &= 0x0F1F3F7F;
  const LightRayForm& form = nthForm(lightRayForms(), state.range(0));
  const int cx = static_cast<int>(state.range(1));
  state.SetLabel(form.name);
  for (auto _ : state) {
    form.drawRays(src.image.pixels, dst.image.pixels, cx, 100);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawLightRays)->ArgsProduct({{0, 1, 2, 3}, {160, 300}});

void BM_LightFieldRender(benchmark::State& state) {
  BenchFrame target(7);
  LightField field;
  field.init(3, frameWidth, frameHeight);
  field.setLightColour(0, 0x0000FF);
  field.setLightColour(1, 0x00FF00);
  field.setLightColour(2, 0xFF0000);
  field.setLightPosition(0, 220, 100);
  field.setLightPosition(1, 160, 40);
  field.setLightPosition(2, 80, 150);
  for (auto _ : state) {
    field.render(target.image);
    benchmark::ClobberMemory();
  }
  field.destroy();
}
BENCHMARK(BM_LightFieldRender);

}  // namespace
}  // namespace vorlith
