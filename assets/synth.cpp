#include "synth.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "base/exact_math.h"
#include "paint.h"

namespace vorlith::assets {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double middleC = 261.6255653005986;

size_t frames(double seconds) { return static_cast<size_t>(std::lround(seconds * synthRate)); }

// Adds a band-limited periodic wave to out[from, from + count): harmonic n
// (1-based) has amplitude weight(n) and sine phase n * (2 pi f t + phase).
// Harmonics above 16 kHz are left out. The sines of successive harmonics come
// from the Chebyshev recurrence sin((n+1)x) = 2 cos(x) sin(nx) - sin((n-1)x).
void addHarmonics(std::vector<double>& out, size_t from, size_t count, double frequency, double phase,
                  const std::function<double(int)>& weight) {
  const int top = std::max(1, static_cast<int>(16000.0 / frequency));
  std::vector<double> w(static_cast<size_t>(top) + 1);
  for (int n = 1; n <= top; ++n) w[static_cast<size_t>(n)] = weight(n);
  for (size_t i = 0; i < count; ++i) {
    const double x = 2 * pi * frequency * static_cast<double>(from + i) / synthRate + phase;
    const double s1 = exactSin(x), c2 = 2 * exactCos(x);
    double previous = 0, current = s1, sum = 0;
    for (int n = 1; n <= top; ++n) {
      sum += w[static_cast<size_t>(n)] * current;
      const double next = c2 * current - previous;
      previous = current;
      current = next;
    }
    out[from + i] += sum;
  }
}

// A two-pole low-pass response at `f` for a cutoff `cutoff`.
double lowPass(double f, double cutoff) { return 1.0 / std::sqrt(1.0 + std::pow(f / cutoff, 4.0)); }

std::function<double(int)> sawWeights(double frequency, double cutoff) {
  return [=](int n) { return lowPass(n * frequency, cutoff) / n; };
}

std::function<double(int)> pulseWeights(double frequency, double cutoff, double duty) {
  return [=](int n) { return lowPass(n * frequency, cutoff) * exactSin(pi * n * duty) / n; };
}

// White noise in -1..1 from a fixed seed.
std::vector<double> noise(size_t count, uint64_t seed) {
  Random random(seed);
  std::vector<double> v(count);
  for (double& x : v) x = random.range(-1.0, 1.0);
  return v;
}

// One-pole high-pass and low-pass filters, in place.
void highPass(std::vector<double>& v, double cutoff) {
  const double a = 1.0 / (1.0 + 2 * pi * cutoff / synthRate);
  double lastIn = 0, lastOut = 0;
  for (double& x : v) {
    const double y = a * (lastOut + x - lastIn);
    lastIn = x;
    lastOut = y;
    x = y;
  }
}
void lowPass1(std::vector<double>& v, double cutoff) {
  const double a = 1.0 - std::exp(-2 * pi * cutoff / synthRate);
  double y = 0;
  for (double& x : v) {
    y += a * (x - y);
    x = y;
  }
}

// A state-variable band-pass whose centre follows centre(t).
std::vector<double> bandPassSweep(const std::vector<double>& in, const std::function<double(double)>& centre, double q) {
  std::vector<double> out(in.size());
  double low = 0, band = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    const double f = 2 * exactSin(pi * std::min(centre(double(i) / synthRate), synthRate / 6.0) / synthRate);
    const double high = in[i] - low - band / q;
    band += f * high;
    low += f * band;
    out[i] = band;
  }
  return out;
}

// Six square waves at inharmonic ratios: the metallic body of hats and cymbals.
std::vector<double> metal(size_t count, double base) {
  static const double ratios[6] = {1.0, 1.4471, 1.6170, 1.9265, 2.5028, 2.6637};
  std::vector<double> v(count, 0.0);
  for (double r : ratios) {
    const double f = base * r;
    for (size_t i = 0; i < count; ++i) v[i] += exactSin(2 * pi * f * double(i) / synthRate) > 0 ? 1.0 : -1.0;
  }
  for (double& x : v) x /= 6;
  return v;
}

