#pragma once
#include <cstdint>

namespace vorlith {

// The counter behind the show's clock, in one of two modes. Real: a monotonic
// clock read at one million ticks per second. Virtual: a value set by hand,
// which is how captures and tests make every run identical. A real counter
// can be held (it then reads like a virtual one) and resumed from a chosen
// reading: a window that begins part-way plays the frames before its start
// on the held clock, then runs on in real time from where they left it.
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

  // Turns the counter virtual, reading the given value.
  void hold(uint64_t ticks) {
    virtual_ = true;
    value_ = ticks;
  }
  // Turns the counter real, reading the given value now and counting on in
  // real time from there.
  void resume(uint64_t ticks);

 private:
  explicit Counter(bool isVirtual) : virtual_(isVirtual) {}
  static uint64_t clockTicks();
  bool virtual_;
  uint64_t value_ = 0;
  uint64_t offset_ = 0;  // real mode: added to the clock (modulo 2^64)
};

// a * b / c with a 64-bit product, rounded to the nearest integer with halves
// away from zero; -1 when c is 0 or the result does not fit in 32 bits.
int32_t mulDiv(int32_t a, int32_t b, int32_t c);

// Whole milliseconds since start(), and values scaled from them. Only the low
// 32 bits of the counter take part, so the tick difference wraps modulo 2^32.
class FrameTimer {
 public:
  explicit FrameTimer(const Counter* counter) : counter_(counter) {}

  void start();
  uint32_t elapsedMs();
  // n * ms / d rounded: 0 at start, n after d milliseconds, growing on after.
  int32_t scaled(int32_t n, int32_t d);

  uint64_t startTicks() const { return start_; }
  // As if start() had read the counter at `ticks` (a restored snapshot).
  void startAt(uint64_t ticks) { start_ = ticks; }

 private:
  int32_t milliseconds();

  const Counter* counter_;
  uint64_t start_ = 0;
};

// The show time a run on the virtual clock at fps reads during its frame k.
uint32_t virtualShowTime(uint32_t fps, uint64_t frame);

}  // namespace vorlith
