// Renders an Impulse Tracker module to a 32-bit float stereo WAV file at
// 44100 Hz with libopenmpt, stopping exactly at the end of the song. Float
// keeps anything above full scale visible to a level meter.
#include <libopenmpt/libopenmpt.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

namespace {
void put16(std::ofstream& out, uint32_t v) {
  const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
  out.write(b, 2);
}
void put32(std::ofstream& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: render_module MODULE.it OUT.wav\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "render_module: can't open %s\n", argv[1]);
    return 1;
  }
  constexpr int rate = 44100;
  std::vector<float> frames;
  try {
    openmpt::module module(in, std::clog, {{"play.at_end", "stop"}});
    const std::string warnings = module.get_metadata("warnings");
    if (!warnings.empty()) std::fprintf(stderr, "warnings: %s\n", warnings.c_str());
    std::vector<float> buffer(2 * 4096);
    while (const size_t n = module.read_interleaved_stereo(rate, 4096, buffer.data()))
      frames.insert(frames.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(2 * n));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "render_module: %s\n", e.what());
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary);
  const uint32_t bytes = static_cast<uint32_t>(frames.size() * 4);
  out.write("RIFF", 4);
  put32(out, 36 + bytes);
  out.write("WAVEfmt ", 8);
  put32(out, 16);
  put16(out, 3);  // IEEE float
  put16(out, 2);
  put32(out, rate);
  put32(out, rate * 8);
  put16(out, 8);
  put16(out, 32);
  out.write("data", 4);
  put32(out, bytes);
  for (float s : frames) {
    uint32_t bits;
    std::memcpy(&bits, &s, 4);
    put32(out, bits);
  }
  return out ? 0 : 1;
}