ItSample oneShot(const char* name, const std::vector<double>& wave, double peak, uint32_t c5Speed = synthRate) {
  ItSample s;
  s.name = name;
  s.data = toPcm(wave, peak);
  s.c5Speed = c5Speed;
  return s;
}

// A looped sample: an attack of `attack` frames followed by a loop of `loop`
// frames that repeats exactly (every partial has whole cycles over the loop).
ItSample looped(const char* name, const std::vector<double>& wave, size_t attack, double peak, uint32_t c5Speed) {
  ItSample s = oneShot(name, wave, peak, c5Speed);
  s.loopBegin = static_cast<uint32_t>(attack);
  s.loopEnd = static_cast<uint32_t>(wave.size());
  return s;
}

}  // namespace

std::vector<int16_t> toPcm(const std::vector<double>& wave, double peak) {
  double top = 0;
  for (double x : wave) top = std::max(top, std::fabs(x));
  const double gain = top > 0 ? peak * 32767.0 / top : 0.0;
  std::vector<int16_t> pcm(wave.size());
  for (size_t i = 0; i < wave.size(); ++i)
    pcm[i] = static_cast<int16_t>(std::clamp(std::lround(wave[i] * gain), -32767L, 32767L));
  return pcm;
}

uint32_t middleCSpeed(double frequency) {
  return static_cast<uint32_t>(std::lround(synthRate * middleC / frequency));
}

ItSample synthKick() {
  const size_t n = frames(0.5);
  std::vector<double> v(n);
  double phase = 0;
  const std::vector<double> click = noise(n, 11);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    const double f = 44 + 130 * std::exp(-t / 0.032) + 40 * std::exp(-t / 0.004);
    phase += 2 * pi * f / synthRate;
    const double body = exactSin(phase) * std::exp(-t / 0.2) * std::min(1.0, t / 0.0015);
    v[i] = std::tanh(1.6 * body) + 0.25 * click[i] * std::exp(-t / 0.002);
  }
  return oneShot("kick", v, 0.95);
}

ItSample synthSnare() {
  const size_t n = frames(0.4);
  std::vector<double> hiss = noise(n, 23);
  highPass(hiss, 1800);
  std::vector<double> v(n);
  double p1 = 0, p2 = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    p1 += 2 * pi * (185 + 60 * std::exp(-t / 0.01)) / synthRate;
    p2 += 2 * pi * (330 + 50 * std::exp(-t / 0.01)) / synthRate;
    const double body = 0.8 * exactSin(p1) * std::exp(-t / 0.06) + 0.35 * exactSin(p2) * std::exp(-t / 0.04);
    v[i] = body + 0.75 * hiss[i] * std::exp(-t / 0.1) * std::min(1.0, t / 0.001);
  }
  return oneShot("snare", v, 0.95);
}

ItSample synthClap() {
  const size_t n = frames(0.45);
  std::vector<double> hiss = noise(n, 29);
  highPass(hiss, 900);
  lowPass1(hiss, 5000);
  std::vector<double> v(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    // Four quick hand claps, then the room.
    double env = 0;
    for (int k = 0; k < 4; ++k) {
      const double tk = t - k * 0.011;
      if (tk >= 0) env = std::max(env, std::exp(-tk / 0.006) * (k == 3 ? 1.0 : 0.8));
    }
    if (t > 0.033) env = std::max(env, 0.55 * std::exp(-(t - 0.033) / 0.12));
    v[i] = hiss[i] * env;
  }
  return oneShot("clap", v, 0.95);
}

ItSample synthClosedHat() {
  const size_t n = frames(0.08);
  std::vector<double> v = noise(n, 31);
  const std::vector<double> m = metal(n, 540);
  for (size_t i = 0; i < n; ++i) v[i] = 0.6 * v[i] + 0.5 * m[i];
  highPass(v, 7000);
  highPass(v, 7000);
  for (size_t i = 0; i < n; ++i) v[i] *= std::exp(-double(i) / synthRate / 0.016);
  return oneShot("closed hat", v, 0.9);
}

