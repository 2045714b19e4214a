#include "music/music.h"

#include <cstdio>

namespace vorlith {

namespace {

// Gives the notice of a failure; false, the result of the failed step.
bool musicError(const MusicPlayer& player, const char* message) {
  char text[200];
  std::snprintf(text, sizeof text, "%s\n(error code: %d)", message,
                player.library->errorGetCode(player.library->context));
  player.notices(musicErrorCaption, text);
  return false;
}

}  // namespace

bool musicOpen(MusicPlayer& player, const AssetFile& module) {
  const AudioLibrary* library = player.library;
  player.moduleHandle = 0;
  if (!library) return false;
  void* context = library->context;
  if (library->getVersion(context) != audioLibraryVersion) return musicError(player, "Wrong version of BASS.\n");
  if (!library->init(context, -1, audioSampleRate, 0)) return musicError(player, "Can't initialize device.");
  player.moduleHandle = library->musicLoad(context, module);
  if (player.moduleHandle == 0) return musicError(player, "Can't play the file");
  library->start(context);
  return true;
}

void musicPlay(MusicPlayer& player, uint32_t fromMs) {
  const AudioLibrary* library = player.library;
  if (!library) return;
  library->musicPlayEx(library->context, player.moduleHandle, 0, -1, true);
  if (fromMs > 0 && library->setPositionMs) library->setPositionMs(library->context, fromMs);
}

void musicClose(MusicPlayer& player) {
  if (player.library) player.library->free(player.library->context);
  player.moduleHandle = 0;
}

}  // namespace vorlith
