#pragma once
#include <cstdint>
#include <filesystem>

namespace vorlith {

// Plays the whole show (its files from the pack in assets, empty: the working
// directory) headless on the virtual clock as fast as the machine
// can, writing nothing, and prints what each frame cost, scene by scene, and
// the whole run as a multiple of real time, with a digest of every frame's
// pixels (equal digests: identical pictures). Returns the exit status.
int runBench(uint32_t fps, const std::filesystem::path& assets);

}  // namespace vorlith
