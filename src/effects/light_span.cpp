// The inner loop of the light field: one light's additions along a stretch of
// a row. The plain form and two SIMD forms (SSE2; AVX2 with a gather of the
// eight additions at once) give the same words.
#include "effects/light_field.h"
#include "base/kernel_dispatch.h"
#include "image/raster.h"

namespace vorlith {

namespace {

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

constexpr KernelCandidate<LightSpanForm> candidates[] = {
#if VORLITH_X86
    {{"avx2", addLightSpanAvx2}, cpuHasAvx2},
    {{"sse2", addLightSpanSse2}, cpuHasSse2},
#endif
    {{"plain", addLightSpanPlain}},
};

}  // namespace

void addLightSpanPlain(uint32_t* row, const uint8_t* levels, const uint32_t* additions, int count) {
  for (int i = 0; i < count; ++i) {
    row[i] = bytewiseSaturatedSum(row[i], additions[levels[i]]);
  }
}

const KernelForms<LightSpanForm>& lightSpanForms() {
  static const KernelForms<LightSpanForm> forms(candidates);
  return forms;
}

void addLightSpan(uint32_t* row, const uint8_t* levels, const uint32_t* additions, int count) {
  lightSpanForms().active().addSpan(row, levels, additions, count);
}

}  // namespace vorlith
