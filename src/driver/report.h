#pragma once
// What every port reports about a run in the same words: the scenes by name,
// the scene a moment falls in, the digest line of a frame and the benchmark's
// table. The program and the web page both print these, so they are written
// once, here, and compared line for line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/schedule.h"
#include "image/frame_digest.h"

namespace vorlith {

// "logo", "title", "cube", "ribbons", "tunnel", "end" for scenes 0..5, and
// "last" for the time after the show (the final, black frame).
const char* sceneName(int scene);

// The scene (0 for the first) whose window holds show time t; sceneCount
// past the show's end.
int sceneAt(uint32_t t);

// "k digest": the frame's index and its digest as 16 lower-case hex digits.
std::string digestLine(uint64_t frame, uint64_t digest);

// The middle value (the mean of the middle two for an even count); 0 for none.
double medianOf(std::vector<double> values);

// What a benchmark collects: the cost of every frame, scene by scene, and
// the digest of all the frames.
struct BenchTally {
  std::vector<std::vector<double>> costs = std::vector<std::vector<double>>(sceneCount + 1);
  uint64_t digest = fnvOffsetBasis;

  // A presented frame at show time t that cost costMs milliseconds.
  void add(uint32_t t, double costMs, const uint32_t* pixels);
};

// The benchmark's report: a header, the notes (one line each), the table of
// scenes and the whole show, and the digest line. The median of a scene is
// taken over the means of runs of medianRun frames (1: over the frames),
// for clocks too coarse to time one frame.
std::string benchReport(const BenchTally& tally, uint32_t fps, const std::vector<std::string>& notes,
                        size_t medianRun = 1);

}  // namespace vorlith
