#include "sound_synth.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>

#include "noise.h"

namespace larkspill::assets {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 2 * kPi;

// A second-order filter section (the usual audio cookbook forms).
struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  double z1 = 0, z2 = 0;
  float Step(float x) {
    double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return float(y);
  }
};

enum class FilterKind { kLow, kHigh, kBand };

Biquad MakeFilter(FilterKind kind, double freq, double q) {
  double w = kTwoPi * freq / kSampleRate, cw = std::cos(w), alpha = std::sin(w) / (2 * q);
  double b0, b1, b2, a0 = 1 + alpha, a1 = -2 * cw, a2 = 1 - alpha;
  switch (kind) {
    case FilterKind::kLow:
      b0 = (1 - cw) / 2, b1 = 1 - cw, b2 = (1 - cw) / 2;
      break;
    case FilterKind::kHigh:
      b0 = (1 + cw) / 2, b1 = -(1 + cw), b2 = (1 + cw) / 2;
      break;
    default:
      b0 = alpha, b1 = 0, b2 = -alpha;
      break;
  }
  Biquad f;
  f.b0 = b0 / a0, f.b1 = b1 / a0, f.b2 = b2 / a0, f.a1 = a1 / a0, f.a2 = a2 / a0;
  return f;
}

// A small room of comb and all-pass filters, for the space around the sounds.
class Reverb {
 public:
  Reverb(double size, double damping, int spread) {
    const int combs[] = {1116, 1188, 1277, 1356, 1422, 1491};
    const int allpasses[] = {556, 441, 341};
    for (int d : combs) comb_.push_back({std::vector<float>(size_t((d + spread) * size)), 0, 0});
    for (int d : allpasses) allpass_.push_back({std::vector<float>(size_t(d + spread)), 0, 0});
    feedback_ = 0.72f + 0.234f * float(std::min(size, 1.0));  // a bigger room rings longer
    damping_ = float(damping);
  }
  float Step(float x) {
    float out = 0;
    for (Line& c : comb_) {
      float y = c.buffer[c.pos];
      c.filter = y * (1 - damping_) + c.filter * damping_;
      c.buffer[c.pos] = x * 0.015f + c.filter * feedback_;
      c.pos = (c.pos + 1) % c.buffer.size();
      out += y;
    }
    for (Line& a : allpass_) {
      float b = a.buffer[a.pos];
      float y = -out + b;
      a.buffer[a.pos] = out + b * 0.5f;
      a.pos = (a.pos + 1) % a.buffer.size();
      out = y;
    }
    return out;
  }

 private:
  struct Line {
    std::vector<float> buffer;
    size_t pos;
    float filter;
  };
  std::vector<Line> comb_, allpass_;
  float feedback_, damping_;
};

// Runs a stateful effect over a loop as if the loop had already been playing for a while, so the
// output's end leads into its start as smoothly as the input's does.
void ProcessLoop(std::vector<float>& buffer, size_t warmup,
                 const std::function<float(float)>& step) {
  size_t n = buffer.size();
  warmup = std::min(warmup, n);
  for (size_t i = n - warmup; i < n; ++i) step(buffer[i]);
  for (float& v : buffer) v = step(v);
}

// Adds a mono event into a stereo loop at start, wrapping past the end to the beginning.
void AddEvent(Sound& loop, const std::vector<float>& event, size_t start, float pan, float gain) {
  size_t n = loop.frames();
  float gl = gain * std::sqrt(1 - pan), gr = gain * std::sqrt(pan);
  for (size_t i = 0; i < event.size(); ++i) {
    size_t j = (start + i) % n;
    loop.left[j] += event[i] * gl;
    loop.right[j] += event[i] * gr;
  }
}

// Adds an event to a sound that does not loop; what falls beyond the end is dropped.
void AddOnce(Sound& sound, const std::vector<float>& event, size_t start, float pan, float gain) {
  float gl = gain * std::sqrt(1 - pan), gr = gain * std::sqrt(pan);
  for (size_t i = 0; i < event.size() && start + i < sound.frames(); ++i) {
    sound.left[start + i] += event[i] * gl;
    sound.right[start + i] += event[i] * gr;
  }
}

Sound MakeSound(double seconds) {
  Sound s;
  size_t n = size_t(seconds * kSampleRate);
  s.left.assign(n, 0);
  s.right.assign(n, 0);
  return s;
}

