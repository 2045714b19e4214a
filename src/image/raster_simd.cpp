// The cross-fade and the saturating add run over whole frames in most frames
// of the show, so they have SIMD forms: SSE2 (every x86-64 has it) and AVX2
// where the processor offers it, chosen once at the first call. Elsewhere the
// plain forms serve. Every form gives exactly the plain form's bytes.
#include <algorithm>

#include "base/kernel_dispatch.h"
#include "image/raster.h"

namespace vorlith {

namespace {

#if VORLITH_X86

// Each byte widened to 16 bits, multiplied by its weight and shifted down on
// its own, the two halves added and packed back (never above 255).
__attribute__((target("sse2"))) void crossfadeSse2(const uint32_t* a, uint32_t* b, int64_t count, int weight) {
  const int wa = std::clamp(weight, 0, 256);
  const __m128i factorA = _mm_set1_epi16(static_cast<short>(wa));
  const __m128i factorB = _mm_set1_epi16(static_cast<short>(256 - wa));
  const __m128i zero = _mm_setzero_si128();
  int64_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i low = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), factorA), 8),
                                      _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), factorB), 8));
    const __m128i high = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), factorA), 8),
                                       _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), factorB), 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b + i), _mm_packus_epi16(low, high));
  }
  crossfadeWordsPlain(a + i, b + i, count - i, weight);
}

__attribute__((target("avx2"))) void crossfadeAvx2(const uint32_t* a, uint32_t* b, int64_t count, int weight) {
  const int wa = std::clamp(weight, 0, 256);
  const __m256i factorA = _mm256_set1_epi16(static_cast<short>(wa));
  const __m256i factorB = _mm256_set1_epi16(static_cast<short>(256 - wa));
  const __m256i zero = _mm256_setzero_si256();
  int64_t i = 0;
  // Unpacking and packing both work within each 128-bit half, so the bytes
  // come back in their own places.
  for (; i + 8 <= count; i += 8) {
    const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
    const __m256i low =
        _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(va, zero), factorA), 8),
                         _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(vb, zero), factorB), 8));
    const __m256i high =
        _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(va, zero), factorA), 8),
                         _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(vb, zero), factorB), 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(b + i), _mm256_packus_epi16(low, high));
  }
  crossfadeWordsPlain(a + i, b + i, count - i, weight);
}

__attribute__((target("sse2"))) void addSaturateSse2(const uint32_t* src, uint32_t* dst, int64_t count) {
  int64_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(d, s));
  }
  addSaturateWordsPlain(src + i, dst + i, count - i);
}

__attribute__((target("avx2"))) void addSaturateAvx2(const uint32_t* src, uint32_t* dst, int64_t count) {
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_adds_epu8(d, s));
  }
  addSaturateWordsPlain(src + i, dst + i, count - i);
}

#endif

// Widest first; the plain form serves everywhere else.
constexpr KernelCandidate<RasterKernels> candidates[] = {
#if VORLITH_X86
    {{"avx2", crossfadeAvx2, addSaturateAvx2}, cpuHasAvx2},
    {{"sse2", crossfadeSse2, addSaturateSse2}, cpuHasSse2},
#endif
    {{"plain", crossfadeWordsPlain, addSaturateWordsPlain}},
};

}  // namespace

const KernelForms<RasterKernels>& rasterKernelForms() {
  static const KernelForms<RasterKernels> forms(candidates);
  return forms;
}

void crossfadeWords(const uint32_t* a, uint32_t* b, int64_t count, int weight) {
  rasterKernelForms().active().crossfade(a, b, count, weight);
}

void addSaturateWords(const uint32_t* src, uint32_t* dst, int64_t count) {
  rasterKernelForms().active().addSaturate(src, dst, count);
}

}  // namespace vorlith
