#pragma once
#include <cstdint>

#include "base/asset_source.h"

namespace vorlith {

// What the music player asks of the audio library: a version check, opening
// the output, loading a module from its file's bytes, starting output, playing the
// module from its start, the code of the last failure, and freeing it all.
// The window program fills it with SDL2 output and libopenmpt decoding; tests
// and captures fill it with stand-ins of their own.
struct AudioLibrary {
  void* context = nullptr;
  uint32_t (*getVersion)(void* context) = nullptr;
  // device -1 = default output; returns false on failure
  bool (*init)(void* context, int device, uint32_t frequency, uint32_t flags) = nullptr;
  // loads a module from its file as the asset source gave it (the bytes are
  // copied as needed); returns a non-zero handle, or 0 on failure (a file
  // the source could not give: audioErrorFileOpen, or audioErrorMemory when
  // too large)
  uint32_t (*musicLoad)(void* context, const AssetFile& file) = nullptr;
  bool (*start)(void* context) = nullptr;
  // plays the module from position, resetting it when reset is true
  bool (*musicPlayEx)(void* context, uint32_t handle, uint32_t position, int flags, bool reset) = nullptr;
  int (*errorGetCode)(void* context) = nullptr;
  // moves the playing module to this many milliseconds from its start
  void (*setPositionMs)(void* context, uint32_t ms) = nullptr;
  void (*free)(void* context) = nullptr;
};

// The one output rate of the program, live and offline: 44100 Hz stereo.
inline constexpr uint32_t audioSampleRate = 44100;

// The version the player expects from its audio library.
inline constexpr uint32_t audioLibraryVersion = 0x80000;

// Error codes the stand-ins report (the numbering of the library they replace).
enum AudioError : int {
  audioOk = 0,
  audioErrorMemory = 1,
  audioErrorFileOpen = 2,
  audioErrorInit = 8,
  audioErrorAlready = 14,
  audioErrorHandle = 5,
  audioErrorDevice = 23,
  audioErrorFileFormat = 41,
};

// The error a library reports for a module file the source could not give,
// or audioOk when it could.
constexpr int audioFileError(const AssetFile& file) {
  if (file.status == AssetStatus::ok) return audioOk;
  return file.status == AssetStatus::tooLarge ? audioErrorMemory : audioErrorFileOpen;
}

// What a library that holds one module keeps between calls: whether its
// output is open and a module loaded, and the code of the last failure. Each
// call makes its checks here first, in the order the player relies on, and
// does its own work only when they pass.
struct AudioState {
  // The handle of the one module.
  static constexpr uint32_t moduleHandle = 1;

  int error = audioOk;
  bool open = false;
  bool loaded = false;

  bool fail(int code) {
    error = code;
    return false;
  }
  bool succeed() {
    error = audioOk;
    return true;
  }
  // A module may be loaded: the output is open and the source gave the file.
  bool mayLoad(const AssetFile& file) {
    if (!open) return fail(audioErrorInit);
    error = audioFileError(file);
    return error == audioOk;
  }
  // A module was loaded: its handle.
  uint32_t moduleLoaded() {
    loaded = true;
    error = audioOk;
    return moduleHandle;
  }
  bool mayStart() { return open ? succeed() : fail(audioErrorInit); }
  bool mayPlay(uint32_t handle) { return handle == moduleHandle && loaded ? succeed() : fail(audioErrorHandle); }
  void close() { open = loaded = false; }
};

}  // namespace vorlith
