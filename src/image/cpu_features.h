#pragma once
// What the processor offers the SIMD kernels; false everywhere but x86.

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

// The forms of a kernel this processor can run, widest first.
template <typename Form>
struct FormList {
  Form forms[3];
  int count = 0;
  void add(const Form& form) {
    if (count < 3) forms[count++] = form;
  }
};

}  // namespace vorlith
