#include "music/music.h"

#include <cstdio>

#include "base/notice.h"

namespace vorlith {

namespace {

const AudioLibrary* library = nullptr;
uint32_t moduleHandle = 0;

void musicError(const char* message) {
  char text[200];
  std::snprintf(text, sizeof text, "%s\n(error code: %d)", message, library->errorGetCode(library->context));
  notice(musicErrorCaption, text);
}

}  // namespace

void musicUseLibrary(const AudioLibrary* chosen) {
  library = chosen;
  moduleHandle = 0;
}

bool musicOpen(const char* path) {
  if (!library) return false;
  void* context = library->context;
  if (library->getVersion(context) != audioLibraryVersion) {
    musicError("Wrong version of BASS.\n");
    return false;
  }
  if (!library->init(context, -1, audioSampleRate, 0)) {
    musicError("Can't initialize device.");
    return false;
  }
  moduleHandle = library->musicLoad(context, path);
  if (moduleHandle == 0) {
    musicError("Can't play the file");
    return false;
  }
  library->start(context);
  return true;
}

void musicPlay(uint32_t fromMs) {
  if (!library) return;
  library->musicPlayEx(library->context, moduleHandle, 0, -1, true);
  if (fromMs > 0 && library->setPositionMs) library->setPositionMs(library->context, fromMs);
}

void musicClose() {
  if (library) library->free(library->context);
  moduleHandle = 0;
}

}  // namespace vorlith
