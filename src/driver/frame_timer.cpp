#include "driver/frame_timer.h"

#include <chrono>
#include <cstdlib>

namespace vorlith {

uint64_t Counter::clockTicks() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t Counter::read() const { return virtual_ ? value_ : clockTicks() + offset_; }

void Counter::resume(uint64_t ticks) {
  virtual_ = false;
  offset_ = ticks - clockTicks();
}

int32_t mulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  int64_t quotient = product / c;
  const int64_t remainder = product % c;
  // Round half away from zero: the remainder is at least half the divisor.
  if (2 * std::llabs(remainder) >= std::llabs(static_cast<int64_t>(c)))
    quotient += ((product < 0) != (c < 0)) ? -1 : 1;
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int32_t>(quotient);
}

void FrameTimer::start() { start_ = counter_->read(); }

int32_t FrameTimer::milliseconds() {
  const uint32_t ticks = static_cast<uint32_t>(counter_->read()) - static_cast<uint32_t>(start_);
  return mulDiv(static_cast<int32_t>(ticks), 1000, static_cast<int32_t>(counter_->frequency()));
}

uint32_t FrameTimer::elapsedMs() { return static_cast<uint32_t>(milliseconds()); }

int32_t FrameTimer::scaled(int32_t n, int32_t d) { return mulDiv(n, milliseconds(), d); }

uint32_t virtualShowTime(uint32_t fps, uint64_t frame) {
  Counter counter = Counter::manual();
  FrameTimer timer(&counter);
  timer.start();
  counter.setFrame(frame, fps);
  return timer.elapsedMs();
}

}  // namespace vorlith
