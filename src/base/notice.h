#pragma once
// The show reports a failure in exactly two places (the picture loader and the
// music player), both as a modal notice with a caption and a text. They go to
// the sink the port hands the show: the window program shows a message box,
// headless runs print to stderr, the web page lists them and the tests record
// what was said.

namespace vorlith {

struct NoticeSink {
  // Shows one notice and returns when it has been dismissed.
  void (*show)(void* context, const char* caption, const char* text) = nullptr;
  void* context = nullptr;

  // A sink without a function says nothing.
  void operator()(const char* caption, const char* text) const {
    if (show) show(context, caption, text);
  }
};

}  // namespace vorlith