ItSample synthOpenHat() {
  const size_t n = frames(0.45);
  std::vector<double> v = noise(n, 37);
  const std::vector<double> m = metal(n, 540);
  for (size_t i = 0; i < n; ++i) v[i] = 0.6 * v[i] + 0.5 * m[i];
  highPass(v, 6500);
  highPass(v, 6500);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    v[i] *= std::exp(-t / 0.11) * std::min(1.0, t / 0.002);
  }
  return oneShot("open hat", v, 0.9);
}

ItSample synthCrash() {
  const size_t n = frames(2.6);
  std::vector<double> v = noise(n, 41);
  const std::vector<double> m = metal(n, 420);
  for (size_t i = 0; i < n; ++i) v[i] = 0.7 * v[i] + 0.35 * m[i];
  highPass(v, 3500);
  highPass(v, 2500);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    v[i] *= (0.35 * std::exp(-t / 0.05) + 0.65 * std::exp(-t / 0.75)) * std::min(1.0, t / 0.003);
  }
  return oneShot("crash", v, 0.9);
}

ItSample synthTom() {
  // Made at middle C's speed so that the note names roughly give the pitch.
  const size_t n = frames(0.5);
  std::vector<double> v(n);
  const std::vector<double> hit = noise(n, 43);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    phase += 2 * pi * (130 + 60 * std::exp(-t / 0.05)) / synthRate;
    v[i] = exactSin(phase) * std::exp(-t / 0.17) + 0.15 * hit[i] * std::exp(-t / 0.006);
  }
  return oneShot("tom", v, 0.95);
}

ItSample synthImpact() {
  const size_t n = frames(3.0);
  std::vector<double> v(n);
  std::vector<double> rumble = noise(n, 47);
  lowPass1(rumble, 300);
  lowPass1(rumble, 300);
  std::vector<double> air = noise(n, 53);
  highPass(air, 1500);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    phase += 2 * pi * (34 + 50 * std::exp(-t / 0.12)) / synthRate;
    v[i] = std::tanh(1.4 * exactSin(phase) * std::exp(-t / 0.9)) + 2.5 * rumble[i] * std::exp(-t / 0.5) +
           0.35 * air[i] * std::exp(-t / 0.35);
  }
  return oneShot("impact", v, 0.95);
}

ItSample synthRiser() {
  // One pattern long (64 rows at speed 3, tempo 139).
  const double length = 64 * 3 * 2.5 / 139;
  const size_t n = frames(length);
  const std::vector<double> white = noise(n, 59);
  std::vector<double> v = bandPassSweep(white, [&](double t) { return 250 * std::pow(40.0, t / length); }, 3.0);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate, x = t / length;
    phase += 2 * pi * (220 * std::pow(8.0, x)) / synthRate;
    v[i] = (v[i] + 0.08 * exactSin(phase)) * x * x * std::min(1.0, (length - t) / 0.01);
  }
  return oneShot("riser", v, 0.9);
}

ItSample synthBass() {
  // Two saws (110 and 111 Hz, one beat a second) and a sine an octave below,
  // through a low-pass that closes from bright to dark over 0.3 s and then
  // stays: the loop is one second, whole cycles of every partial.
  constexpr double f = 110;
  const size_t attack = frames(0.3), loop = frames(1.0);
  std::vector<double> bright(attack + loop, 0.0), dark(attack + loop, 0.0);
  addHarmonics(bright, 0, attack, f, 0, sawWeights(f, 2400));
  addHarmonics(bright, 0, attack, f + 1, 1.0, sawWeights(f + 1, 2400));
  addHarmonics(dark, 0, attack + loop, f, 0, sawWeights(f, 520));
  addHarmonics(dark, 0, attack + loop, f + 1, 1.0, sawWeights(f + 1, 520));
  std::vector<double> v(attack + loop);
  for (size_t i = 0; i < v.size(); ++i) {
    const double t = double(i) / synthRate;
    const double open = i < attack ? std::pow(1.0 - double(i) / attack, 2.0) : 0.0;
    v[i] = 0.5 * (dark[i] + open * (bright[i] - dark[i])) + 0.9 * exactSin(2 * pi * (f / 2) * t);
  }
  return looped("bass", v, attack, 0.9, middleCSpeed(f / 2 * 2 * 2));
}

