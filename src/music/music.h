#pragma once
#include "music/audio_library.h"

namespace vorlith {

// Caption of the music player's notices.
inline constexpr const char* musicErrorCaption = "Error";

// Chooses the audio library the three functions below talk to. It must stay
// alive until musicClose has returned.
void musicUseLibrary(const AudioLibrary* library);

// Checks the library, opens the default output at 44100 Hz, loads the module and
// starts output. Each failure gives one notice and a false result.
bool musicOpen(const char* path);

// Starts the loaded module from its first position, then moves it fromMs
// into the song when the show begins part-way through.
void musicPlay(uint32_t fromMs = 0);

// Frees the library and everything it holds.
void musicClose();

}  // namespace vorlith
