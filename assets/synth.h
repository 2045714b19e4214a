#pragma once
// The instruments of the song, synthesised at 44100 Hz as 16-bit samples.
// Pitched samples are tuned so that note C-5 plays middle C.
#include <vector>

#include "it_writer.h"

namespace vorlith::assets {

inline constexpr int synthRate = 44100;

// Scales a waveform so its peak is `peak` of full scale and rounds it to 16 bits.
std::vector<int16_t> toPcm(const std::vector<double>& wave, double peak);

// C5Speed for a sample whose waveform was made at `frequency` Hz, so that it
// sounds middle C (261.6256 Hz) when played at C-5.
uint32_t middleCSpeed(double frequency);

ItSample synthKick();
ItSample synthSnare();
ItSample synthClap();
ItSample synthClosedHat();
ItSample synthOpenHat();
ItSample synthCrash();
ItSample synthTom();
ItSample synthImpact();   // deep boom with a noise burst, for the big hits
ItSample synthRiser();    // filtered noise sweeping up over one pattern
ItSample synthBass();     // detuned saws through a closing low-pass, looped
ItSample synthPad();      // five detuned saws, soft, looped
ItSample synthPluck();    // short square pluck for the arpeggios
ItSample synthLead();     // pulse lead, looped
ItSample synthSawLead();  // bright detuned saws, looped
ItSample synthBell();     // FM bell

}  // namespace vorlith::assets
