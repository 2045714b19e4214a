#pragma once
// Writes Impulse Tracker modules: header, order list, instruments, 16-bit
// samples and packed patterns, byte by byte in little-endian order.
#include <cstdint>
#include <string>
#include <vector>

namespace vorlith::assets {

// Note byte values: 0..119 are C-0..B-9 (60 is C-5).
inline constexpr int16_t itNoNote = -1;
inline constexpr int16_t itNoteCut = 254;
inline constexpr int16_t itNoteOff = 255;
inline constexpr int itMiddleC = 60;

// Effect command numbers (letter - 'A' + 1).
enum ItCommand : uint8_t {
  itSetSpeed = 1,     // Axx
  itJump = 2,         // Bxx
  itBreak = 3,        // Cxx
  itVolumeSlide = 4,  // Dxy
  itSlideDown = 5,    // Exx
  itSlideUp = 6,      // Fxx
  itPortamento = 7,   // Gxx
  itVibrato = 8,      // Hxy
  itArpeggio = 10,    // Jxy
  itChannelVolume = 13,  // Mxx
  itChannelVolumeSlide = 14,  // Nxy
  itRetrigger = 17,   // Qxy
  itSpecial = 19,     // Sxy
  itTempo = 20,       // Txx
  itGlobalVolume = 22,       // Vxx
  itGlobalVolumeSlide = 23,  // Wxy
  itPanning = 24,     // Xxx
};

// One cell of a pattern. A field that is absent is not written.
struct ItCell {
  int16_t note = itNoNote;  // -1, 0..119, 254 (cut) or 255 (off)
  uint8_t instrument = 0;   // 0 = none
  int16_t volume = -1;      // -1 or a raw volume-column byte (0..64 sets the volume)
  uint8_t command = 0;      // 0 = none
  uint8_t parameter = 0;
  bool empty() const { return note < 0 && instrument == 0 && volume < 0 && command == 0; }
  bool operator==(const ItCell&) const = default;
};

struct ItPattern {
  ItPattern() = default;
  ItPattern(int rowCount, int channelCount)
      : rows(rowCount), channels(channelCount), cells(static_cast<size_t>(rowCount) * channelCount) {}
  int rows = 0;
  int channels = 0;
  std::vector<ItCell> cells;  // row by row
  ItCell& at(int row, int channel) { return cells[static_cast<size_t>(row) * channels + channel]; }
  const ItCell& at(int row, int channel) const { return cells[static_cast<size_t>(row) * channels + channel]; }
  bool operator==(const ItPattern&) const = default;
};

// A 16-bit signed mono sample. The loop is on when loopEnd > loopBegin.
struct ItSample {
  std::string name;
  std::vector<int16_t> data;
  uint32_t c5Speed = 44100;  // frames per second when C-5 plays
  uint32_t loopBegin = 0;
  uint32_t loopEnd = 0;      // exclusive
  uint8_t globalVolume = 64;   // 0..64
  uint8_t defaultVolume = 64;  // 0..64
  int defaultPan = -1;         // -1 (channel pan) or 0..64
};

struct ItEnvelopeNode {
  int8_t value = 0;   // volume 0..64
  uint16_t tick = 0;
};

// A volume envelope. Disabled when it has no nodes.
struct ItEnvelope {
  std::vector<ItEnvelopeNode> nodes;  // at most 25, ticks increasing
  int loopBegin = -1, loopEnd = -1;         // node indices, -1 = no loop
  int sustainBegin = -1, sustainEnd = -1;   // node indices, -1 = no sustain loop
};

enum ItNewNoteAction : uint8_t { itNnaCut = 0, itNnaContinue = 1, itNnaNoteOff = 2, itNnaNoteFade = 3 };

// An instrument that plays one sample over the whole keyboard.
struct ItInstrument {
  std::string name;
  uint8_t sample = 0;  // 1-based sample number
  uint8_t newNoteAction = itNnaCut;
  uint16_t fadeOut = 0;        // 0..128 (per tick, after note-off)
  uint8_t globalVolume = 128;  // 0..128
  int defaultPan = -1;         // -1 (channel pan) or 0..64
  ItEnvelope volume;
};

// A whole module. Without instruments it is written in sample mode, where the
// instrument byte of a cell names a sample.
struct ItModule {
  std::string name;
  uint8_t speed = 6;
  uint8_t tempo = 125;
  uint8_t globalVolume = 128;  // 0..128
  uint8_t mixVolume = 48;      // 0..128
  uint8_t separation = 128;    // 0..128
  std::vector<uint8_t> channelPan;     // per used channel, 0..64; the others are switched off
  std::vector<uint8_t> channelVolume;  // per used channel, 0..64 (64 when missing)
  std::vector<uint8_t> orders;         // pattern numbers; the end marker is added
  std::vector<ItPattern> patterns;
  std::vector<ItSample> samples;
  std::vector<ItInstrument> instruments;
};

// The packed rows of one pattern (without its 8-byte header).
std::vector<uint8_t> packItPattern(const ItPattern& pattern);

// The file bytes, or an empty vector when the module can't be written:
// no orders, or more than 64 channels, 200 patterns, 99 samples or
// instruments, 255 orders;
// an order naming a missing pattern; a pattern of other than 1..200 rows, too
// large when packed, wider than channelPan or with cells missing; a loop
// outside its sample; samples too large for 32-bit file offsets; an
// instrument naming a missing sample; an envelope with more than 25 nodes,
// ticks not rising or loop points outside it.
std::vector<uint8_t> writeItModule(const ItModule& module);

}  // namespace vorlith::assets
