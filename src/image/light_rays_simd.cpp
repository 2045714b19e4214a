// The SIMD forms of the light rays, giving the plain walk's bytes. SSE2
// holds one pixel's three accumulators in one register; AVX2 walks eight
// rays side by side, one pixel of each per step, and AVX-512 sixteen. In the
// browser WebAssembly's SIMD128 walks one ray, or four side by side.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/kernel_dispatch.h"
#include "image/light_ray_walk.h"
#include "image/light_rays.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace vorlith::rays {

namespace {

#if VORLITH_X86 || defined(__wasm_simd128__)

uint32_t loadWord(const uint8_t* at) {
  uint32_t word;
  std::memcpy(&word, at, 4);
  return word;
}

// The low three bytes of value over the fourth byte of the word at.
void storeColour(uint8_t* at, uint32_t value) {
  const uint32_t word = (loadWord(at) & 0xFF000000u) | (value & 0x00FFFFFFu);
  std::memcpy(at, &word, 4);
}

#endif

#if VORLITH_X86

// One ray, its pixel's channels in 16-bit lanes of one register. The
// accumulators always add (held at 32767 by the saturating add), which
// leaves every unsaturated one as the plain walk has it and every saturated
// one at 16384 or more. A saturated channel's value comes out of the minimum
// as 254 (a 64th of its accumulator alone is 256 or more) and is raised to
// 255 by subtracting its all-ones mask; the only loop-carried work is the add.
__attribute__((target("sse2"))) void walkRaySse2(const uint8_t* src, uint8_t* dst, int start, const Ray& ray) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i limit = _mm_set1_epi16(saturated - 1);
  const __m128i ceiling = _mm_set1_epi16(254);
  __m128i accumulators = zero;
  walkRayPixels(src, dst, start, ray, [&](const uint8_t* from, uint8_t* to) {
    const __m128i s = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(loadWord(from))), zero);
    const __m128i full = _mm_cmpgt_epi16(accumulators, limit);
    accumulators = _mm_adds_epi16(accumulators, s);
    const __m128i v = _mm_sub_epi16(_mm_min_epi16(_mm_add_epi16(s, _mm_srli_epi16(accumulators, 6)), ceiling), full);
    storeColour(to, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v))));
  });
}

__attribute__((target("sse2"))) void drawRaysSse2(const uint8_t* src, uint8_t* dst, int cx, int cy) {
  walkFan(src, dst, cx, cy, walkRaySse2);
}

#endif

#if VORLITH_X86 || defined(__wasm_simd128__)

// The ray of the fan a batch takes at position i: the drawing order, except
// that all rays to column 0 come before those to column 319, so that rays of
// one length share batches (from a centre off the middle the two sides
// differ much). From a centre at x >= 0 the two sides share no pixel but the
// centre, which every ray writes alike: the first lie at x <= cx, the others
// at x >= cx, and a ray stays on column cx past its first pixel only when it
// falls more than twice its width (its first step is then straight); with
// at most 198 rows to fall, that takes cx < 99 on the left and cx > 220 on
// the right, never both.
int batchedRay(int i) {
  const int r = i - 2 * frameWidth;
  if (r < 0) return i;
  constexpr int rows = frameHeight - 2;
  return 2 * frameWidth + (r < rows ? 2 * r : 2 * (r - rows) + 1);
}

// The rays a batch of lanes walks side by side, from position first of the
// batched order on (lanes past the fan's end get no pixels), as arrays the
// SIMD forms load; the longest and shortest pixel counts among them.
template <int lanes>
struct RayBatch {
  RayBatch(int first, int cx, int cy) {
    for (int lane = 0; lane < lanes; ++lane) {
      Ray ray;
      if (first + lane < fanSize) {
        const Point end = fanEnd(batchedRay(first + lane));
        ray = rayBetween(cx, cy, end.x, end.y);
      }
      count[lane] = ray.count;
      decision[lane] = ray.decision;
      diagonalIncrement[lane] = ray.diagonalIncrement;
      incrementChange[lane] = ray.straightIncrement - ray.diagonalIncrement;
      diagonalStep[lane] = ray.diagonalStep;
      stepChange[lane] = ray.straightStep - ray.diagonalStep;
      longest = std::max(longest, ray.count);
      shortest = std::min(shortest, ray.count);
    }
  }
  alignas(64) int32_t count[lanes];
  alignas(64) int32_t decision[lanes];
  // A step is diagonal, less these changes where the decision is negative.
  alignas(64) int32_t diagonalIncrement[lanes];
  alignas(64) int32_t incrementChange[lanes];
  alignas(64) int32_t diagonalStep[lanes];
  alignas(64) int32_t stepChange[lanes];
  int longest = 0;
  int shortest = frameWidth + 1;
};

