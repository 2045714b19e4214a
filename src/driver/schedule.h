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

// One pattern of the music: 64 rows at speed 3 and tempo 139. Every scene
// lasts a whole number of patterns, and several curves run by the pattern.
inline constexpr uint32_t patternMs = 3452;

// Where each scene's window begins and ends, in patterns from the start.
inline constexpr uint32_t scenePatternBounds[sceneCount + 1] = {0, 3, 7, 16, 32, 47, 53};

// The first millisecond of scene k (1..6), and of the time after the show for k = 7.
constexpr uint32_t sceneStartMs(int k) { return scenePatternBounds[k - 1] * patternMs; }
// How long scene k (1..6) lasts.
constexpr uint32_t sceneLengthMs(int k) { return sceneStartMs(k + 1) - sceneStartMs(k); }

// 182956 ms: the show ends when its last scene does.
inline constexpr uint32_t showLengthMs = sceneStartMs(sceneCount + 1);

// The six scenes, in order; scene k is entry k - 1.
extern const Scene scenes[sceneCount];

// Runs one frame of the timeline at show time t: advances through the scene
// windows, plays a first frame or a normal frame, and ends the show after the
// last window.
void sceneDispatch(Show& show, uint32_t t);

}  // namespace vorlith
