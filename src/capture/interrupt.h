#pragma once
#include <signal.h>

namespace vorlith {

// While an InterruptWatch lives, SIGINT, SIGTERM and SIGHUP do not end the
// program on the spot: their handler only notes which signal came. A capture
// looks at interruptSignal() between frames and wherever it waits, stops its
// encoder, removes every temporary file and ends with status 128 + signal.
// The previous handlers are back when the watch goes.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  struct sigaction previous_[3];
};

// The first of those signals that came while a watch was on, or 0.
int interruptSignal();

}  // namespace vorlith
