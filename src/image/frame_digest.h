#pragma once
#include <cstdint>

namespace vorlith {

// Digests of presented frames, so that two runs (two builds, two platforms,
// the program and the web page) can be compared without keeping pictures.
// Both are 64-bit FNV-1a over what a viewer sees: never the fourth byte.

inline constexpr uint64_t fnvOffsetBasis = 0xcbf29ce484222325ull;
inline constexpr uint64_t fnvPrime = 0x100000001b3ull;

// One frame of 320x200 pixels: its bytes R, G, B for each pixel, rows top to
// bottom. Written as 16 lower-case hex digits, one line "k digest" a frame.
uint64_t frameRgbDigest(const uint32_t* pixels);

// The whole-show digest of --bench: every frame fed in turn, starting from
// fnvOffsetBasis, each pixel taken as one 24-bit word.
uint64_t frameDigest(uint64_t digest, const uint32_t* pixels);

}  // namespace vorlith