// A slow swell that repeats a whole number of times over the loop.
struct LoopLfo {
  double cycles, phase, depth;
  double At(size_t i, size_t n) const {
    return depth * std::sin(kTwoPi * cycles * double(i) / double(n) + phase);
  }
};

double Rms(const Sound& s) {
  double sum = 0;
  for (size_t i = 0; i < s.frames(); ++i) sum += s.left[i] * s.left[i] + s.right[i] * s.right[i];
  return std::sqrt(sum / (2.0 * std::max<size_t>(1, s.frames())));
}

double Peak(const Sound& s) {
  double p = 0;
  for (size_t i = 0; i < s.frames(); ++i)
    p = std::max({p, double(std::abs(s.left[i])), double(std::abs(s.right[i]))});
  return p;
}

// Brings the sound to a level and rounds off any peak above about -1.4 dBFS so nothing clips.
void Level(Sound& s, double gain) {
  for (std::vector<float>* ch : {&s.left, &s.right})
    for (float& v : *ch) {
      float x = float(v * gain), a = std::abs(x);
      if (a > 0.85f) x = std::copysign(0.85f + 0.12f * std::tanh((a - 0.85f) / 0.12f), x);
      v = x;
    }
}

void LevelToRms(Sound& s, double dbfs) {
  Level(s, std::pow(10.0, dbfs / 20) / Rms(s));
}
void LevelToPeak(Sound& s, double dbfs) {
  Level(s, std::pow(10.0, dbfs / 20) / Peak(s));
}

std::vector<float> WhiteNoise(Rng& rng, size_t n) {
  std::vector<float> v(n);
  for (float& x : v) x = float(rng.Range(-1, 1));
  return v;
}

// A tone whose frequency and loudness follow the given curves (t in seconds), with a few
// harmonics for colour.
std::vector<float> Tone(double seconds, const std::function<double(double)>& freq,
                        const std::function<double(double)>& amp,
                        std::initializer_list<double> harmonics = {1.0}) {
  size_t n = size_t(seconds * kSampleRate);
  std::vector<float> out(n);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    double t = double(i) / kSampleRate;
    double f = freq(t);
    phase += kTwoPi * f / kSampleRate;
    double v = 0;
    int k = 1;
    for (double h : harmonics) {
      // Harmonics fade out before they reach the top of the band, so none switches on abruptly.
      double fade = std::clamp((kSampleRate / 2.4 - f * k) / 3000.0, 0.0, 1.0);
      if (fade > 0) v += h * fade * std::sin(phase * k);
      ++k;
    }
    out[i] = float(v * amp(t));
  }
  return out;
}

// Attack, hold and release of a note, smooth at both ends.
double Envelope(double t, double length, double attack, double release) {
  if (t < 0 || t > length) return 0;
  double a = t < attack ? std::sin(0.5 * 3.14159265 * t / attack) : 1.0;
  double r = t > length - release ? std::sin(0.5 * 3.14159265 * (length - t) / release) : 1.0;
  return a * a * r * r;
}

// A short burst of noise coloured by a band-pass filter, decaying quickly.
std::vector<float> NoiseBurst(Rng& rng, double seconds, double centre, double q, double decay) {
  auto v = WhiteNoise(rng, size_t(seconds * kSampleRate));
  Biquad band = MakeFilter(FilterKind::kBand, centre, q);
  for (size_t i = 0; i < v.size(); ++i) {
    double t = double(i) / kSampleRate;
    v[i] = band.Step(v[i]) * float(std::exp(-t / decay) * std::min(1.0, t / 0.002));
  }
  return v;
}

// One note of a song: a near-pure tone gliding from `from` to `to` (Hz) evenly in pitch, bowed
// up (arch > 0) or down midway, starting `at` seconds into its phrase.
struct BirdNote {
  double at, length, from, to, arch, gain;
};

enum class CallKind { kChips, kTrill, kWhistle, kSlurs, kSong, kTeeDee };

