#include "it_writer.h"

#include <algorithm>
#include <cstring>

namespace vorlith::assets {

namespace {

constexpr size_t headerSize = 0xC0;
constexpr size_t sampleHeaderSize = 80;
constexpr size_t instrumentHeaderSize = 554;
constexpr size_t envelopeSize = 82;
constexpr uint8_t endOfSong = 255;
constexpr uint8_t channelOff = 0xA0;  // centre pan with the "disabled" bit

void put8(std::vector<uint8_t>& b, size_t at, uint32_t v) { b[at] = static_cast<uint8_t>(v); }
void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  put8(b, at, v & 0xFF);
  put8(b, at + 1, (v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}
// A fixed-size text field, always ending in at least one NUL.
void putText(std::vector<uint8_t>& b, size_t at, const std::string& text, size_t field) {
  const size_t n = std::min(text.size(), field - 1);
  std::memcpy(b.data() + at, text.data(), n);
}
size_t grow(std::vector<uint8_t>& b, size_t bytes) {
  const size_t at = b.size();
  b.resize(at + bytes, 0);
  return at;
}

bool envelopeValid(const ItEnvelope& e) {
  const int n = static_cast<int>(e.nodes.size());
  if (n > 25) return false;
  auto pointOk = [n](int begin, int end) { return begin < 0 || (begin <= end && end < n); };
  if (!pointOk(e.loopBegin, e.loopEnd) || !pointOk(e.sustainBegin, e.sustainEnd)) return false;
  for (int i = 1; i < n; ++i)
    if (e.nodes[i].tick <= e.nodes[i - 1].tick) return false;
  return true;
}

bool moduleValid(const ItModule& m) {
  if (m.channelPan.size() > 64 || m.channelVolume.size() > 64) return false;
  if (m.patterns.empty() || m.patterns.size() > 200 || m.orders.empty() || m.orders.size() > 255) return false;
  if (m.samples.size() > 99 || m.instruments.size() > 99) return false;
  for (uint8_t o : m.orders)
    if (o >= m.patterns.size()) return false;
  for (const ItPattern& p : m.patterns) {
    // Cells on channels past channelPan would be written to switched-off channels and never heard.
    if (p.rows < 1 || p.rows > 200 || p.channels < 0 || static_cast<size_t>(p.channels) > m.channelPan.size())
      return false;
    if (p.cells.size() != static_cast<size_t>(p.rows) * static_cast<size_t>(p.channels)) return false;
  }
  size_t sampleBytes = 0;
  for (const ItSample& s : m.samples) {
    sampleBytes += 2 * s.data.size();
    if (s.loopEnd > s.loopBegin && s.loopEnd > s.data.size()) return false;
  }
  if (sampleBytes > 0xF0000000u) return false;  // every block must lie within 32-bit pointers
  for (const ItInstrument& i : m.instruments)
    if (i.sample == 0 || i.sample > m.samples.size() || !envelopeValid(i.volume)) return false;
  return true;
}

void writeEnvelope(std::vector<uint8_t>& b, size_t at, const ItEnvelope& e) {
  if (e.nodes.empty()) return;
  uint8_t flags = 1;
  if (e.loopBegin >= 0) flags |= 2;
  if (e.sustainBegin >= 0) flags |= 4;
  put8(b, at, flags);
  put8(b, at + 1, static_cast<uint32_t>(e.nodes.size()));
  put8(b, at + 2, static_cast<uint32_t>(std::max(e.loopBegin, 0)));
  put8(b, at + 3, static_cast<uint32_t>(std::max(e.loopEnd, 0)));
  put8(b, at + 4, static_cast<uint32_t>(std::max(e.sustainBegin, 0)));
  put8(b, at + 5, static_cast<uint32_t>(std::max(e.sustainEnd, 0)));
  for (size_t i = 0; i < e.nodes.size(); ++i) {
    put8(b, at + 6 + 3 * i, static_cast<uint8_t>(e.nodes[i].value));
    put16(b, at + 7 + 3 * i, e.nodes[i].tick);
  }
}

void writeInstrument(std::vector<uint8_t>& b, size_t at, const ItInstrument& ins) {
  std::memcpy(b.data() + at, "IMPI", 4);
  put8(b, at + 0x11, ins.newNoteAction);
  put16(b, at + 0x14, std::min<uint32_t>(ins.fadeOut, 128));
  put8(b, at + 0x17, itMiddleC);
  put8(b, at + 0x18, std::min<uint32_t>(ins.globalVolume, 128));
  put8(b, at + 0x19, ins.defaultPan >= 0 ? static_cast<uint32_t>(std::min(ins.defaultPan, 64)) : 0x80);
  putText(b, at + 0x20, ins.name, 26);
  for (int note = 0; note < 120; ++note) {
    put8(b, at + 0x40 + 2 * note, static_cast<uint32_t>(note));
    put8(b, at + 0x41 + 2 * note, ins.sample);
  }
  writeEnvelope(b, at + 0x130, ins.volume);
  // Panning and pitch envelopes stay off (all zero).
  static_assert(0x130 + 3 * envelopeSize + 4 == instrumentHeaderSize);
}

void writeSampleHeader(std::vector<uint8_t>& b, size_t at, const ItSample& s, uint32_t dataAt) {
  const bool loop = s.loopEnd > s.loopBegin;
  std::memcpy(b.data() + at, "IMPS", 4);
  put8(b, at + 0x11, std::min<uint32_t>(s.globalVolume, 64));
  uint32_t flags = 0x02;  // 16-bit
  if (!s.data.empty()) flags |= 0x01;
  if (loop) flags |= 0x10;
  put8(b, at + 0x12, flags);
  put8(b, at + 0x13, std::min<uint32_t>(s.defaultVolume, 64));
  putText(b, at + 0x14, s.name, 26);
  put8(b, at + 0x2E, 0x01);  // signed
  put8(b, at + 0x2F, s.defaultPan >= 0 ? 0x80 | static_cast<uint32_t>(std::min(s.defaultPan, 64)) : 32);
  put32(b, at + 0x30, static_cast<uint32_t>(s.data.size()));
  put32(b, at + 0x34, loop ? s.loopBegin : 0);
  put32(b, at + 0x38, loop ? s.loopEnd : 0);
  put32(b, at + 0x3C, s.c5Speed);
  put32(b, at + 0x48, dataAt);
}

}  // namespace

std::vector<uint8_t> packItPattern(const ItPattern& p) {
  // Each channel remembers the last mask and the last value of each field it
  // wrote in this pattern; repeats are sent as "same as last" bits.
  std::vector<uint8_t> out;
  std::vector<int> lastMask(static_cast<size_t>(p.channels), -1);
  std::vector<ItCell> last(static_cast<size_t>(p.channels));
  std::vector<uint8_t> have(static_cast<size_t>(p.channels), 0);
  for (int r = 0; r < p.rows; ++r) {
    for (int ch = 0; ch < p.channels; ++ch) {
      const ItCell& c = p.at(r, ch);
      ItCell& l = last[static_cast<size_t>(ch)];
      uint8_t& h = have[static_cast<size_t>(ch)];
      uint8_t mask = 0;
      if (c.note >= 0) {
        if ((h & 1) && l.note == c.note) {
          mask |= 0x10;
        } else {
          mask |= 0x01;
          l.note = c.note;
          h |= 1;
        }
      }
      if (c.instrument) {
        if ((h & 2) && l.instrument == c.instrument) {
          mask |= 0x20;
        } else {
          mask |= 0x02;
          l.instrument = c.instrument;
          h |= 2;
        }
      }
      if (c.volume >= 0) {
        if ((h & 4) && l.volume == c.volume) {
          mask |= 0x40;
        } else {
          mask |= 0x04;
          l.volume = c.volume;
          h |= 4;
        }
      }
      if (c.command) {
        if ((h & 8) && l.command == c.command && l.parameter == c.parameter) {
          mask |= 0x80;
        } else {
          mask |= 0x08;
          l.command = c.command;
          l.parameter = c.parameter;
          h |= 8;
        }
      }
      if (!mask) continue;
      if (mask != lastMask[static_cast<size_t>(ch)]) {
        out.push_back(static_cast<uint8_t>((ch + 1) | 0x80));
        out.push_back(mask);
        lastMask[static_cast<size_t>(ch)] = mask;
      } else {
        out.push_back(static_cast<uint8_t>(ch + 1));
      }
      if (mask & 0x01) out.push_back(static_cast<uint8_t>(c.note));
      if (mask & 0x02) out.push_back(c.instrument);
      if (mask & 0x04) out.push_back(static_cast<uint8_t>(c.volume));
      if (mask & 0x08) {
        out.push_back(c.command);
        out.push_back(c.parameter);
      }
    }
    out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> writeItModule(const ItModule& m) {
  if (!moduleValid(m)) return {};
  std::vector<std::vector<uint8_t>> packed(m.patterns.size());
  for (size_t i = 0; i < m.patterns.size(); ++i) {
    packed[i] = packItPattern(m.patterns[i]);
    if (packed[i].size() + 8 >= 65536) return {};
  }

  const size_t orderCount = m.orders.size() + 1;
  const size_t insCount = m.instruments.size(), smpCount = m.samples.size(), patCount = m.patterns.size();
  std::vector<uint8_t> b(headerSize + orderCount + 4 * (insCount + smpCount + patCount), 0);

  std::memcpy(b.data(), "IMPM", 4);
  putText(b, 0x04, m.name, 26);
  put8(b, 0x1E, 4);   // rows per beat (editor highlight)
  put8(b, 0x1F, 16);  // rows per measure
  put16(b, 0x20, static_cast<uint32_t>(orderCount));
  put16(b, 0x22, static_cast<uint32_t>(insCount));
  put16(b, 0x24, static_cast<uint32_t>(smpCount));
  put16(b, 0x26, static_cast<uint32_t>(patCount));
  put16(b, 0x28, 0x0214);
  put16(b, 0x2A, 0x0214);
  put16(b, 0x2C, insCount ? 0x000D : 0x0009);  // stereo, linear slides (+ instruments)
  put8(b, 0x30, std::min<uint32_t>(m.globalVolume, 128));
  put8(b, 0x31, std::min<uint32_t>(m.mixVolume, 128));
  put8(b, 0x32, m.speed);
  put8(b, 0x33, m.tempo);
  put8(b, 0x34, std::min<uint32_t>(m.separation, 128));
  for (size_t ch = 0; ch < 64; ++ch) {
    put8(b, 0x40 + ch, ch < m.channelPan.size() ? std::min<uint32_t>(m.channelPan[ch], 64) : channelOff);
    put8(b, 0x80 + ch, ch < m.channelVolume.size() ? std::min<uint32_t>(m.channelVolume[ch], 64) : 64);
  }
  for (size_t i = 0; i < m.orders.size(); ++i) put8(b, headerSize + i, m.orders[i]);
  put8(b, headerSize + m.orders.size(), endOfSong);

  // The blocks follow the pointer tables directly: instruments, sample
  // headers, patterns, then the sample data.
  const size_t insTable = headerSize + orderCount;
  const size_t smpTable = insTable + 4 * insCount;
  const size_t patTable = smpTable + 4 * smpCount;
  for (size_t i = 0; i < insCount; ++i) {
    const size_t at = grow(b, instrumentHeaderSize);
    put32(b, insTable + 4 * i, static_cast<uint32_t>(at));
    writeInstrument(b, at, m.instruments[i]);
  }
  std::vector<size_t> sampleHeaders(smpCount);
  for (size_t i = 0; i < smpCount; ++i) {
    sampleHeaders[i] = grow(b, sampleHeaderSize);
    put32(b, smpTable + 4 * i, static_cast<uint32_t>(sampleHeaders[i]));
  }
  for (size_t i = 0; i < patCount; ++i) {
    const size_t at = grow(b, 8 + packed[i].size());
    put32(b, patTable + 4 * i, static_cast<uint32_t>(at));
    put16(b, at, static_cast<uint32_t>(packed[i].size()));
    put16(b, at + 2, static_cast<uint32_t>(m.patterns[i].rows));
    std::copy(packed[i].begin(), packed[i].end(), b.begin() + static_cast<std::ptrdiff_t>(at + 8));
  }
  for (size_t i = 0; i < smpCount; ++i) {
    const ItSample& s = m.samples[i];
    const size_t at = grow(b, 2 * s.data.size());
    writeSampleHeader(b, sampleHeaders[i], s, static_cast<uint32_t>(at));
    for (size_t k = 0; k < s.data.size(); ++k) put16(b, at + 2 * k, static_cast<uint16_t>(s.data[k]));
  }
  return b;
}

}  // namespace vorlith::assets
