// The Impulse Tracker writer: pattern packing, the header and the blocks it
// points at, instruments with envelopes, refusals, and what libopenmpt makes
// of the files.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <libopenmpt/libopenmpt.hpp>

#include "it_writer.h"
#include "support.h"

namespace vorlith::assets {
namespace {

uint32_t read16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t read32(const std::vector<uint8_t>& b, size_t at) { return read16(b, at) | (read16(b, at + 2) << 16); }

// Loads a module; null when libopenmpt refuses it. Warnings and log go to `log`.
std::unique_ptr<openmpt::module> load(const std::vector<uint8_t>& bytes, std::string& log) {
  std::ostringstream out;
  try {
    auto m = std::make_unique<openmpt::module>(bytes, out, std::map<std::string, std::string>{{"play.at_end", "stop"}});
    log = out.str() + m->get_metadata("warnings");
    return m;
  } catch (const openmpt::exception&) {
    log = out.str();
    return nullptr;
  }
}

ItSample sine(int frames, uint32_t c5Speed) {
  ItSample s;
  s.name = "sine";
  s.c5Speed = c5Speed;
  for (int i = 0; i < frames; ++i)
    s.data.push_back(static_cast<int16_t>(std::lround(16000 * std::sin(i * 2 * M_PI / frames))));
  s.loopEnd = static_cast<uint32_t>(frames);
  return s;
}

// Mean square of the rendered signal over [from, to) seconds at 48 kHz.
double energy(openmpt::module& m, double from, double to) {
  m.set_position_seconds(0);
  std::vector<float> left(48000 * 4), right(48000 * 4);
  const size_t n = m.read(48000, left.size(), left.data(), right.data());
  double sum = 0;
  size_t count = 0;
  for (size_t i = static_cast<size_t>(from * 48000); i < std::min(n, static_cast<size_t>(to * 48000)); ++i, ++count)
    sum += left[i] * left[i];
  return count ? sum / count : 0;
}

TEST(ItWriter, PacksTheReferenceExampleByteForByte) {
  ItPattern p(4, 1);
  p.at(0, 0) = {60, 1, 64};
  p.at(2, 0) = {64, 1, 64};
  p.at(3, 0).note = itNoteCut;
  const std::vector<uint8_t> expected = {0x81, 0x07, 0x3C, 0x01, 0x40, 0x00, 0x00, 0x81,
                                         0x61, 0x40, 0x00, 0x81, 0x01, 0xFE, 0x00};
  EXPECT_EQ(packItPattern(p), expected);
}

TEST(ItWriter, ReusesMasksPerChannelAndComparesEffectsAsPairs) {
  ItPattern p(4, 2);
  p.at(0, 1) = {48, 2, 30, itVolumeSlide, 0x0F};
  p.at(1, 0) = {50, 3, 31, itVolumeSlide, 0x0F};  // channel 0 has its own memory
  p.at(1, 1) = {50, 3, 31, itVolumeSlide, 0x0F};  // same effect pair: "same" bit
  p.at(2, 1) = {52, 4, 32, itVolumeSlide, 0x0E};  // same command, new parameter: explicit
  p.at(3, 1) = {54, 5, 33, itVolumeSlide, 0x0D};  // same mask as the row before: no mask byte
  const std::vector<uint8_t> expected = {
      0x82, 0x0F, 48, 2, 30, 4, 0x0F, 0,                                  // row 0
      0x81, 0x0F, 50, 3, 31, 4, 0x0F, 0x82, 0x87, 50, 3, 31, 0,           // row 1
      0x82, 0x0F, 52, 4, 32, 4, 0x0E, 0,                                  // row 2
      0x02, 54, 5, 33, 4, 0x0D, 0,                                        // row 3
  };
  EXPECT_EQ(packItPattern(p), expected);
}

TEST(ItWriter, RandomPatternsComeBackThroughLibopenmpt) {
  std::mt19937 random(1234);
  ItModule m;
  m.speed = 6;
  m.tempo = 125;
  m.channelPan.assign(8, 32);
  m.samples = {sine(64, 16744)};
  const uint8_t commands[] = {itVolumeSlide, itVibrato, itArpeggio, itPanning};
  const char letters[] = {'D', 'H', 'J', 'X'};
  for (int k = 0; k < 3; ++k) {
    ItPattern p(64, 8);
    for (ItCell& c : p.cells) {
      if (random() % 3 == 0) continue;
      if (random() % 2) c.note = static_cast<int16_t>(random() % 4 == 0 ? 254 + random() % 2 : random() % 120);
      if (random() % 2) c.instrument = 1;
      if (random() % 2) c.volume = static_cast<int16_t>(random() % 3 == 0 ? 128 + random() % 65 : random() % 65);
      if (random() % 2) {
        c.command = commands[random() % 4];
        c.parameter = static_cast<uint8_t>(1 + random() % 255);
      }
    }
    m.patterns.push_back(p);
    m.orders.push_back(static_cast<uint8_t>(k));
  }
  std::string log;
  auto module = load(writeItModule(m), log);
  ASSERT_TRUE(module);
  EXPECT_EQ(log, "");
  ASSERT_EQ(module->get_num_patterns(), 3);
  for (int k = 0; k < 3; ++k)
    for (int r = 0; r < 64; ++r)
      for (int ch = 0; ch < 8; ++ch) {
        const ItCell& c = m.patterns[static_cast<size_t>(k)].at(r, ch);
        const int note = module->get_pattern_row_channel_command(k, r, ch, openmpt::module::command_note);
        EXPECT_EQ(note, c.note < 0 ? 0 : (c.note < 120 ? c.note + 1 : c.note)) << k << " " << r << " " << ch;
        EXPECT_EQ(module->get_pattern_row_channel_command(k, r, ch, openmpt::module::command_instrument), c.instrument);
        const std::string volumeLetter =
            module->format_pattern_row_channel_command(k, r, ch, openmpt::module::command_volumeffect);
        const int volume = module->get_pattern_row_channel_command(k, r, ch, openmpt::module::command_volume);
        if (c.volume < 0) {
          EXPECT_TRUE(volumeLetter == "." || volumeLetter == " ") << volumeLetter;
        } else if (c.volume <= 64) {
          EXPECT_EQ(volumeLetter, "v");
          EXPECT_EQ(volume, c.volume);
        } else {
          EXPECT_EQ(volumeLetter, "p");
          EXPECT_EQ(volume, c.volume - 128);
        }
        const std::string effect = module->format_pattern_row_channel_command(k, r, ch, openmpt::module::command_effect);
        if (c.command) {
          const size_t which = static_cast<size_t>(std::find(std::begin(commands), std::end(commands), c.command) - commands);
          EXPECT_EQ(effect, std::string(1, letters[which]));
          EXPECT_EQ(module->get_pattern_row_channel_command(k, r, ch, openmpt::module::command_parameter), c.parameter);
        }
      }
}

TEST(ItWriter, TheTestsTinyModuleIsTheReferenceExample) {
  // The tests' tiny module is written by this writer; it must come out as the
  // 433-byte reference file: same layout, pointers and sample data.
  const std::vector<uint8_t> b = test::tinyModule();
  ASSERT_EQ(b.size(), 433u);
  const std::vector<uint8_t> head = {0x49, 0x4d, 0x50, 0x4d, 0x74, 0x69, 0x6e, 0x79};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), b.begin()));
  const std::vector<uint8_t> counts = {0x04, 0x10, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                                       0x14, 0x02, 0x14, 0x02, 0x09, 0x00, 0x00, 0x00};
  EXPECT_TRUE(std::equal(counts.begin(), counts.end(), b.begin() + 0x1E));
  EXPECT_EQ(b[0xC0], 0x00);
  EXPECT_EQ(b[0xC1], 0xFF);
  EXPECT_EQ(read32(b, 0xC2), 0xCAu);
  EXPECT_EQ(read32(b, 0xC6), 0x11Au);
  EXPECT_EQ(b[0xCA + 0x12], 0x13);  // data, 16-bit, loop
  EXPECT_EQ(read32(b, 0xCA + 0x3C), 16744u);
  EXPECT_EQ(read32(b, 0xCA + 0x48), 0x131u);
  const std::vector<uint8_t> rows = {0x0f, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x81, 0x07, 0x3c, 0x01,
                                     0x40, 0x00, 0x00, 0x81, 0x61, 0x40, 0x00, 0x81, 0x01, 0xfe, 0x00};
  EXPECT_TRUE(std::equal(rows.begin(), rows.end(), b.begin() + 0x11A));
  std::string log;
  auto module = load(b, log);
  ASSERT_TRUE(module);
  EXPECT_EQ(log, "");
  EXPECT_DOUBLE_EQ(module->get_duration_seconds(), 0.48);
  EXPECT_GT(energy(*module, 0.0, 0.1), 1e-3);
  EXPECT_LT(energy(*module, 0.4, 0.48), 1e-7);  // after the note cut
}

