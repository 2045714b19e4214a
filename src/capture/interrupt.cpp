#include "capture/interrupt.h"

#include <csignal>

namespace vorlith {

namespace {

volatile std::sig_atomic_t caught = 0;
constexpr int watched[] = {SIGINT, SIGTERM, SIGHUP};

// Only notes the signal: everything else happens in the capture loop.
void note(int signal) {
  if (caught == 0) caught = signal;
}

}  // namespace

InterruptWatch::InterruptWatch() {
  caught = 0;
  struct sigaction action = {};
  action.sa_handler = note;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait on the encoder returns early, to look at the flag.
  action.sa_flags = 0;
  for (int i = 0; i < 3; ++i) {
    sigaction(watched[i], &action, &previous_[i]);
    // Started under nohup, the program goes on when the terminal goes.
    if (watched[i] == SIGHUP && previous_[i].sa_handler == SIG_IGN) sigaction(SIGHUP, &previous_[i], nullptr);
  }
}

InterruptWatch::~InterruptWatch() {
  for (int i = 0; i < 3; ++i) sigaction(watched[i], &previous_[i], nullptr);
}

int interruptSignal() { return caught; }

}  // namespace vorlith
