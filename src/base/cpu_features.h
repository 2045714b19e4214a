#pragma once
// What the processor offers the SIMD kernels (false everywhere but x86), and
// the one switch that sends every dispatched kernel to its plain form.

#include <atomic>

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

namespace detail {
inline std::atomic<bool>& plainKernelsSwitch() {
  static std::atomic<bool> forced{false};
  return forced;
}
}  // namespace detail

// While set, every dispatched kernel (cross-fade, saturating add, light span,
// light rays) runs its plain form: for measuring the SIMD forms side by side
// with the plain ones on whole frames. Off by default.
inline void forcePlainKernels(bool on) { detail::plainKernelsSwitch().store(on, std::memory_order_relaxed); }
inline bool plainKernelsForced() { return detail::plainKernelsSwitch().load(std::memory_order_relaxed); }

// The forms of a kernel this processor can run, widest first, plain last.
template <typename Form>
struct FormList {
  static constexpr int capacity = 4;
  Form forms[capacity];
  int count = 0;
  void add(const Form& form) {
    if (count < capacity) forms[count++] = form;
  }
  // The form to run now: the widest, or the plain one while forced.
  const Form& active() const { return plainKernelsForced() ? forms[count - 1] : forms[0]; }
};

}  // namespace vorlith
