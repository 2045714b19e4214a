#pragma once
// What the processor offers the SIMD kernels, on x86 only: VORLITH_X86 guards
// every use of the intrinsics and of these checks (kernel_dispatch.h picks
// between a kernel's forms with them).

#if defined(__x86_64__) || defined(__i386__)
#define VORLITH_X86 1
#include <immintrin.h>

namespace vorlith {

inline bool cpuHasSse2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse2");
}

inline bool cpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

// AVX-512 with its byte and word operations.
inline bool cpuHasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

}  // namespace vorlith

#else
#define VORLITH_X86 0
#endif
