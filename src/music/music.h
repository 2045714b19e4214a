#pragma once
#include <cstdint>

#include "base/asset_source.h"
#include "base/notice.h"
#include "music/audio_library.h"

namespace vorlith {

// Caption of the music player's notices.
inline constexpr const char* musicErrorCaption = "Error";

// The music player's state: the audio library it talks to (which must stay
// alive until musicClose has returned), where its notices go, and the module
// handle the library gave.
struct MusicPlayer {
  const AudioLibrary* library = nullptr;
  NoticeSink notices;
  uint32_t moduleHandle = 0;
};

// Checks the library, opens the default output at 44100 Hz, loads the module
// from its file (as the asset source gave it) and starts output. Each
// failure gives one notice and a false result.
bool musicOpen(MusicPlayer& player, const AssetFile& module);

// Starts the loaded module from its first position, then moves it fromMs
// into the song when the show begins part-way through.
void musicPlay(MusicPlayer& player, uint32_t fromMs = 0);

// Frees the library and everything it holds.
void musicClose(MusicPlayer& player);

}  // namespace vorlith
