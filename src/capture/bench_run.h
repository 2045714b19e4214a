#pragma once
#include <cstdint>
#include <vector>

namespace vorlith {

// Plays the whole show headless on the virtual clock as fast as the machine
// can, writing nothing, and prints what each frame cost, scene by scene, and
// the whole run as a multiple of real time, with a digest of every frame's
// pixels (equal digests: identical pictures). Returns the exit status.
int runBench(uint32_t fps);

// The scene (0 for the first) whose window holds show time t; sceneCount past
// the show's end.
int benchSceneAt(uint32_t t);

// FNV-1a over the shown bytes (all but the fourth of each pixel) of frames,
// one after another: start from frameDigestStart, feed each frame's pixels.
inline constexpr uint64_t frameDigestStart = 0xcbf29ce484222325ull;
uint64_t frameDigest(uint64_t digest, const uint32_t* pixels);

// The middle value (the mean of the middle two for an even count); 0 for none.
double medianOf(std::vector<double> values);

}  // namespace vorlith