TEST(ItWriter, WritesInstrumentsWithEnvelopesThatLibopenmptPlays) {
  ItModule m;
  m.name = "instruments";
  m.speed = 6;
  m.tempo = 125;  // 20 ms ticks, 120 ms rows
  m.channelPan = {16, 48};
  m.samples = {sine(64, 16744), sine(32, 16744)};
  ItInstrument held;
  held.name = "held";
  held.sample = 1;
  held.newNoteAction = itNnaNoteOff;
  held.volume.nodes = {{64, 0}, {0, 6}};  // full until released, then silent in six ticks
  held.volume.sustainBegin = held.volume.sustainEnd = 0;
  ItInstrument plain;
  plain.name = "plain";
  plain.sample = 2;
  m.instruments = {held, plain};
  ItPattern p(8, 2);
  p.at(0, 0) = {60, 1, 64};
  p.at(2, 0).note = itNoteOff;
  m.patterns = {p, ItPattern(8, 2), ItPattern(8, 2)};
  m.orders = {0, 2, 1};

  const std::vector<uint8_t> b = writeItModule(m);
  ASSERT_FALSE(b.empty());
  EXPECT_EQ(read16(b, 0x20), 4u);  // three orders and the end marker
  EXPECT_EQ(read16(b, 0x22), 2u);
  EXPECT_EQ(read16(b, 0x24), 2u);
  EXPECT_EQ(read16(b, 0x26), 3u);
  EXPECT_EQ(read16(b, 0x2C), 0x000Du);  // stereo, instruments, linear slides
  EXPECT_EQ(b[0x40], 16);
  EXPECT_EQ(b[0x41], 48);
  EXPECT_EQ(b[0x42], 0xA0);  // unused channels are switched off
  EXPECT_EQ(b[0xC0 + 3], 0xFF);
  // The blocks follow the pointer tables in order and fill the file exactly.
  const size_t tables = 0xC0 + 4;
  size_t expectedAt = tables + 4 * (2 + 2 + 3);
  for (int i = 0; i < 2; ++i, expectedAt += 554) EXPECT_EQ(read32(b, tables + 4 * i), expectedAt);
  for (int i = 0; i < 2; ++i, expectedAt += 80) EXPECT_EQ(read32(b, tables + 8 + 4 * i), expectedAt);
  const size_t ins = read32(b, tables);
  EXPECT_EQ(std::string(b.begin() + ins, b.begin() + ins + 4), "IMPI");
  EXPECT_EQ(b[ins + 0x11], itNnaNoteOff);
  EXPECT_EQ(b[ins + 0x40 + 2 * 60], 60);  // the keyboard maps every note to itself
  EXPECT_EQ(b[ins + 0x41 + 2 * 60], 1);   // on the instrument's sample
  EXPECT_EQ(b[ins + 0x130], 1 | 4);       // envelope on, sustain loop
  EXPECT_EQ(b[ins + 0x131], 2);
  EXPECT_EQ(read16(b, ins + 0x130 + 6 + 3 + 1), 6u);  // second node at tick 6
  const size_t lastSample = read32(b, tables + 12);
  EXPECT_EQ(read32(b, lastSample + 0x48) + 2 * 32, b.size());

  std::string log;
  auto module = load(b, log);
  ASSERT_TRUE(module);
  EXPECT_EQ(log, "");
  EXPECT_EQ(module->get_num_instruments(), 2);
  EXPECT_EQ(module->get_num_samples(), 2);
  EXPECT_EQ(module->get_instrument_names()[1], "plain");
  EXPECT_EQ(module->get_order_pattern(1), 2);
  EXPECT_DOUBLE_EQ(module->get_duration_seconds(), 3 * 8 * 0.12);
  // Sounding while held, silent once the release has run (row 2 + 6 ticks).
  EXPECT_GT(energy(*module, 0.05, 0.2), 1e-3);
  EXPECT_LT(energy(*module, 0.5, 0.9), 1e-7);
}

