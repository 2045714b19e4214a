#pragma once
#include <cstdint>

namespace vorlith {

// The counter behind the show's clock, in one of two modes. Real: a monotonic
// clock read at one million ticks per second. Virtual: a value set by hand,
// which is how captures and tests make every run identical.
class Counter {
 public:
  static constexpr uint64_t ticksPerSecond = 1000000;

  static Counter real() { return Counter(false); }
  static Counter manual() { return Counter(true); }

  uint64_t read() const;
  uint64_t frequency() const { return ticksPerSecond; }
  bool isVirtual() const { return virtual_; }

  // Virtual mode only: what every following read returns.
  void set(uint64_t ticks) { value_ = ticks; }
  // Virtual mode only: frame k of a run at fps frames per second reads k * 1e6 / fps.
  void setFrame(uint64_t frame, uint32_t fps) { value_ = frame * ticksPerSecond / fps; }

 private:
  explicit Counter(bool isVirtual) : virtual_(isVirtual) {}
  bool virtual_;
  uint64_t value_ = 0;
};

// a * b / c with a 64-bit product, rounded to the nearest integer with halves
// away from zero; -1 when c is 0 or the result does not fit in 32 bits.
int32_t mulDiv(int32_t a, int32_t b, int32_t c);

// Whole milliseconds since start(), and values scaled from them. Only the low
// 32 bits of the counter take part, so the tick difference wraps modulo 2^32.
class FrameTimer {
 public:
  explicit FrameTimer(const Counter* counter);

  void start();
  uint32_t elapsedMs();
  // n * ms / d rounded: 0 at start, n after d milliseconds, growing on after.
  int32_t scaled(int32_t n, int32_t d);

  // Moves the start back by the given number of ticks, as if start() had been
  // called that much earlier (used to begin the show part-way through).
  void backdate(uint64_t ticks) { start_ -= ticks; }

  uint64_t startTicks() const { return start_; }

 private:
  int32_t milliseconds();

  const Counter* counter_;
  uint64_t start_ = 0;
  uint64_t now_ = 0;
  uint64_t frequency_ = 0;
};

// The show time a run on the virtual clock reads during frame k, when it
// began startMs into the show: what a capture's frame k shows.
uint32_t virtualShowTime(uint32_t fps, uint32_t startMs, uint64_t frame);

}  // namespace vorlith
