// The inner loop of the light field: one light's additions along a stretch of
// a row. The plain form and three SIMD forms (SSE2; AVX2 with a gather of the
// eight additions at once; WebAssembly's SIMD128) give the same words.
#include "effects/light_field.h"
#include "base/kernel_dispatch.h"
#include "image/raster.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace vorlith {

namespace {

void addLightSpanPlain(uint32_t* row, const uint8_t* levels, const uint32_t* additions, int count) {
  for (int i = 0; i < count; ++i) {
    row[i] = bytewiseSaturatedSum(row[i], additions[levels[i]]);
  }
}

#if VORLITH_X86

__attribute__((target("sse2"))) void addLightSpanSse2(uint32_t* row, const uint8_t* levels,
                                                        const uint32_t* additions, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i add = _mm_set_epi32(static_cast<int>(additions[levels[i + 3]]), static_cast<int>(additions[levels[i + 2]]),
                                      static_cast<int>(additions[levels[i + 1]]), static_cast<int>(additions[levels[i]]));
    __m128i* at = reinterpret_cast<__m128i*>(row + i);
    _mm_storeu_si128(at, _mm_adds_epu8(_mm_loadu_si128(at), add));
  }
  addLightSpanPlain(row + i, levels + i, additions, count - i);
}

__attribute__((target("avx2"))) void addLightSpanAvx2(uint32_t* row, const uint8_t* levels,
                                                        const uint32_t* additions, int count) {
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i index = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(levels + i)));
    const __m256i add = _mm256_i32gather_epi32(reinterpret_cast<const int*>(additions), index, 4);
    __m256i* at = reinterpret_cast<__m256i*>(row + i);
    _mm256_storeu_si256(at, _mm256_adds_epu8(_mm256_loadu_si256(at), add));
  }
  addLightSpanPlain(row + i, levels + i, additions, count - i);
}

#endif

#if defined(__wasm_simd128__)

// As the SSE2 form: four additions looked up, then one saturating byte add.
void addLightSpanSimd128(uint32_t* row, const uint8_t* levels, const uint32_t* additions, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const v128_t add = wasm_u32x4_make(additions[levels[i]], additions[levels[i + 1]], additions[levels[i + 2]],
                                       additions[levels[i + 3]]);
    wasm_v128_store(row + i, wasm_u8x16_add_sat(wasm_v128_load(row + i), add));
  }
  addLightSpanPlain(row + i, levels + i, additions, count - i);
}

#endif

constexpr KernelCandidate<LightSpanForm> candidates[] = {
#if VORLITH_X86
    {{"avx2", addLightSpanAvx2}, cpuHasAvx2},
    {{"sse2", addLightSpanSse2}, cpuHasSse2},
#endif
#if defined(__wasm_simd128__)
    {{"simd128", addLightSpanSimd128}},
#endif
    {{"plain", addLightSpanPlain}},
};

}  // namespace

const KernelForms<LightSpanForm>& lightSpanForms() {
  static const KernelForms<LightSpanForm> forms(candidates);
  return forms;
}

void addLightSpan(uint32_t* row, const uint8_t* levels, const uint32_t* additions, int count) {
  lightSpanForms().active().addSpan(row, levels, additions, count);
}

}  // namespace vorlith