ItSample synthPad() {
  // Five saws spread over 2.5 Hz around 262 Hz and one an octave below; the
  // loop of two seconds holds whole cycles of each.
  const double detune[5] = {262.0, 261.0, 263.0, 261.5, 262.5};
  const size_t loop = frames(2.0);
  std::vector<double> v(loop, 0.0);
  for (int k = 0; k < 5; ++k)
    addHarmonics(v, 0, loop, detune[k], 1.7 * k, sawWeights(detune[k], 2200));
  addHarmonics(v, 0, loop, 131.0, 0.4, [](int n) { return 0.6 * lowPass(n * 131.0, 900) / n; });
  return looped("pad", v, 0, 0.9, middleCSpeed(262.0));
}

ItSample synthPluck() {
  const size_t n = frames(0.6);
  std::vector<double> bright(n, 0.0), dark(n, 0.0);
  addHarmonics(bright, 0, n, middleC, 0, pulseWeights(middleC, 6000, 0.5));
  addHarmonics(dark, 0, n, middleC, 0, pulseWeights(middleC, 900, 0.5));
  std::vector<double> v(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    const double open = std::exp(-t / 0.05);
    v[i] = (dark[i] + open * (bright[i] - dark[i])) * std::exp(-t / 0.16) * std::min(1.0, t / 0.001);
  }
  return oneShot("pluck", v, 0.9, synthRate);
}

ItSample synthLead() {
  // A 30% pulse at 262 Hz with a quieter saw a hertz above; one-second loop.
  const size_t loop = frames(1.0);
  std::vector<double> v(loop, 0.0);
  addHarmonics(v, 0, loop, 262.0, 0, pulseWeights(262.0, 4500, 0.3));
  addHarmonics(v, 0, loop, 263.0, 0.5, [](int n) { return 0.35 * lowPass(n * 263.0, 3000) / n; });
  return looped("lead", v, 0, 0.9, middleCSpeed(262.0));
}

ItSample synthSawLead() {
  const double detune[4] = {262.0, 261.0, 263.0, 524.0};
  const double level[4] = {1.0, 0.8, 0.8, 0.3};
  const size_t loop = frames(1.0);
  std::vector<double> v(loop, 0.0);
  for (int k = 0; k < 4; ++k) {
    const double f = detune[k], a = level[k];
    addHarmonics(v, 0, loop, f, 0.9 * k, [f, a](int n) { return a * lowPass(n * f, 5500) / n; });
  }
  return looped("saw lead", v, 0, 0.9, middleCSpeed(262.0));
}

ItSample synthBell() {
  // Two-operator FM: the modulator at 3.5 times the carrier gives the bell's
  // inharmonic partials; its index falls as the note rings.
  const size_t n = frames(2.6);
  std::vector<double> v(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / synthRate;
    const double index = 0.6 + 2.4 * std::exp(-t / 0.25);
    const double mod = exactSin(2 * pi * middleC * 3.5 * t);
    const double tine = 0.25 * exactSin(2 * pi * middleC * 4.0 * t) * std::exp(-t / 0.08);
    v[i] = (exactSin(2 * pi * middleC * t + index * mod) + tine) * std::exp(-t / 0.8) * std::min(1.0, t / 0.002);
  }
  return oneShot("bell", v, 0.9, synthRate);
}

}  // namespace vorlith::assets