// The notes of one phrase of a kind of call, around the pitch f (Hz). Counts, pitches, lengths
// and gaps are drawn afresh each time, so no two phrases are the same.
std::vector<BirdNote> ComposePhrase(Rng& rng, CallKind kind, double f) {
  std::vector<BirdNote> notes;
  double at = 0;
  auto add = [&](double length, double from, double to, double arch, double gain, double gap) {
    notes.push_back({at, length, from, to, arch, gain});
    at += length + gap;
  };
  switch (kind) {
    case CallKind::kChips: {  // short chips sweeping steeply down, "tchip tchip tchip"
      int count = rng.Int(3, 6);
      for (int i = 0; i < count; ++i) {
        double top = f * rng.Range(1.3, 1.45) * (1 - 0.03 * i);
        add(rng.Range(0.025, 0.045), top, top * rng.Range(0.55, 0.65), 0, rng.Range(0.7, 1.0),
            rng.Range(0.08, 0.16));
      }
      break;
    }
    case CallKind::kTrill: {  // a fast run of identical little notes, swelling and fading
      int count = rng.Int(9, 20);
      double rate = rng.Range(10, 16), drift = rng.Range(-0.15, 0.15);
      bool up = rng.Uniform() < 0.5;
      for (int i = 0; i < count; ++i) {
        double x = (i + 0.5) / count, p = f * (1 + drift * x);
        double lo = p * 0.86, hi = p * 1.12;
        add(0.55 / rate, up ? lo : hi, up ? hi : lo, 0, 0.45 + 0.55 * std::sin(kPi * x),
            0.45 / rate);
      }
      break;
    }
    case CallKind::kWhistle: {  // two or three clear, held whistles, "tee-yooo"
      int count = rng.Int(2, 3);
      double p = f * rng.Range(0.95, 1.1);
      for (int i = 0; i < count; ++i) {
        double glide = rng.Range(-0.12, 0.08);
        add(rng.Range(0.18, 0.3), p, p * (1 + glide), rng.Range(-0.04, 0.04), 1.0,
            rng.Range(0.06, 0.14));
        p *= rng.Range(0.72, 0.88);
      }
      break;
    }
    case CallKind::kSlurs: {  // rising "sweet? sweet?" slurs
      int count = rng.Int(2, 4);
      for (int i = 0; i < count; ++i) {
        double lo = f * rng.Range(0.65, 0.75);
        add(rng.Range(0.07, 0.13), lo, lo * rng.Range(1.7, 2.0), rng.Range(-0.05, 0.0),
            rng.Range(0.75, 1.0), rng.Range(0.1, 0.2));
      }
      break;
    }
    case CallKind::kSong: {  // a warbler's varied song: quick notes leaping about
      int count = rng.Int(6, 12);
      for (int i = 0; i < count; ++i) {
        double p = f * std::pow(2.0, rng.Range(-0.5, 0.5)), bend = rng.Range(-0.35, 0.35);
        double arch = rng.Uniform() < 0.3 ? rng.Range(-0.15, 0.2) : 0;
        add(rng.Range(0.03, 0.11), p, p * std::pow(2.0, bend), arch, rng.Range(0.6, 1.0),
            rng.Range(0.02, 0.06));
      }
      break;
    }
    case CallKind::kTeeDee: {  // one long note then quick lower ones, "teee-dee-dee-dee"
      double p = f * rng.Range(1.05, 1.15);
      add(rng.Range(0.18, 0.26), p, p * 0.93, 0, 1.0, rng.Range(0.05, 0.08));
      int count = rng.Int(3, 5);
      double q = f * rng.Range(0.72, 0.8);
      for (int i = 0; i < count; ++i)
        add(0.05, q, q * rng.Range(1.15, 1.3), 0, 0.8, rng.Range(0.04, 0.06));
      break;
    }
  }
  return notes;
}

// Sings a phrase into a mono buffer peaking at 1: each note a sine with a faint overtone (more
// than 30 dB down, as in a whistle), a quick rise and a softer fall.
std::vector<float> SingPhrase(Rng& rng, CallKind kind, double f) {
  std::vector<BirdNote> notes = ComposePhrase(rng, kind, f);
  const BirdNote& end = notes.back();
  std::vector<float> phrase(size_t((end.at + end.length) * kSampleRate) + 1);
  for (const BirdNote& n : notes) {
    auto note = Tone(
        n.length,
        [&n](double t) {
          double x = t / n.length;
          return n.from * std::pow(n.to / n.from, x) * (1 + n.arch * std::sin(kPi * x));
        },
        [&n](double t) {
          return n.gain * Envelope(t, n.length, std::min(0.006, 0.25 * n.length), 0.4 * n.length);
        },
        {1.0, 0.025});
    size_t at = size_t(n.at * kSampleRate);
    for (size_t i = 0; i < note.size() && at + i < phrase.size(); ++i) phrase[at + i] += note[i];
  }
  // Every phrase peaks at full scale; the singer's distance sets its level.
  float peak = 0;
  for (float v : phrase) peak = std::max(peak, std::abs(v));
  for (float& v : phrase) v /= peak;
  return phrase;
}

}  // namespace

