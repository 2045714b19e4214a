#pragma once
#include <cstdint>

namespace vorlith {

struct Show;

// One scene of the timeline: its window of show time and what it does on its
// first frame (often nothing) and on every other frame.
struct Scene {
  uint32_t start;  // first millisecond of the window
  uint32_t end;    // first millisecond after it
  void (*firstFrame)(Show& show);
  void (*normalFrame)(Show& show);
};

inline constexpr int sceneCount = 6;
inline constexpr uint32_t showLengthMs = 182956;

// The six scenes, in order; scene k is entry k - 1.
extern const Scene scenes[sceneCount];

// Runs one frame of the timeline at show time t: advances through the scene
// windows, plays a first frame or a normal frame, and ends the show after the
// last window.
void sceneDispatch(Show& show, uint32_t t);

}  // namespace vorlith
