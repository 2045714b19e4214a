// The show's clock: MulDiv rounding, milliseconds, scaled curves, wrap-around.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <thread>

#include "driver/frame_timer.h"

namespace vorlith {
namespace {

TEST(MulDiv, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(mulDiv(5, 1, 2), 3);
  EXPECT_EQ(mulDiv(-5, 1, 2), -3);
  EXPECT_EQ(mulDiv(5, 1, -2), -3);
  EXPECT_EQ(mulDiv(-5, -1, -2), -3);
  EXPECT_EQ(mulDiv(7, 1, 4), 2);   // 1.75
  EXPECT_EQ(mulDiv(5, 1, 4), 1);   // 1.25
  EXPECT_EQ(mulDiv(-7, 1, 4), -2);
  EXPECT_EQ(mulDiv(1, 1, 3), 0);
  EXPECT_EQ(mulDiv(2, 1, 3), 1);
  EXPECT_EQ(mulDiv(0, 5, 7), 0);
}

TEST(MulDiv, UsesA64BitProductAndGivesMinusOneWhenItCannot) {
  EXPECT_EQ(mulDiv(2000000000, 1000, 1000000), 2000000);
  EXPECT_EQ(mulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(mulDiv(1, 2, 0), -1);
  EXPECT_EQ(mulDiv(INT_MAX, 2, 1), -1);
  EXPECT_EQ(mulDiv(INT_MIN, 2, 1), -1);
  EXPECT_EQ(mulDiv(INT_MIN, 1, 1), INT_MIN);
}

TEST(FrameTimer, MillisecondsAndScaledCurves) {
  Counter counter = Counter::manual();
  counter.set(777);
  FrameTimer timer(&counter);
  timer.start();
  EXPECT_EQ(timer.elapsedMs(), 0u);
  EXPECT_EQ(timer.scaled(724, 10356), 0);
  counter.set(777 + 10356000);
  EXPECT_EQ(timer.elapsedMs(), 10356u);
  EXPECT_EQ(timer.scaled(724, 10356), 724);
  counter.set(777 + 5178000);
  EXPECT_EQ(timer.scaled(724, 10356), 362);
  counter.set(777 + 1499);  // 1.499 ms rounds to 1
  EXPECT_EQ(timer.elapsedMs(), 1u);
  counter.set(777 + 1500);  // 1.5 ms rounds up
  EXPECT_EQ(timer.elapsedMs(), 2u);
  counter.set(777 + 20000000);  // the curve keeps growing past d
  EXPECT_EQ(timer.scaled(256, 5000), 1024);
}

TEST(FrameTimer, TickDifferenceWrapsModulo2To32) {
  Counter counter = Counter::manual();
  counter.set(0x1FFFFFFFFull - 499999);  // just below a 32-bit boundary
  FrameTimer timer(&counter);
  timer.start();
  counter.set(0x1FFFFFFFFull + 500001);
  EXPECT_EQ(timer.elapsedMs(), 1000u);
}

TEST(FrameTimer, BackdateMovesTheStart) {
  Counter counter = Counter::manual();
  FrameTimer timer(&counter);
  timer.start();
  timer.backdate(160000000);
  EXPECT_EQ(timer.elapsedMs(), 160000u);
}

TEST(Counter, RealCounterTicksInMicroseconds) {
  Counter counter = Counter::real();
  const uint64_t a = counter.read();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const uint64_t b = counter.read();
  // At least the 30 ms slept, in millionths of a second (and not in, say,
  // nanoseconds, which would be a thousand times more).
  EXPECT_GE(b - a, 30000u);
  EXPECT_LT(b - a, 3000000u);
  EXPECT_EQ(counter.frequency(), 1000000u);
  Counter manual = Counter::manual();
  manual.setFrame(7, 30);
  EXPECT_EQ(manual.read(), 233333u);
}

}  // namespace
}  // namespace vorlith