#endif

#if VORLITH_X86

// Eight lanes from an aligned array.
__attribute__((target("avx2"))) inline __m256i load(const int32_t* lanes) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
}

// Eight rays at a time, step by step, one pixel of each per step, the
// channels as in walkRaySse2. A ray's pixel at step k lies k pixels from the
// centre along the major axis and at most k along the other, so every ray
// that visits a pixel visits it at the same step; with the lanes storing in
// drawing order, the batches give the plain form's bytes (see batchedRay
// for the one change of order). From a centre at x = -1 the rays' pixels at
// x = -1 are also words of column 319, which other rays reach at other
// steps: such a fan is drawn one ray after another.
__attribute__((target("avx2"))) void drawRaysAvx2(const uint8_t* src, uint8_t* dst, int cx, int cy) {
  if (cx < 0) {
    drawRaysSse2(src, dst, cx, cy);
    return;
  }
  const int* from = reinterpret_cast<const int*>(src);
  const int* old = reinterpret_cast<const int*>(dst);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i limit = _mm256_set1_epi16(saturated - 1);
  const __m256i ceiling = _mm256_set1_epi16(254);
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  const int centre = cy * frameWidth + cx;

  for (int first = 0; first < fanSize; first += 8) {
    const RayBatch<8> batch(first, cx, cy);
    const int longest = batch.longest;
    const int shortest = batch.shortest;
    const __m256i counts = load(batch.count);
    const __m256i diagonalIncrements = load(batch.diagonalIncrement);
    const __m256i incrementChange = load(batch.incrementChange);
    const __m256i diagonalSteps = load(batch.diagonalStep);
    const __m256i stepChange = load(batch.stepChange);
    __m256i decisions = load(batch.decision);
    __m256i offsets = _mm256_set1_epi32(centre);
    // Pixels 0, 1, 4, 5 and 2, 3, 6, 7, as the byte unpacking splits them.
    __m256i accumulatorsLow = zero;
    __m256i accumulatorsHigh = zero;
    alignas(32) int32_t offset[8];
    alignas(32) uint32_t value[8];

    for (int step = 0; step < longest; ++step) {
      __m256i pixels, below;
      unsigned lanes = 0xFF;
      if (step < shortest) {
        pixels = _mm256_i32gather_epi32(from, offsets, 4);
        below = _mm256_i32gather_epi32(old, offsets, 4);
      } else {
        // Rays that have ended read nothing and store nothing.
        const __m256i live = _mm256_cmpgt_epi32(counts, _mm256_set1_epi32(step));
        lanes = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(live)));
        pixels = _mm256_mask_i32gather_epi32(zero, from, offsets, live, 4);
        below = _mm256_mask_i32gather_epi32(zero, old, offsets, live, 4);
      }
      const __m256i sLow = _mm256_unpacklo_epi8(pixels, zero);
      const __m256i sHigh = _mm256_unpackhi_epi8(pixels, zero);
      const __m256i fullLow = _mm256_cmpgt_epi16(accumulatorsLow, limit);
      const __m256i fullHigh = _mm256_cmpgt_epi16(accumulatorsHigh, limit);
      accumulatorsLow = _mm256_adds_epi16(accumulatorsLow, sLow);
      accumulatorsHigh = _mm256_adds_epi16(accumulatorsHigh, sHigh);
      const __m256i vLow = _mm256_sub_epi16(
          _mm256_min_epi16(_mm256_add_epi16(sLow, _mm256_srli_epi16(accumulatorsLow, 6)), ceiling), fullLow);
      const __m256i vHigh = _mm256_sub_epi16(
          _mm256_min_epi16(_mm256_add_epi16(sHigh, _mm256_srli_epi16(accumulatorsHigh, 6)), ceiling), fullHigh);
      const __m256i words = _mm256_blendv_epi8(below, _mm256_packus_epi16(vLow, vHigh), colour);
      _mm256_store_si256(reinterpret_cast<__m256i*>(value), words);
      _mm256_store_si256(reinterpret_cast<__m256i*>(offset), offsets);
      if (lanes == 0xFF) {
        for (int lane = 0; lane < 8; ++lane) std::memcpy(dst + offset[lane] * 4, &value[lane], 4);
      } else {
        for (; lanes; lanes &= lanes - 1) {
          const int lane = __builtin_ctz(lanes);
          std::memcpy(dst + offset[lane] * 4, &value[lane], 4);
        }
      }
      // The diagonal step and increment, less their differences where the
      // decision is negative: three operations from one decision to the next.
      const __m256i straight = _mm256_srai_epi32(decisions, 31);
      offsets = _mm256_add_epi32(_mm256_add_epi32(offsets, diagonalSteps), _mm256_and_si256(straight, stepChange));
      decisions = _mm256_add_epi32(_mm256_add_epi32(decisions, diagonalIncrements),
                                   _mm256_and_si256(straight, incrementChange));
    }
  }
}


