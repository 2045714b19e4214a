#pragma once
// The run-time choice between the forms of a hot kernel. Each kernel lists its
// forms once, widest first and the plain C++ one last, each with the check
// that says whether this processor runs it; the list keeps the ones it may run
// and hands out the widest, or the plain one while the plain switch is on.

#include <atomic>
#include <cstddef>
#include <span>

#include "base/cpu_features.h"

namespace vorlith {

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

// One form of a kernel and the processor check it needs (none for a form
// that runs anywhere). Form is the kernel's own record: a name and its entry
// points.
template <typename Form>
struct KernelCandidate {
  Form form;
  bool (*supported)() = nullptr;
};

// The forms of one kernel this processor runs, widest first, plain last.
// Build it once, in a function-local static, from the kernel's candidates:
//
//   static const KernelForms<Form> forms(candidates);
//   forms.active().run(...);
template <typename Form>
class KernelForms {
 public:
  // No kernel has more forms than this (AVX-512, AVX2, SSE2, plain).
  static constexpr std::size_t capacity = 4;

  // The last candidate is the plain form and is kept whatever its check says:
  // a kernel always has a form to run.
  template <std::size_t n>
  explicit KernelForms(const KernelCandidate<Form> (&candidates)[n]) {
    static_assert(n >= 1 && n <= capacity, "a kernel has a plain form and at most three wider ones");
    for (std::size_t i = 0; i + 1 < n; ++i)
      if (!candidates[i].supported || candidates[i].supported()) forms_[count_++] = candidates[i].form;
    forms_[count_++] = candidates[n - 1].form;
  }

  // The form to run now: the widest, or the plain one while forced.
  const Form& active() const { return plainKernelsForced() ? plain() : forms_[0]; }
  const Form& plain() const { return forms_[count_ - 1]; }
  // Every form kept, widest first, for tests and benchmarks to run each.
  std::span<const Form> all() const { return {forms_, count_}; }

 private:
  Form forms_[capacity]{};
  std::size_t count_ = 0;
};

}  // namespace vorlith