std::vector<uint8_t> EncodeWav(const Sound& sound) {
  std::vector<uint8_t> out;
  auto put16 = [&](uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  uint32_t data_bytes = uint32_t(sound.frames() * 4);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put32(36 + data_bytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(16);
  put16(1);  // PCM
  put16(2);
  put32(kSampleRate);
  put32(kSampleRate * 4);
  put16(4);
  put16(16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put32(data_bytes);
  out.reserve(out.size() + data_bytes);
  for (size_t i = 0; i < sound.frames(); ++i)
    for (float v : {sound.left[i], sound.right[i]}) {
      long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
      put16(uint16_t(int16_t(s)));
    }
  return out;
}

Sound SynthesizeWater() {
  Rng rng(0xA11CE);
  Sound s = MakeSound(20.0);
  size_t n = s.frames();
  // The roar: noise shared by both ears plus some of each ear's own, darkened like a distant
  // fall, with its body rising and falling slowly.
  auto common = WhiteNoise(rng, n);
  const LoopLfo swell[] = {{3, 0.4, 0.16}, {7, 2.1, 0.09}, {13, 4.0, 0.05}, {41, 1.3, 0.04}};
  for (int ch = 0; ch < 2; ++ch) {
    auto own = WhiteNoise(rng, n);
    std::vector<float> roar(n), hiss(n);
    for (size_t i = 0; i < n; ++i) roar[i] = hiss[i] = 0.75f * common[i] + 0.55f * own[i];
    Biquad lp1 = MakeFilter(FilterKind::kLow, 1100, 0.6),
           lp2 = MakeFilter(FilterKind::kLow, 1600, 0.7);
    Biquad hp = MakeFilter(FilterKind::kHigh, 70, 0.7);
    Biquad rumble = MakeFilter(FilterKind::kLow, 180, 0.8);
    ProcessLoop(roar, kSampleRate, [&](float x) {
      float body = lp2.Step(lp1.Step(x));
      return hp.Step(body + 1.6f * rumble.Step(x));
    });
    Biquad band = MakeFilter(FilterKind::kBand, 3800, 0.5);
    ProcessLoop(hiss, kSampleRate, [&](float x) { return band.Step(x); });
    auto& out = ch == 0 ? s.left : s.right;
    for (size_t i = 0; i < n; ++i) {
      double g = 1;
      for (const LoopLfo& l : swell) g += l.At(i, n) * (ch == 0 ? 1 : 0.9);
      out[i] = float(g * (roar[i] + 0.22 * hiss[i]));
    }
  }
  // Splashes and bubbles on the pool's surface.
  for (int i = 0; i < int(20 * 14); ++i) {
    auto burst = NoiseBurst(rng, rng.Range(0.02, 0.07), rng.Range(1200, 5000), rng.Range(1, 3),
                            rng.Range(0.006, 0.02));
    AddEvent(s, burst, size_t(rng.Uniform() * n), float(rng.Range(0.15, 0.85)),
             float(rng.Range(0.3, 1.1)));
  }
  for (int i = 0; i < int(20 * 30); ++i) {
    double f0 = 500 * std::pow(6.0, rng.Uniform()), tau = rng.Range(0.006, 0.025);
    auto bubble = Tone(
        tau * 4, [=](double t) { return f0 * (1 + 1.8 * t / (tau * 4)); },
        [=](double t) { return std::exp(-t / tau) * std::min(1.0, t / 0.0015); });
    AddEvent(s, bubble, size_t(rng.Uniform() * n), float(rng.Range(0.1, 0.9)),
             float(rng.Range(0.01, 0.05)));
  }
  LevelToRms(s, -18.0);
  return s;
}

Sound SynthesizeJungle() {
  Rng rng(0x7A6E);
  const double seconds = 24.0;
  Sound s = MakeSound(seconds);
  size_t n = s.frames();
  // Leaves in a light wind.
  for (int ch = 0; ch < 2; ++ch) {
    auto bed = WhiteNoise(rng, n);
    Biquad band = MakeFilter(FilterKind::kBand, 650, 0.45),
           lp = MakeFilter(FilterKind::kLow, 2200, 0.7);
    ProcessLoop(bed, kSampleRate, [&](float x) { return lp.Step(band.Step(x)); });
    const LoopLfo wind[] = {{2, ch * 0.7, 0.35}, {5, 1.9 + ch, 0.2}};
    auto& out = ch == 0 ? s.left : s.right;
    for (size_t i = 0; i < n; ++i) {
      double g = 0.5;
      for (const LoopLfo& l : wind) g += 0.5 * l.At(i, n);
      out[i] += float(0.5 * std::max(0.1, g) * bed[i]);
    }
  }
  // Two choirs of cicadas, buzzing in pulses and swelling slowly in turn. Every pulse rate is a
  // whole number of cycles per loop.
  struct Cicada {
    double centre, pulse, swell_cycles, swell_phase, pan, gain;
  };
  const Cicada cicadas[] = {{5300, 112.5, 2, 0.0, 0.3, 0.11}, {6400, 86.0, 3, 2.5, 0.75, 0.07}};
  for (const Cicada& c : cicadas) {
    auto buzz = WhiteNoise(rng, n);
    Biquad b1 = MakeFilter(FilterKind::kBand, c.centre, 6),
           b2 = MakeFilter(FilterKind::kBand, c.centre, 6);
    ProcessLoop(buzz, kSampleRate / 2, [&](float x) { return b2.Step(b1.Step(x)) * 3; });
    for (size_t i = 0; i < n; ++i) {
      double t = double(i) / kSampleRate;
      double pulse = std::pow(0.5 + 0.5 * std::sin(kTwoPi * c.pulse * t), 3);
      double swell = std::pow(
          0.5 + 0.5 * std::sin(kTwoPi * c.swell_cycles * i / double(n) + c.swell_phase), 2);
      buzz[i] *= float(pulse * (0.15 + 0.85 * swell));
    }
    AddEvent(s, buzz, 0, float(c.pan), float(c.gain));
  }
  Sound wet = MakeSound(seconds);
  // Crickets: chirps of three quick pulses, each cricket at its own pitch and pace.
  for (int k = 0; k < 3; ++k) {
    double f = rng.Range(4200, 4900), period = rng.Range(0.55, 0.85);
    int chirps = int(seconds / period);
    float pan = float(rng.Range(0.1, 0.9)), gain = float(rng.Range(0.04, 0.08));
    for (int i = 0; i < chirps; ++i) {
      auto chirp = Tone(
          0.12, [=](double) { return f; },
          [](double t) {
            double p = std::fmod(t, 0.036);
            return t < 0.108 ? Envelope(p, 0.018, 0.003, 0.008) : 0.0;
          },
          {1.0, 0.1});
      size_t at = size_t((i * seconds / chirps + rng.Range(0, 0.05)) * kSampleRate);
      AddEvent(wet, chirp, at, pan, gain);
    }
  }
  // Frogs: low croaks in short series.
  for (int k = 0; k < 7; ++k) {
    double rate = rng.Range(45, 85), formant = rng.Range(450, 1000);
    double start = rng.Uniform() * seconds;
    int croaks = rng.Int(2, 5);
    float pan = float(rng.Range(0.15, 0.85)), gain = float(rng.Range(0.22, 0.4));
    for (int c = 0; c < croaks; ++c) {
      double length = rng.Range(0.12, 0.26);
      std::vector<float> croak(size_t(length * kSampleRate));
      Biquad f1 = MakeFilter(FilterKind::kBand, formant, 4),
             f2 = MakeFilter(FilterKind::kBand, formant * 2.3, 5);
      Biquad soft = MakeFilter(FilterKind::kLow, 2200, 0.7);
      double phase = 0;
      for (size_t i = 0; i < croak.size(); ++i) {
        double t = double(i) / kSampleRate;
        phase += rate * (1 - 0.15 * t / length) / kSampleRate;
        double frac = phase - std::floor(phase);
        float pulse = float(std::exp(-frac * 18) + 0.05 * rng.Range(-1, 1));
        croak[i] = soft.Step(f1.Step(pulse) + 0.5f * f2.Step(pulse)) *
                   float(Envelope(t, length, 0.02, 0.05));
      }
      AddEvent(wet, croak, size_t((start + c * rng.Range(0.3, 0.45)) * kSampleRate), pan, gain);
    }
  }
  // Distant calls: a series of hoots from across the valley, and rising whoops.
  for (int k = 0; k < 4; ++k) {
    bool hoot = k % 2 == 0;
    double start = (k + rng.Range(0.1, 0.8)) * seconds / 4;
    double base = hoot ? rng.Range(380, 520) : rng.Range(750, 950);
    int notes = hoot ? rng.Int(4, 7) : rng.Int(2, 4);
    float pan = float(rng.Range(0.2, 0.8));
    for (int c = 0; c < notes; ++c) {
      double length = hoot ? 0.22 : 0.4;
      double lift = 1 + 0.06 * c;
      auto note = Tone(
          length,
          [=](double t) {
            double x = t / length;
            return hoot ? base * lift * (1 + 0.25 * std::sin(3.14159 * x))
                        : base * lift * (1 + 0.9 * x * x);
          },
          [=](double t) { return Envelope(t, length, 0.04, 0.1); }, {1.0, 0.3, 0.08});
      AddEvent(wet, note, size_t((start + c * (hoot ? 0.36 : 0.5)) * kSampleRate), pan, 0.2f);
    }
  }
  // The forest around the calls.
  for (int ch = 0; ch < 2; ++ch) {
    auto& dry = ch == 0 ? wet.left : wet.right;
    std::vector<float> room = dry;
    Reverb reverb(1.0, 0.4, ch * 23);
    Biquad lp = MakeFilter(FilterKind::kLow, 5000, 0.7);
    ProcessLoop(room, 3 * kSampleRate, [&](float x) { return reverb.Step(lp.Step(x)); });
    auto& out = ch == 0 ? s.left : s.right;
    for (size_t i = 0; i < n; ++i) out[i] += 0.8f * dry[i] + 0.9f * room[i];
  }
  LevelToRms(s, -18.0);
  return s;
}

Sound SynthesizeBirdSong() {
  Rng rng(0xB1DD5);
  const double seconds = 30.0;
  // Near singers sound from the trees around the pool, far ones from across the valley: those
  // are quieter, duller and more in the room.
  Sound near = MakeSound(seconds), far = MakeSound(seconds);
  struct Singer {
    double pitch;
    float pan;
    CallKind kinds[2];
    bool far;
  };
  const Singer singers[] = {
      {3700, 0.30f, {CallKind::kChips, CallKind::kSong}, false},
      {2900, 0.70f, {CallKind::kWhistle, CallKind::kTeeDee}, false},
      {4600, 0.55f, {CallKind::kTrill, CallKind::kSlurs}, false},
      {4800, 0.15f, {CallKind::kTrill, CallKind::kChips}, true},
      {3300, 0.85f, {CallKind::kSong, CallKind::kWhistle}, true},
      {4100, 0.45f, {CallKind::kTrill, CallKind::kTeeDee}, true},
  };
  const size_t count = std::size(singers);
  size_t last = count;
  double t = 0.3;
  while (true) {
    // Never the same bird twice running: birds answer one another.
    size_t who = size_t(rng.Int(0, int(count) - 2));
    if (who >= last) ++who;
    last = who;
    const Singer& singer = singers[who];
    std::vector<float> phrase =
        SingPhrase(rng, singer.kinds[rng.Int(0, 1)], singer.pitch * rng.Range(0.94, 1.06));
    double length = double(phrase.size()) / kSampleRate;
    // The last phrase leaves as much quiet before the loop's first as between any two.
    if (t + length + 0.35 > seconds + 0.3) break;
    if (singer.far) {
      Biquad dull = MakeFilter(FilterKind::kLow, 4500, 0.7);
      for (float& v : phrase) v = dull.Step(v);
    }
    float gain = float(singer.far ? rng.Range(0.2, 0.28) : rng.Range(0.75, 1.0));
    AddEvent(singer.far ? far : near, phrase, size_t(t * kSampleRate), singer.pan, gain);
    t += length + rng.Range(0.35, 0.9);
  }
  // One forest around them all; the far singers send more of themselves into it.
  Sound s = MakeSound(seconds);
  size_t n = s.frames();
  for (int ch = 0; ch < 2; ++ch) {
    auto& out = ch == 0 ? s.left : s.right;
    const auto& dry_near = ch == 0 ? near.left : near.right;
    const auto& dry_far = ch == 0 ? far.left : far.right;
    std::vector<float> room(n);
    for (size_t i = 0; i < n; ++i) room[i] = 0.25f * dry_near[i] + 0.6f * dry_far[i];
    Reverb reverb(0.7, 0.45, ch * 19);
    ProcessLoop(room, 2 * kSampleRate, [&](float x) { return reverb.Step(x); });
    for (size_t i = 0; i < n; ++i) out[i] = dry_near[i] + dry_far[i] + room[i];
  }
  LevelToRms(s, -19.2);
  return s;
}

Sound SynthesizeEagle() {
  Rng rng(0xEA61E);
  const double seconds = 2.6, call = 1.95;
  Sound s = MakeSound(seconds);
  // A short rising "kee" that breaks into a long, hoarse scream falling away.
  std::vector<float> jitter(200);
  for (float& j : jitter) j = float(rng.Range(-1, 1));
  auto freq = [&](double t) {
    double f;
    if (t < 0.11)
      f = 2500 + 900 * std::sin(0.5 * 3.14159 * t / 0.11);
    else
      f = 3300 * std::pow(1900.0 / 3300.0, std::min(1.0, (t - 0.11) / (call - 0.11)));
    double wobble = 0.012 * std::sin(kTwoPi * 23 * t);
    double k = t / call * 198;
    double drift = 0.03 * Lerp(jitter[size_t(k)], jitter[size_t(k) + 1], float(k - std::floor(k)));
    return f * (1 + wobble + drift);
  };
  auto amp = [&](double t) {
    double a = Envelope(t, call, 0.025, 0.35);
    double notch = 1 - 0.7 * std::exp(-std::pow((t - 0.14) / 0.025, 2));  // the break after "kee"
    double rasp = 1 - 0.35 * (0.5 + 0.5 * std::sin(kTwoPi * 78 * t));
    return a * notch * rasp * (1 - 0.3 * t / call);
  };
  auto voice = Tone(call, freq, amp, {1.0, 0.55, 0.35, 0.22, 0.12, 0.07, 0.04});
  // Breath: noise shaped by the voice's own loudness, around its pitch.
  Biquad breath = MakeFilter(FilterKind::kBand, 2800, 1.2);
  Biquad beak1 = MakeFilter(FilterKind::kLow, 7500, 0.7),
         beak2 = MakeFilter(FilterKind::kLow, 7500, 0.7);
  for (size_t i = 0; i < voice.size(); ++i) {
    voice[i] += 0.45f * breath.Step(float(rng.Range(-1, 1))) * float(amp(double(i) / kSampleRate));
    voice[i] = beak2.Step(beak1.Step(voice[i]));
  }
  size_t start = size_t(0.02 * kSampleRate);
  AddOnce(s, voice, start, 0.5f, 1.0f);
  // A faint echo from the far side of the valley, then the air around it.
  std::vector<float> echo(voice.size());
  Biquad dull = MakeFilter(FilterKind::kLow, 2500, 0.7);
  for (size_t i = 0; i < voice.size(); ++i) echo[i] = dull.Step(voice[i]);
  AddOnce(s, echo, start + size_t(0.34 * kSampleRate), 0.7f, 0.18f);
  for (int ch = 0; ch < 2; ++ch) {
    auto& out = ch == 0 ? s.left : s.right;
    std::vector<float> room = out;
    Reverb reverb(0.9, 0.45, ch * 29);
    for (float& v : room) v = reverb.Step(v);
    for (size_t i = 0; i < out.size(); ++i) {
      double t = double(i) / kSampleRate;
      double fade = t > seconds - 0.25 ? (seconds - t) / 0.25 : 1.0;
      out[i] = float((out[i] + 0.35f * room[i]) * fade);
    }
  }
  LevelToPeak(s, -1.5);
  return s;
}

}  // namespace larkspill::assets