// The fourth byte all of the frame's words share, if they do.
__attribute__((target("avx512f,avx512bw"))) bool sharedFourthByte(const uint8_t* frame, uint32_t& fourth) {
  const uint32_t first = loadWord(frame) & 0xFF000000u;
  const __m512i expected = _mm512_set1_epi32(static_cast<int>(first));
  const __m512i mask = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  __m512i differ = _mm512_setzero_si512();
  for (int i = 0; i < frameBytes; i += 64)
    differ = _mm512_or_si512(differ, _mm512_xor_si512(_mm512_loadu_si512(frame + i), expected));
  fourth = first;
  return _mm512_test_epi32_mask(differ, mask) == 0;
}

// The AVX2 form's walk with sixteen lanes, gathering and scattering: the
// scatter writes overlapping lanes in lane order, so drawing order holds
// within a step. Where every word of the destination has the same fourth
// byte, the step needs no reading of the destination at all (a gather that
// follows a scatter into the same frame waits for it).
template <bool readBelow>
__attribute__((target("avx512f,avx512bw"))) void walkBatchesAvx512(const uint8_t* src, uint8_t* dst, int cx, int cy,
                                                                   uint32_t fourth) {
  const __m512i zero = _mm512_setzero_si512();
  const __m512i limit = _mm512_set1_epi16(saturated - 1);
  const __m512i ceiling = _mm512_set1_epi16(254);
  const __m512i one = _mm512_set1_epi16(1);
  const __m512i shared = _mm512_set1_epi32(static_cast<int>(fourth));
  constexpr __mmask64 fourthBytes = 0x8888888888888888ull;
  const int centre = cy * frameWidth + cx;

  for (int first = 0; first < fanSize; first += 16) {
    const RayBatch<16> batch(first, cx, cy);
    const __m512i counts = _mm512_load_si512(batch.count);
    const __m512i diagonalIncrements = _mm512_load_si512(batch.diagonalIncrement);
    const __m512i incrementChange = _mm512_load_si512(batch.incrementChange);
    const __m512i diagonalSteps = _mm512_load_si512(batch.diagonalStep);
    const __m512i stepChange = _mm512_load_si512(batch.stepChange);
    __m512i decisions = _mm512_load_si512(batch.decision);
    __m512i offsets = _mm512_set1_epi32(centre);
    __m512i accumulatorsLow = zero;
    __m512i accumulatorsHigh = zero;

    for (int step = 0; step < batch.longest; ++step) {
      // Rays that have ended read nothing and store nothing.
      const __mmask16 live = step < batch.shortest ? __mmask16{0xFFFF}
                                                   : _mm512_cmpgt_epi32_mask(counts, _mm512_set1_epi32(step));
      const __m512i pixels = _mm512_mask_i32gather_epi32(zero, live, offsets, src, 4);
      const __m512i below = readBelow ? _mm512_mask_i32gather_epi32(zero, live, offsets, dst, 4) : shared;
      const __m512i sLow = _mm512_unpacklo_epi8(pixels, zero);
      const __m512i sHigh = _mm512_unpackhi_epi8(pixels, zero);
      const __mmask32 fullLow = _mm512_cmpgt_epi16_mask(accumulatorsLow, limit);
      const __mmask32 fullHigh = _mm512_cmpgt_epi16_mask(accumulatorsHigh, limit);
      accumulatorsLow = _mm512_adds_epi16(accumulatorsLow, sLow);
      accumulatorsHigh = _mm512_adds_epi16(accumulatorsHigh, sHigh);
      __m512i vLow = _mm512_min_epi16(_mm512_add_epi16(sLow, _mm512_srli_epi16(accumulatorsLow, 6)), ceiling);
      __m512i vHigh = _mm512_min_epi16(_mm512_add_epi16(sHigh, _mm512_srli_epi16(accumulatorsHigh, 6)), ceiling);
      vLow = _mm512_mask_add_epi16(vLow, fullLow, vLow, one);
      vHigh = _mm512_mask_add_epi16(vHigh, fullHigh, vHigh, one);
      const __m512i words = _mm512_mask_blend_epi8(fourthBytes, _mm512_packus_epi16(vLow, vHigh), below);
      _mm512_mask_i32scatter_epi32(dst, live, offsets, words, 4);
      const __mmask16 straight = _mm512_cmplt_epi32_mask(decisions, zero);
      offsets = _mm512_add_epi32(offsets, diagonalSteps);
      offsets = _mm512_mask_add_epi32(offsets, straight, offsets, stepChange);
      decisions = _mm512_add_epi32(decisions, diagonalIncrements);
      decisions = _mm512_mask_add_epi32(decisions, straight, decisions, incrementChange);
    }
  }
}

