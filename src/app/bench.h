#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

#include "image/frame_digest.h"

namespace vorlith {

// Plays the whole show (its files from the pack in assets, empty: the working
// directory) headless on the virtual clock as fast as the machine
// can, writing nothing, and prints what each frame cost, scene by scene, and
// the whole run as a multiple of real time, with a digest of every frame's
// pixels (equal digests: identical pictures). Returns the exit status.
int runBench(uint32_t fps, const std::filesystem::path& assets);

// The scene (0 for the first) whose window holds show time t; sceneCount past
// the show's end.
int benchSceneAt(uint32_t t);


// The middle value (the mean of the middle two for an even count); 0 for none.
double medianOf(std::vector<double> values);

}  // namespace vorlith
