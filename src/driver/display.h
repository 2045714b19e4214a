#pragma once
#include <cstdint>

namespace vorlith {

// Where finished frames go and keys come from. The show owns the 320x200
// surface it draws into; a display only opens its console, shows a copy of
// the surface on present, and hands over the keys queued since the last look.
// The window program fills it with an SDL2 window; captures, benchmarks and
// tests with an off-screen stand-in.
struct Display {
  void* context = nullptr;
  // Opens the console; false when no console can be had.
  bool (*open)(void* context, const char* title, int width, int height) = nullptr;
  void (*close)(void* context) = nullptr;
  // Copies the surface to the console and makes it visible.
  void (*present)(void* context, const uint32_t* pixels) = nullptr;
  // True while at least one key press is queued.
  bool (*keyWaiting)(void* context) = nullptr;
  // Removes the oldest queued key and gives its code (27 is Escape).
  int (*readKey)(void* context) = nullptr;
  // Optional: how many frames a second the console shows (its refresh rate),
  // 0 when unknown. Asked once it is open.
  uint32_t (*frameRate)(void* context) = nullptr;
};

inline constexpr int keyEscape = 27;

}  // namespace vorlith
