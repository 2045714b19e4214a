#pragma once
// What the processor offers the SIMD kernels: false everywhere but x86, where
// VORLITH_X86 also guards every use of the intrinsics (kernel_dispatch.h picks
// between a kernel's forms with these checks).

#if defined(__x86_64__) || defined(__i386__)
#define VORLITH_X86 1
#include <immintrin.h>
#else
#define VORLITH_X86 0
#endif

namespace vorlith {

inline bool cpuHasSse2() {
#if VORLITH_X86
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse2");
#else
  return false;
#endif
}

inline bool cpuHasAvx2() {
#if VORLITH_X86
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

// AVX-512 with its byte and word operations.
inline bool cpuHasAvx512() {
#if VORLITH_X86
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
  return false;
#endif
}

}  // namespace vorlith
