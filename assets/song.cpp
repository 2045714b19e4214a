// "The Brim Tale", an original composition in A minor at 139 beats per
// minute (speed 3, tempo 139, eight rows to a beat, two bars to a pattern).
// Every pattern lasts as long as 3452 ms of the show, so the music follows
// the scenes order by order:
//   0-2   logo: pad swell and a bell, a riser into
//   3-6   title: arpeggios and bass enter over soft hats
//   7-15  cube: the full beat and the lead motif, fills under the credits
//   16-20 ribbons: the main groove with a new bass line
//   21-25 blobs: the lead theme, accents every half pattern
//   26    the white flash: the big hit
//   27-31 light rays: breakdown, building back
//   32-34 tunnel: driving, fast hats
//   35-40 a new colour at each light entry: Dm-Am-E-Am with a saw lead,
//         then a bell theme, then a lift into B minor
//   41-44 climax: the theme in B minor
//   45-46 drop: pads alone
//   47-52 the end: a calm outro fading to silence with the picture
#include "song.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "synth.h"

namespace vorlith::assets {

namespace {

enum Channel {
  chKick, chSnare, chClap, chHat, chCrash, chBass, chPad1, chPad2, chPad3, chArp, chLead, chEcho,
  chBell, chTom, chRiser, chImpact, chControl, channelCount
};
constexpr uint8_t channelPans[channelCount] = {32, 32, 30, 40, 24, 32, 10, 32, 54, 20, 32, 46, 40, 26, 32, 32, 32};

enum Instrument : uint8_t {
  insKick = 1, insSnare, insClap, insClosedHat, insOpenHat, insCrash, insTom, insImpact, insRiser,
  insBass, insPad, insPluck, insLead, insSawLead, insBell
};

constexpr int totalRows = songOrders * songRows;
constexpr int barRows = 32;
constexpr int echoDelay = 6;  // a dotted eighth

// ---------------------------------------------------------------- harmony

struct Chord {
  int root = 9;  // pitch class, C = 0
  bool minor = true;
  std::array<int, 3> tones() const { return {root, (root + (minor ? 3 : 4)) % 12, (root + 7) % 12}; }
};

// "Am", "F", "C#", "Bm"...
Chord chord(std::string_view name) {
  static constexpr int letters[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  Chord c;
  c.root = letters[name[0] - 'A'];
  size_t i = 1;
  if (i < name.size() && name[i] == '#') {
    c.root = (c.root + 1) % 12;
    ++i;
  }
  c.minor = i < name.size() && name[i] == 'm';
  return c;
}

// Two chords per order, one per bar.
constexpr const char* harmony[songOrders][2] = {
    {"Am", "Am"}, {"F", "F"},  {"Dm", "E"}, {"Am", "F"},  {"C", "G"},  {"Am", "F"}, {"C", "G"},   // 0-6
    {"Am", "F"},  {"C", "G"},  {"Am", "F"}, {"C", "G"},   {"Am", "F"}, {"C", "G"},  {"Am", "F"},  // 7-13
    {"C", "G"},   {"Dm", "E"},                                                                     // 14-15
    {"Am", "C"},  {"F", "G"},  {"Am", "C"}, {"F", "G"},   {"Dm", "E"},                             // 16-20
    {"Am", "F"},  {"C", "G"},  {"Am", "F"}, {"C", "G"},   {"Dm", "E"}, {"Am", "F"},               // 21-26
    {"Am", "F"},  {"C", "G"},  {"Am", "F"}, {"C", "G"},   {"Dm", "E"},                             // 27-31
    {"Am", "F"},  {"C", "G"},  {"Am", "F"}, {"Dm", "Am"}, {"E", "Am"}, {"Dm", "E"},               // 32-37
    {"F", "C"},   {"G", "Am"}, {"G", "A"},  {"Bm", "G"},  {"D", "A"},  {"Bm", "G"}, {"D", "A"},   // 38-44
    {"G", "G"},   {"F", "E"},                                                                      // 45-46
    {"Am", "F"},  {"C", "G"},  {"Am", "F"}, {"C", "G"},   {"Am", "Am"}, {"Am", "Am"},             // 47-52
};

Chord chordAt(int order, int bar) { return chord(harmony[order][bar]); }

// The bass note of a chord: E-3 .. D#-4.
int bassNote(const Chord& c) { return 40 + (c.root + 8) % 12; }

// Chord tones rising from the root near C-5: root, third, fifth, then the
// same an octave and two octaves up.
std::array<int, 7> ladder(const Chord& c) {
  int base = 60 + c.root;
  if (base > 66) base -= 12;
  const int third = c.minor ? 3 : 4;
  return {base, base + third, base + 7, base + 12, base + 12 + third, base + 19, base + 24};
}

// "C-5" -> 60, "F#6" -> 78.
int noteNumber(std::string_view name) {
  static constexpr int letters[7] = {9, 11, 0, 2, 4, 5, 7};
  int n = letters[name[0] - 'A'];
  if (name[1] == '#') ++n;
  return n + 12 * (name[2] - '0');
}

// ---------------------------------------------------------------- the score

// The whole song as one long grid of rows, cut into patterns at the end.
class Score {
 public:
  Score() : cells_(static_cast<size_t>(totalRows) * channelCount) {}

  ItCell* at(int row, int channel) {
    if (row < 0 || row >= totalRows) return nullptr;
    return &cells_[static_cast<size_t>(row) * channelCount + channel];
  }

  // A note that plays until something else happens on its channel.
  void hit(int channel, int row, uint8_t instrument, int volume, int note = itMiddleC) {
    if (ItCell* c = at(row, channel)) {
      c->note = static_cast<int16_t>(note);
      c->instrument = instrument;
      c->volume = static_cast<int16_t>(std::clamp(volume, 0, 64));
    }
  }

  // A note released after `length` rows (unless another note starts there).
  void play(int channel, int row, int note, int length, uint8_t instrument, int volume) {
    hit(channel, row, instrument, volume, note);
    release(channel, row + length);
  }

  void release(int channel, int row) {
    if (ItCell* c = at(row, channel); c && c->note == itNoNote) c->note = itNoteOff;
  }

  // A new volume for the note that is playing (a note's own volume stays).
  void volume(int channel, int row, int volume) {
    if (ItCell* c = at(row, channel); c && c->note == itNoNote) c->volume = static_cast<int16_t>(std::clamp(volume, 0, 64));
  }

  // Empties rows [from, to) of a channel.
  void clear(int channel, int from, int to) {
    for (int row = from; row < to; ++row)
      if (ItCell* c = at(row, channel)) *c = ItCell{};
  }

  void effect(int channel, int row, uint8_t command, uint8_t parameter) {
    if (ItCell* c = at(row, channel)) {
      c->command = command;
      c->parameter = parameter;
    }
  }

  // "E-6:6 D-6:2 r:8 ..." from `row` on: notes with their lengths in rows.
  // Sustained notes get a gentle vibrato after their first half beat.
  void melody(int channel, int row, uint8_t instrument, int volume, std::string_view text, int transpose = 0,
              bool oneShot = false) {
    size_t i = 0;
    while (i < text.size()) {
      while (i < text.size() && text[i] == ' ') ++i;
      if (i >= text.size()) break;
      const size_t colon = text.find(':', i);
      const size_t end = std::min(text.find(' ', colon), text.size());
      const std::string_view name = text.substr(i, colon - i);
      const int length = std::atoi(std::string(text.substr(colon + 1, end - colon - 1)).c_str());
      if (name != "r") {
        const int note = noteNumber(name) + transpose;
        if (oneShot) {
          hit(channel, row, instrument, volume, note);
        } else {
          play(channel, row, note, length, instrument, volume);
          if (length >= 8)
            for (int k = 4; k < length; ++k) effect(channel, row + k, itVibrato, 0x54);
        }
      }
      row += length;
      i = end;
    }
  }

  // A quieter copy of `source` on `target`, `echoDelay` rows later, over rows [from, to).
  void echo(int source, int target, int from, int to, double level) {
    for (int row = from; row < to; ++row) {
      const ItCell* s = at(row, source);
      ItCell* t = at(row + echoDelay, target);
      if (!s || !t || s->note == itNoNote) continue;
      t->note = s->note;
      t->instrument = s->instrument;
      if (s->note < 120) t->volume = static_cast<int16_t>(std::lround(std::max<int16_t>(s->volume, 0) * level));
    }
  }

  // The patterns and the order list, identical patterns stored once.
  void cut(ItModule& m) const {
    for (int o = 0; o < songOrders; ++o) {
      ItPattern p(songRows, channelCount);
      std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(o) * songRows * channelCount,
                  songRows * channelCount, p.cells.begin());
      const auto same = std::find(m.patterns.begin(), m.patterns.end(), p);
      m.orders.push_back(static_cast<uint8_t>(same - m.patterns.begin()));
      if (same == m.patterns.end()) m.patterns.push_back(std::move(p));
    }
  }

 private:
  std::vector<ItCell> cells_;
};

int orderRow(int order) { return order * songRows; }

// ---------------------------------------------------------------- drums

void fourToTheFloor(Score& s, int order, int volume) {
  for (int b = 0; b < 8; ++b) s.hit(chKick, orderRow(order) + 8 * b, insKick, volume);
}

void backbeat(Score& s, int order, int snare, int clap) {
  for (int b = 1; b < 8; b += 2) {
    if (snare) s.hit(chSnare, orderRow(order) + 8 * b, insSnare, snare);
    if (clap) s.hit(chClap, orderRow(order) + 8 * b, insClap, clap);
  }
}

// Closed hats on every sixteenth, the off-beat eighths accented.
void sixteenthHats(Score& s, int order, int accent, int ghost) {
  for (int r = 0; r < songRows; r += 2) s.hit(chHat, orderRow(order) + r, insClosedHat, r % 8 == 4 ? accent : ghost);
}

// Closed hats on the off-beat eighths only.
void offbeatHats(Score& s, int order, int volume) {
  for (int r = 4; r < songRows; r += 8) s.hit(chHat, orderRow(order) + r, insClosedHat, volume);
}

// Open hats on the off-beats, closed ones on the sixteenths between.
void discoHats(Score& s, int order, int open, int closed) {
  for (int r = 2; r < songRows; r += 4) s.hit(chHat, orderRow(order) + r, insClosedHat, closed);
  for (int r = 4; r < songRows; r += 8) s.hit(chHat, orderRow(order) + r, insOpenHat, open);
}

void crash(Score& s, int row, int volume) { s.hit(chCrash, row, insCrash, volume); }

// Snare hits every `step` rows over [from, to), getting louder.
void snareRoll(Score& s, int from, int to, int step, int v0, int v1) {
  for (int r = from; r < to; r += step) s.hit(chSnare, r, insSnare, v0 + (v1 - v0) * (r - from) / std::max(1, to - from));
}

// A build over the second bar of an order: eighths, sixteenths, then every row.
void buildRoll(Score& s, int order) {
  const int r = orderRow(order);
  snareRoll(s, r + 32, r + 48, 4, 18, 30);
  snareRoll(s, r + 48, r + 56, 2, 30, 42);
  snareRoll(s, r + 56, r + 63, 1, 42, 56);
}

// Four toms falling in pitch, a sixteenth apart.
void tomFill(Score& s, int row, int volume) {
  const int notes[4] = {67, 63, 58, 53};
  for (int k = 0; k < 4; ++k) s.hit(chTom, row + 2 * k, insTom, volume, notes[k]);
}

void drums(Score& s) {
  // 0-2: no drums; the riser leads into the title.
  s.hit(chRiser, orderRow(2), insRiser, 40);

  // 3-6: soft hats, a light crash at the start, a snare roll into the cube.
  crash(s, orderRow(3), 22);
  for (int o = 3; o <= 6; ++o) {
    offbeatHats(s, o, 22);
    for (int r = 2; r < songRows; r += 4) s.hit(chHat, orderRow(o) + r, insClosedHat, 9);
  }
  snareRoll(s, orderRow(6) + 48, orderRow(6) + 64, 2, 10, 36);

  // 7-15: the full beat; fills and crashes where the credits appear.
  for (int o = 7; o <= 15; ++o) {
    fourToTheFloor(s, o, 54);
    if (o < 15) {
      backbeat(s, o, 56, 0);
      sixteenthHats(s, o, 40, 22);
      s.hit(chHat, orderRow(o) + 28, insOpenHat, 24);
      s.hit(chHat, orderRow(o) + 60, insOpenHat, 24);
    }
  }
  s.hit(chImpact, orderRow(7), insImpact, 34);
  crash(s, orderRow(7), 46);
  tomFill(s, orderRow(8) + 8, 40);  // "code"
  crash(s, orderRow(8) + 16, 42);
  tomFill(s, orderRow(9) + 48, 40);  // "music"
  crash(s, orderRow(9) + 56, 42);
  tomFill(s, orderRow(11) + 24, 40);  // "gfx"
  crash(s, orderRow(11) + 32, 42);
  crash(s, orderRow(13), 40);
  // 15: half a bar of beat, then the build.
  backbeat(s, 15, 56, 0);
  s.clear(chSnare, orderRow(15) + 32, orderRow(16));
  sixteenthHats(s, 15, 38, 20);
  s.clear(chHat, orderRow(15) + 32, orderRow(16));
  buildRoll(s, 15);
  s.hit(chRiser, orderRow(15), insRiser, 40);

  // 16-26: the main groove; crashes on every half pattern from 22.
  for (int o = 16; o <= 26; ++o) {
    fourToTheFloor(s, o, 56);
    if (o % 2 == 0) s.hit(chKick, orderRow(o) + 62, insKick, 40);
    backbeat(s, o, 50, 40);
    discoHats(s, o, 30, 24);
  }
  s.hit(chImpact, orderRow(16), insImpact, 30);
  crash(s, orderRow(16), 44);
  tomFill(s, orderRow(20) + 56, 44);
  crash(s, orderRow(21), 44);
  for (int o = 22; o <= 25; ++o) {
    crash(s, orderRow(o), 40);
    crash(s, orderRow(o) + 32, 32);
  }
  // 25: the build towards the flash, and a breath before it.
  s.clear(chSnare, orderRow(25) + 32, orderRow(26));
  buildRoll(s, 25);
  s.hit(chRiser, orderRow(25), insRiser, 46);
  for (int ch : {chKick, chClap, chHat}) s.clear(ch, orderRow(25) + 60, orderRow(26));
  // 26: the big hit on the flash.
  crash(s, orderRow(26), 64);
  s.hit(chImpact, orderRow(26), insImpact, 64);
  s.hit(chKick, orderRow(26), insKick, 64);

  // 27-31: breakdown, then the beat builds back.
  for (int o = 27; o <= 28; ++o) {
    offbeatHats(s, o, 18);
    s.hit(chClap, orderRow(o) + 24, insClap, 22);
    s.hit(chClap, orderRow(o) + 56, insClap, 22);
  }
  for (int r = 0; r < songRows; r += 16) s.hit(chKick, orderRow(29) + r, insKick, 46);
  s.hit(chSnare, orderRow(29) + 16, insSnare, 34);
  s.hit(chSnare, orderRow(29) + 48, insSnare, 34);
  sixteenthHats(s, 29, 22, 12);
  fourToTheFloor(s, 30, 50);
  backbeat(s, 30, 38, 24);
  sixteenthHats(s, 30, 26, 14);
  fourToTheFloor(s, 31, 52);
  sixteenthHats(s, 31, 26, 14);
  s.clear(chHat, orderRow(31) + 32, orderRow(32));
  buildRoll(s, 31);
  s.hit(chRiser, orderRow(31), insRiser, 46);
  s.clear(chKick, orderRow(31) + 56, orderRow(32));

  // 32-44: the tunnel drive with fast hats; a crash at each light entry.
  for (int o = 32; o <= 44; ++o) {
    fourToTheFloor(s, o, 58);
    backbeat(s, o, 54, o >= 41 ? 40 : 30);
    sixteenthHats(s, o, 40, 24);
    for (int bar = 0; bar < 2; ++bar)
      for (int r = 27; r < 32; r += 2) s.hit(chHat, orderRow(o) + 32 * bar + r, insClosedHat, 12);
    s.hit(chHat, orderRow(o) + 60, insOpenHat, 26);
  }
  for (int o : {32, 35, 38, 41}) crash(s, orderRow(o), 50);
  for (int o : {32, 41}) s.hit(chImpact, orderRow(o), insImpact, 52);
  for (int o = 42; o <= 44; ++o) crash(s, orderRow(o) + 32, 38);
  for (int o = 42; o <= 44; ++o) crash(s, orderRow(o), 44);
  for (int o : {34, 37}) tomFill(s, orderRow(o) + 56, 44);
  // 40: the lift into B minor.
  s.clear(chSnare, orderRow(40) + 32, orderRow(41));
  buildRoll(s, 40);
  s.hit(chRiser, orderRow(40), insRiser, 40);
  tomFill(s, orderRow(44) + 56, 50);

  // 45: the drop: one last hit, then no drums to the end.
  crash(s, orderRow(45), 50);
  s.hit(chImpact, orderRow(45), insImpact, 56);
}

// ---------------------------------------------------------------- bass

void bass(Score& s) {
  for (int o = 3; o <= 50; ++o) {
    if (o >= 45 && o <= 46) continue;
    for (int bar = 0; bar < 2; ++bar) {
      const int r = orderRow(o) + barRows * bar;
      const int n = bassNote(chordAt(o, bar));
      if (o <= 6) {  // three-three-two under the title
        s.play(chBass, r, n, 10, insBass, 40);
        s.play(chBass, r + 12, n, 10, insBass, 36);
        s.play(chBass, r + 24, n + 12, 6, insBass, 34);
      } else if (o <= 15 || o == 29 || o == 30) {  // off-beat eighths
        for (int k = 0; k < 4; ++k) s.play(chBass, r + 4 + 8 * k, k == 3 ? n + 12 : n, 3, insBass, 46);
      } else if (o <= 26) {  // the main groove
        const int rows[8] = {0, 6, 10, 14, 20, 24, 28, 30};
        const int steps[8] = {0, 0, 12, 0, 0, 7, 12, 7};
        for (int k = 0; k < 8; ++k) s.play(chBass, r + rows[k], n + steps[k], k == 0 ? 4 : 2, insBass, k == 0 ? 50 : 44);
      } else if (o <= 28 || o >= 47) {  // long notes
        s.play(chBass, r, n, 30, insBass, o >= 47 ? 24 : 32);
      } else if (o == 31) {  // sixteenths building up
        for (int k = 0; k < 16; ++k) s.play(chBass, r + 2 * k, n, 1, insBass, 30 + bar * 10 + k);
      } else {  // 32-44: rolling sixteenths after every kick
        for (int beat = 0; beat < 4; ++beat) {
          const int b = r + 8 * beat;
          s.play(chBass, b + 2, n, 2, insBass, 44);
          s.play(chBass, b + 4, n + 12, 2, insBass, 40);
          s.play(chBass, b + 6, n, 2, insBass, 42);
        }
      }
    }
  }
  // The last chord held under the fade.
  s.play(chBass, orderRow(51), bassNote(chord("Am")), 128, insBass, 28);
}

// ---------------------------------------------------------------- pads

// The voicing of `c` in G-4..D-6 nearest to the previous one.
std::array<int, 3> voice(const Chord& c, const std::array<int, 3>& previous) {
  const std::array<int, 3> pcs = c.tones();
  std::array<int, 3> best{};
  int bestCost = 1 << 30;
  for (int a = 55; a <= 74; ++a) {
    if (a % 12 != pcs[0]) continue;
    for (int b = 55; b <= 74; ++b) {
      if (b % 12 != pcs[1]) continue;
      for (int d = 55; d <= 74; ++d) {
        if (d % 12 != pcs[2]) continue;
        std::array<int, 3> v{a, b, d};
        std::sort(v.begin(), v.end());
        if (v[2] - v[0] > 12) continue;
        const int cost = std::abs(v[0] - previous[0]) + std::abs(v[1] - previous[1]) + std::abs(v[2] - previous[2]);
        if (cost < bestCost) {
          bestCost = cost;
          best = v;
        }
      }
    }
  }
  return best;
}

int padVolume(int order) {
  if (order <= 2) return 32;
  if (order <= 6) return 30;
  if (order <= 15) return 20;
  if (order <= 26) return 18;
  if (order <= 28) return 28;
  if (order <= 31) return 24;
  if (order <= 44) return 18;
  if (order <= 46) return 36;
  return 30;
}

void pads(Score& s) {
  std::array<int, 3> v{57, 60, 64};
  const int channels[3] = {chPad1, chPad2, chPad3};
  std::string previous;
  for (int o = 0; o < songOrders; ++o)
    for (int bar = 0; bar < 2; ++bar) {
      const int r = orderRow(o) + barRows * bar;
      if (harmony[o][bar] == previous) continue;  // a repeated chord is held
      previous = harmony[o][bar];
      v = voice(chordAt(o, bar), v);
      for (int k = 0; k < 3; ++k) s.hit(channels[k], r, insPad, padVolume(o), v[k]);
    }
  // The swell of the opening, and a low pad under the logo.
  for (int r = 0; r < songRows; ++r)
    for (int ch : channels) s.volume(ch, r, 4 + 28 * r / 63);
  for (int ch : channels) s.at(0, ch)->volume = 4;
  const int lows[4] = {45, 41, 38, 40};  // A F D E
  const int lowRows[4] = {0, 64, 128, 160};
  for (int k = 0; k < 4; ++k) s.hit(chBass, lowRows[k], insPad, k == 0 ? 4 : 24, lows[k]);
  for (int r = 1; r < songRows; ++r) s.volume(chBass, r, 4 + 20 * r / 63);
  s.release(chBass, orderRow(3));
  // Every pad lets go as the song ends.
  for (int ch : channels) s.release(ch, orderRow(52) + 60);
}

// ---------------------------------------------------------------- arpeggios

void arpeggios(Score& s) {
  static constexpr int rising[16] = {0, 1, 2, 3, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 4, 3};
  static constexpr int broken[8] = {0, 2, 3, 2, 4, 2, 3, 2};
  for (int o = 3; o <= 50; ++o) {
    if (o >= 45 && o <= 46) continue;
    for (int bar = 0; bar < 2; ++bar) {
      const int r = orderRow(o) + barRows * bar;
      const std::array<int, 7> l = ladder(chordAt(o, bar));
      if (o <= 15 || (o >= 31 && o <= 44)) {  // sixteenths: title, cube (in the background), tunnel
        const bool background = o >= 7 && o <= 15;
        const int accent = background ? 20 : 30, soft = background ? 14 : 22;
        const int lift = o >= 41 ? 12 : 0;  // an octave up for the climax
        for (int k = 0; k < 16; ++k) {
          const int vol = o == 31 ? 14 + bar * 8 + k / 2 : (k % 4 == 0 ? accent : soft);
          s.hit(chArp, r + 2 * k, insPluck, vol, l[static_cast<size_t>(rising[k])] + lift);
        }
      } else if (o <= 26) {
        for (int k = 0; k < 8; ++k) s.hit(chArp, r + 4 * k, insPluck, 18, l[static_cast<size_t>(broken[k])] + 12);
      } else {  // breakdown and outro: slow eighths
        const int vol = o >= 47 ? 17 - (o - 47) * 2 : 20;
        for (int k = 0; k < 8; ++k) s.hit(chArp, r + 4 * k, insPluck, vol, l[static_cast<size_t>(broken[k])]);
      }
    }
  }
}

// ---------------------------------------------------------------- melodies

// The lead motif over Am F C G, and its answer.
constexpr const char* motif =
    "E-6:6 D-6:2 C-6:4 B-5:4 C-6:8 A-5:8 "
    "A-5:6 C-6:2 F-6:8 E-6:4 C-6:4 A-5:8 "
    "G-5:6 C-6:2 E-6:8 G-6:8 E-6:4 D-6:4 "
    "D-6:12 B-5:4 D-6:8 r:8";
constexpr const char* motifAnswer =
    "E-6:6 D-6:2 C-6:4 B-5:4 C-6:8 A-5:8 "
    "A-5:6 C-6:2 F-6:8 E-6:4 C-6:4 A-5:8 "
    "G-5:6 C-6:2 E-6:8 G-6:8 E-6:4 D-6:4 "
    "D-6:6 E-6:2 D-6:4 B-5:4 G-5:8 B-5:8";

// The theme of the blob section, over Am F C G twice.
constexpr const char* theme =
    "A-5:4 C-6:4 E-6:16 D-6:4 C-6:4 "
    "C-6:12 A-5:4 C-6:8 F-6:8 "
    "E-6:16 D-6:4 C-6:4 D-6:8 "
    "B-5:16 G-5:8 B-5:8 "
    "A-5:4 C-6:4 E-6:16 G-6:4 E-6:4 "
    "F-6:12 E-6:4 C-6:8 A-5:8 "
    "G-5:8 C-6:8 E-6:8 G-6:8 "
    "D-6:8 G-6:8 B-6:16";

void melodies(Score& s) {
  // 0-2: a bell over the swell.
  s.melody(chBell, orderRow(0) + 16, insBell, 30, "E-6:8 D-6:8 C-6:16 A-5:16", 0, true);
  s.melody(chBell, orderRow(1) + 16, insBell, 30, "A-5:8 C-6:8 F-6:16 E-6:16", 0, true);
  s.melody(chBell, orderRow(2), insBell, 28, "F-6:8 E-6:8 D-6:16", 0, true);

  // 7-15: the lead motif, answered, twice; a rising line in 15.
  s.melody(chLead, orderRow(7), insLead, 50, motif);
  s.melody(chLead, orderRow(9), insLead, 50, motifAnswer);
  s.melody(chLead, orderRow(11), insLead, 52, motif);
  s.melody(chLead, orderRow(13), insLead, 52, motifAnswer);
  s.melody(chBell, orderRow(11), insBell, 20, motif, 12, true);
  s.melody(chLead, orderRow(15), insLead, 54, "F-6:8 E-6:8 D-6:8 A-5:8 G#5:8 B-5:8 D-6:8 E-6:8");

  // 16-20: the groove alone; bell answers now and then.
  s.melody(chBell, orderRow(17) + 32, insBell, 22, "D-6:4 B-5:4 G-5:8 D-6:16", 0, true);
  s.melody(chBell, orderRow(19) + 32, insBell, 22, "D-6:4 B-5:4 G-5:8 G-6:16", 0, true);

  // 21-26: the theme, the climb, the hit.
  s.melody(chLead, orderRow(21), insLead, 54, theme);
  s.melody(chLead, orderRow(25), insLead, 56, "A-6:16 F-6:8 D-6:8 E-6:8 G#5:8 B-5:8 E-6:8");
  s.melody(chLead, orderRow(26), insLead, 58, "A-6:24 G-6:4 E-6:4 F-6:16 C-6:8 A-5:8");

  // 27-30: breakdown: the motif on the bell.
  s.melody(chBell, orderRow(27), insBell, 34, motif, 0, true);
  s.melody(chBell, orderRow(29), insBell, 32, motifAnswer, 0, true);
  // 31: the lead climbs into the tunnel.
  s.melody(chLead, orderRow(31), insLead, 52, "D-6:4 E-6:4 F-6:4 G-6:4 A-6:8 F-6:8 G#6:8 E-6:8 B-5:8 G#5:8");

  // 35-37: Dm-Am-E-Am on a saw lead.
  s.melody(chLead, orderRow(35), insSawLead, 50,
           "D-6:6 E-6:2 F-6:8 A-6:8 F-6:8 E-6:12 C-6:4 A-5:8 C-6:8 "
           "B-5:8 G#5:8 B-5:8 E-6:8 A-5:12 C-6:4 E-6:16 "
           "F-6:8 E-6:8 D-6:8 F-6:8 E-6:16 G#6:8 B-6:8");
  // 38-40: the bell takes the lead.
  s.melody(chBell, orderRow(38), insBell, 40,
           "A-6:4 C-7:4 A-6:4 F-6:4 C-6:8 F-6:8 E-6:4 G-6:4 E-6:4 C-6:4 G-5:8 C-6:8 "
           "D-6:4 G-6:4 D-6:4 B-5:4 G-5:8 B-5:8 C-6:4 E-6:4 A-6:8 E-6:8 C-6:8 "
           "B-5:8 D-6:8 G-6:8 B-6:8 C#6:8 E-6:8 A-6:16",
           0, true);
  // 41-44: the theme in B minor, the saw lead an octave below the pulse.
  s.melody(chLead, orderRow(41), insLead, 54, theme, 2);
  s.melody(chBell, orderRow(41), insSawLead, 30, theme, -10);

  // 47-52: the outro: the motif slowly on the bell, then the last notes.
  s.melody(chBell, orderRow(47), insBell, 30, "E-6:16 C-6:16 A-5:16 C-6:16 G-5:16 E-6:16 D-6:16 B-5:16", 0, true);
  s.melody(chBell, orderRow(49), insBell, 24, "E-6:16 C-6:16 A-5:16 F-6:16 E-6:16 G-6:16 D-6:32", 0, true);
  s.melody(chBell, orderRow(51), insBell, 22, "A-5:16 C-6:16 E-6:32 A-6:64", 0, true);

  // Echoes: the lead in its sections, the bell in the others.
  s.echo(chLead, chEcho, orderRow(7), orderRow(27), 0.4);
  s.echo(chLead, chEcho, orderRow(31), orderRow(38), 0.4);
  s.echo(chLead, chEcho, orderRow(41), orderRow(45), 0.4);
  s.echo(chBell, chEcho, orderRow(0), orderRow(3), 0.45);
  s.echo(chBell, chEcho, orderRow(27), orderRow(31), 0.45);
  s.echo(chBell, chEcho, orderRow(38), orderRow(41), 0.45);
  s.echo(chBell, chEcho, orderRow(47), orderRow(53), 0.45);
}

// The music fades with the end picture: from order 50 row 56 to silence at the end.
void outroFade(Score& s) {
  const int from = orderRow(50) + 56, to = orderRow(53) - 1;
  for (int r = from; r <= to; ++r) {
    const double x = double(r - from) / (to - from);
    s.effect(chControl, r, itGlobalVolume, static_cast<uint8_t>(std::lround(128 * std::pow(1 - x, 1.6))));
  }
}

// ---------------------------------------------------------------- instruments

ItEnvelope envelope(std::initializer_list<ItEnvelopeNode> nodes, int sustain) {
  ItEnvelope e;
  e.nodes = nodes;
  e.sustainBegin = e.sustainEnd = sustain;
  return e;
}

void instruments(ItModule& m) {
  m.samples = {synthKick(),  synthSnare(), synthClap(),  synthClosedHat(), synthOpenHat(),
               synthCrash(), synthTom(),   synthImpact(), synthRiser(),    synthBass(),
               synthPad(),   synthPluck(), synthLead(),  synthSawLead(),   synthBell()};
  auto add = [&m](uint8_t sample, uint8_t nna, ItEnvelope volume = {}, uint16_t fadeOut = 0, uint8_t gv = 128) {
    ItInstrument i;
    i.name = m.samples[sample - 1].name;
    i.sample = sample;
    i.newNoteAction = nna;
    i.volume = std::move(volume);
    i.fadeOut = fadeOut;
    i.globalVolume = gv;
    m.instruments.push_back(std::move(i));
  };
  add(insKick, itNnaCut);
  add(insSnare, itNnaCut);
  add(insClap, itNnaCut);
  add(insClosedHat, itNnaCut);
  add(insOpenHat, itNnaCut);
  add(insCrash, itNnaContinue);
  add(insTom, itNnaContinue);
  add(insImpact, itNnaContinue);
  add(insRiser, itNnaCut);
  add(insBass, itNnaNoteOff, envelope({{64, 0}, {0, 6}}, 0), 32);
  add(insPad, itNnaNoteOff, envelope({{0, 0}, {64, 24}, {0, 84}}, 1), 8);
  add(insPluck, itNnaContinue);
  add(insLead, itNnaNoteOff, envelope({{0, 0}, {64, 2}, {50, 12}, {0, 30}}, 2), 16);
  add(insSawLead, itNnaNoteOff, envelope({{0, 0}, {64, 2}, {52, 14}, {0, 34}}, 2), 16);
  add(insBell, itNnaContinue);
}

}  // namespace

ItModule makeSong() {
  ItModule m;
  m.name = "The Brim Tale";
  m.speed = songSpeed;
  m.tempo = songTempo;
  m.globalVolume = 128;
  m.mixVolume = 64;
  m.separation = 96;
  m.channelPan.assign(std::begin(channelPans), std::end(channelPans));
  instruments(m);

  Score score;
  drums(score);
  bass(score);
  pads(score);
  arpeggios(score);
  melodies(score);
  outroFade(score);
  score.cut(m);
  return m;
}

}  // namespace vorlith::assets