__attribute__((target("avx512f,avx512bw"))) void drawRaysAvx512(const uint8_t* src, uint8_t* dst, int cx, int cy) {
  if (cx < 0) {
    drawRaysSse2(src, dst, cx, cy);
    return;
  }
  uint32_t fourth = 0;
  if (sharedFourthByte(dst, fourth))
    walkBatchesAvx512<false>(src, dst, cx, cy, fourth);
  else
    walkBatchesAvx512<true>(src, dst, cx, cy, 0);
}
#endif

#if defined(__wasm_simd128__)

// The channels of walkRaySse2 in WebAssembly's SIMD128, operation for
// operation: the source channels s (16-bit lanes) added to their
// accumulators, and the values they write.
inline v128_t rayValuesSimd128(v128_t s, v128_t& accumulators) {
  const v128_t full = wasm_i16x8_gt(accumulators, wasm_i16x8_splat(saturated - 1));
  accumulators = wasm_i16x8_add_sat(accumulators, s);
  return wasm_i16x8_sub(wasm_i16x8_min(wasm_i16x8_add(s, wasm_u16x8_shr(accumulators, 6)), wasm_i16x8_splat(254)),
                        full);
}

// walkRaySse2 in WebAssembly's SIMD128, operation for operation.
void walkRaySimd128(const uint8_t* src, uint8_t* dst, int start, const Ray& ray) {
  v128_t accumulators = wasm_i16x8_splat(0);
  walkRayPixels(src, dst, start, ray, [&](const uint8_t* from, uint8_t* to) {
    const v128_t s = wasm_u16x8_extend_low_u8x16(wasm_i32x4_make(static_cast<int32_t>(loadWord(from)), 0, 0, 0));
    const v128_t v = rayValuesSimd128(s, accumulators);
    storeColour(to, static_cast<uint32_t>(wasm_i32x4_extract_lane(wasm_u8x16_narrow_i16x8(v, v), 0)));
  });
}

void drawRaysSimd128(const uint8_t* src, uint8_t* dst, int cx, int cy) { walkFan(src, dst, cx, cy, walkRaySimd128); }