TEST(ItWriter, RefusesModulesItCannotWrite) {
  auto valid = [] {
    ItModule m;
    m.channelPan = {32};
    m.samples = {sine(64, 16744)};
    ItInstrument i;
    i.sample = 1;
    m.instruments = {i};
    m.patterns = {ItPattern(64, 1)};
    m.orders = {0};
    return m;
  };
  ASSERT_FALSE(writeItModule(valid()).empty());
  std::vector<std::pair<const char*, ItModule>> cases;
  auto add = [&](const char* what, auto change) {
    ItModule m = valid();
    change(m);
    cases.emplace_back(what, std::move(m));
  };
  add("no orders", [](ItModule& m) { m.orders.clear(); });
  add("order naming a missing pattern", [](ItModule& m) { m.orders = {0, 1}; });
  add("no patterns", [](ItModule& m) { m.patterns.clear(); });
  add("pattern of 0 rows", [](ItModule& m) { m.patterns[0] = ItPattern(0, 1); });
  add("pattern of 201 rows", [](ItModule& m) { m.patterns[0] = ItPattern(201, 1); });
  add("cells missing", [](ItModule& m) { m.patterns[0].cells.pop_back(); });
  add("65 channels", [](ItModule& m) { m.channelPan.assign(65, 32); });
  add("pattern wider than its channels", [](ItModule& m) { m.patterns[0] = ItPattern(64, 2); });
  add("loop past the data", [](ItModule& m) { m.samples[0].loopEnd = 65; });
  add("instrument without sample", [](ItModule& m) { m.instruments[0].sample = 0; });
  add("instrument naming a missing sample", [](ItModule& m) { m.instruments[0].sample = 2; });
  add("26 envelope nodes", [](ItModule& m) {
    for (uint16_t t = 0; t < 26; ++t) m.instruments[0].volume.nodes.push_back({64, t});
  });
  add("sustain past the nodes", [](ItModule& m) {
    m.instruments[0].volume.nodes = {{64, 0}, {0, 4}};
    m.instruments[0].volume.sustainBegin = m.instruments[0].volume.sustainEnd = 2;
  });
  add("envelope ticks not rising", [](ItModule& m) { m.instruments[0].volume.nodes = {{64, 4}, {0, 4}}; });
  add("packed pattern over 64 KiB", [](ItModule& m) {
    ItPattern big(200, 64);
    for (int r = 0; r < 200; ++r)  // every field changes from row to row: nothing packs
      for (int ch = 0; ch < 64; ++ch)
        big.at(r, ch) = {static_cast<int16_t>((r * 7 + ch) % 120), static_cast<uint8_t>(1 + r % 2),
                         static_cast<int16_t>(r % 64), itVolumeSlide, static_cast<uint8_t>(r + ch)};
    m.channelPan.assign(64, 32);
    m.patterns = {big};
  });
  for (const auto& [what, m] : cases) EXPECT_TRUE(writeItModule(m).empty()) << what;
}

}  // namespace
}  // namespace vorlith::assets