// One step of four rays side by side, as in the AVX2 form: the four source
// pixels are loaded one by one (SIMD128 has no gather), their channels worked
// on together, the four words stored one by one in lane order, which is
// drawing order. Checked: some rays may have ended, which read nothing and
// store nothing.
struct FourRays {
  v128_t offsets;  // in bytes
  v128_t decisions;
  v128_t accumulatorsLow;  // pixels 0 and 1, as the byte widening splits them
  v128_t accumulatorsHigh;  // pixels 2 and 3
  v128_t diagonalSteps;
  v128_t stepChange;
  v128_t diagonalIncrements;
  v128_t incrementChange;
};

template <bool checked>
inline void stepFourRays(const uint8_t* src, uint8_t* dst, const RayBatch<4>& batch, int step, FourRays& r) {
  alignas(16) int32_t offset[4];
  alignas(16) uint32_t value[4];
  wasm_v128_store(offset, r.offsets);
  uint32_t word[4];
  for (int lane = 0; lane < 4; ++lane) word[lane] = !checked || step < batch.count[lane] ? loadWord(src + offset[lane]) : 0;
  const v128_t pixels = wasm_u32x4_make(word[0], word[1], word[2], word[3]);
  const v128_t vLow = rayValuesSimd128(wasm_u16x8_extend_low_u8x16(pixels), r.accumulatorsLow);
  const v128_t vHigh = rayValuesSimd128(wasm_u16x8_extend_high_u8x16(pixels), r.accumulatorsHigh);
  wasm_v128_store(value, wasm_u8x16_narrow_i16x8(vLow, vHigh));
  for (int lane = 0; lane < 4; ++lane)
    if (!checked || step < batch.count[lane]) storeColour(dst + offset[lane], value[lane]);
  // The diagonal step and increment, less their differences where the
  // decision is negative.
  const v128_t straight = wasm_i32x4_shr(r.decisions, 31);
  r.offsets = wasm_i32x4_add(wasm_i32x4_add(r.offsets, r.diagonalSteps), wasm_v128_and(straight, r.stepChange));
  r.decisions =
      wasm_i32x4_add(wasm_i32x4_add(r.decisions, r.diagonalIncrements), wasm_v128_and(straight, r.incrementChange));
}

// The AVX2 form's batches in four lanes; until the shortest ray of a batch
// ends, no lane needs a look at its count.
void drawRaysBatchedSimd128(const uint8_t* src, uint8_t* dst, int cx, int cy) {
  if (cx < 0) {
    drawRaysSimd128(src, dst, cx, cy);
    return;
  }
  const int centre = cy * frameWidth + cx;
  for (int first = 0; first < fanSize; first += 4) {
    const RayBatch<4> batch(first, cx, cy);
    FourRays rays;
    rays.offsets = wasm_i32x4_splat(centre * 4);
    rays.decisions = wasm_v128_load(batch.decision);
    rays.accumulatorsLow = rays.accumulatorsHigh = wasm_i16x8_splat(0);
    rays.diagonalSteps = wasm_i32x4_shl(wasm_v128_load(batch.diagonalStep), 2);
    rays.stepChange = wasm_i32x4_shl(wasm_v128_load(batch.stepChange), 2);
    rays.diagonalIncrements = wasm_v128_load(batch.diagonalIncrement);
    rays.incrementChange = wasm_v128_load(batch.incrementChange);
    int step = 0;
    for (; step < batch.shortest; ++step) stepFourRays<false>(src, dst, batch, step, rays);
    for (; step < batch.longest; ++step) stepFourRays<true>(src, dst, batch, step, rays);
  }
}

#endif

// Widest first; the plain walk serves everywhere else.
constexpr KernelCandidate<LightRayForm> candidates[] = {
#if VORLITH_X86
    {{"avx512", drawRaysAvx512}, cpuHasAvx512},
    {{"avx2", drawRaysAvx2}, cpuHasAvx2},
    {{"sse2", drawRaysSse2}, cpuHasSse2},
#endif
#if defined(__wasm_simd128__)
    {{"simd128x4", drawRaysBatchedSimd128}},
    {{"simd128", drawRaysSimd128}},
#endif
    {{"plain", drawRaysPlain}},
};

}  // namespace

}  // namespace vorlith::rays

namespace vorlith {

const KernelForms<LightRayForm>& lightRayForms() {
  static const KernelForms<LightRayForm> forms(rays::candidates);
  return forms;
}

}  // namespace vorlith
