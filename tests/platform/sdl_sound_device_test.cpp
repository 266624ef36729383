// The SDL2_mixer sound device on SDL's disk audio driver, whose raw output the tests measure.
#include "platform/sound/sdl_sound_device.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "platform/files/regular_file.h"
#include "platform/files/wave_file.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;

constexpr int kRate = SdlSoundDevice::kFrequency;
constexpr int kBuffer = SdlSoundDevice::kBufferFrames;

// Frames the mixer has finished, counted by a post-mix hook under the mixer's lock.
std::atomic<int64_t> g_mixed{0};

void SDLCALL CountMixed(void* /*udata*/, Uint8* /*stream*/, int len) {
  g_mixed.fetch_add(len / static_cast<int>(2 * sizeof(int16_t)));
}

// Interleaved frames of a sine wave, the same on every channel.
std::vector<int16_t> Sine(int frames, double hertz, double amplitude, double phase = 0,
                          int rate = kRate, int channels = 2) {
  std::vector<int16_t> samples;
  for (int i = 0; i < frames * channels; ++i)
    samples.push_back(int16_t(std::lrint(
        amplitude * std::sin(2 * std::numbers::pi * hertz * (i / channels) / rate + phase))));
  return samples;
}

// Root mean square of the left channel over frames [from, to).
double Rms(const std::vector<int16_t>& out, int64_t from, int64_t to) {
  double sum = 0;
  for (int64_t i = from; i < to; ++i) sum += double(out[2 * i]) * out[2 * i];
  return std::sqrt(sum / double(to - from));
}

int MaxAbs(const std::vector<int16_t>& out, int64_t from, int64_t to) {
  int peak = 0;
  for (int64_t i = 2 * from; i < 2 * to; ++i) peak = std::max(peak, std::abs(int(out[i])));
  return peak;
}

// The first frame at or after `from` whose left sample is not zero; the size when none is.
int64_t Onset(const std::vector<int16_t>& out, int64_t from) {
  while (from < int64_t(out.size() / 2) && out[2 * from] == 0) ++from;
  return from;
}

// Tones start at their crest, so the first frame of a sound is never zero.
constexpr double kCrest = std::numbers::pi / 2;

class SdlSoundDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/larkspill-sound-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir_ / "out.raw").c_str(), 1);
  }
  void TearDown() override {
    device_.reset();
    Mix_SetPostMix(nullptr, nullptr);
    fs::remove_all(dir_);
  }

  // Every operation on a sound, each of which must be accepted whatever the sound's state.
  void EveryOperation(int32_t id) {
    device_->PlaySoundLooped(id), device_->SetSoundVolume(id, -500), device_->PlaySound(id, -1, -1);
    device_->StopSound(id), device_->ReleaseSound(id), device_->ReleaseSound(id);
  }

  // Opens the device and starts counting what it mixes.
  void Open() {
    device_ = std::make_unique<SdlSoundDevice>();
    ASSERT_TRUE(device_->SilentReason().empty()) << device_->SilentReason();
    auto format = device_->DeviceFormat();
    ASSERT_TRUE(format && format->frequency == kRate && format->channels == 2);
    StartCounting();
  }
  void StartCounting() {
    g_mixed = 0;
    Mix_SetPostMix(CountMixed, nullptr);
  }

  // A PCM wave file in the test's folder; its samples' chunk claims `claimed` bytes (0: as held).
  fs::path Wave(const std::string& name, const std::vector<int16_t>& samples, uint32_t rate = kRate,
                uint32_t channels = 2, uint32_t bits = 16, uint32_t claimed = 0) {
    const uint32_t held = uint32_t(samples.size() * 2), block = channels * bits / 8;
    if (claimed == 0) claimed = held;
    // "RIFF", size, "WAVE", "fmt ", 16, PCM + channels, rate, byte rate, block + bits, "data", size
    const uint32_t header[] = {
        0x46464952, 36 + held,    0x45564157,           0x20746d66, 16,     1 + channels * 65536,
        rate,       rate * block, block + bits * 65536, 0x61746164, claimed};
    std::ofstream out(dir_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    out.write(reinterpret_cast<const char*>(samples.data()), held);
    return dir_ / name;
  }

  // Frames mixed so far, in the output's own numbering once Close has run.
  int64_t Now() const { return g_mixed.load(); }

  // The frames mixed before and after an operation (which takes effect in between, and in every
  // buffer begun after it returned); then the mixer runs for `frames` more.
  struct Span {
    int64_t before, after;
  };
  template <typename F>
  Span Around(F operation, int64_t frames = kRate / 5) {
    const Span span{Now(), (operation(), Now())};  // a braced list runs in order
    Run(frames);
    return span;
  }

  // Lets the mixer run for `frames` more frames; the disk driver paces itself in real time.
  void Run(int64_t frames) {
    const int64_t target = g_mixed.load() + frames;
    const Uint64 give_up = SDL_GetTicks64() + 20000;
    while (g_mixed.load() < target) {
      ASSERT_LT(SDL_GetTicks64(), give_up) << "the mixer stopped running";
      SDL_Delay(2);
    }
  }

  // Closes the device and returns its output from the first frame counted on.
  std::vector<int16_t> Close() {
    device_.reset();
    Mix_SetPostMix(nullptr, nullptr);
    std::vector<int16_t> all(fs::file_size(dir_ / "out.raw") / 2);
    std::ifstream(dir_ / "out.raw", std::ios::binary)
        .read(reinterpret_cast<char*>(all.data()), std::streamsize(all.size() * 2));
    const int64_t skipped = int64_t(all.size() / 2) - g_mixed.load();
    EXPECT_TRUE(skipped >= 0 && skipped % kBuffer == 0) << skipped;
    return {all.begin() + 2 * std::max<int64_t>(skipped, 0), all.end()};
  }

  fs::path dir_;
  std::unique_ptr<SdlSoundDevice> device_;
};

// One run: a single play, a loop, volume changes and stops of the saver's own waves, read from
// their files as they play, then a wave in another format, converted, and one cut short.
TEST_F(SdlSoundDeviceTest,
       VolumeInHundredthsOfADecibelStopsWithinABufferSeamlessLoopsAndConvertedWaves) {
  Open();
  // 44 whole periods, so the file itself joins smoothly and any gap or jump is the mixer's.
  const auto tone = Sine(4400, 441, 12000, kCrest);
  const int32_t once = device_->LoadSound(Wave("once.wav", tone));
  const int32_t looped = device_->LoadSound(Wave("seam.wav", tone));
  const int32_t loud = device_->LoadSound(Wave("loud.wav", Sine(4400, 441, 16000)));
  const int32_t soft = device_->LoadSound(Wave("soft.wav", Sine(4400, 882, 4000)));
  const int32_t mono =
      device_->LoadSound(Wave("mono.wav", Sine(2205, 441, 8000, 0, 22050, 1), 22050, 1));
  const fs::path shortened = Wave("shortened.wav", Sine(44100, 441, 8000));  // 1 s
  const int32_t cut_short = device_->LoadSound(shortened);
  device_->SetSoundVolume(looped, -911);  // set before playing, kept when playing starts
  device_->WaitForLoads();
  const Span played = Around([&] { device_->PlaySound(once, -1, -1); }, kRate * 3 / 10);
  const Span started = Around([&] { device_->PlaySoundLooped(looped); }, kRate / 2);
  const int64_t ended =
      Around([&] { device_->StopSound(looped), device_->PlaySoundLooped(loud); }).before;
  const Span quiet = Around([&] { device_->SetSoundVolume(loud, -2500); });
  const Span above = Around([&] { device_->SetSoundVolume(loud, 500); });     // the file's level
  const Span below = Around([&] { device_->SetSoundVolume(loud, -20000); });  // silence
  Around([&] { device_->SetSoundVolume(loud, 0), device_->PlaySoundLooped(soft); });
  const Span one_stopped = Around([&] { device_->StopSound(loud); });
  const Span all_stopped = Around([&] { device_->StopAllSounds(); });
  // Stopped sounds stay loaded and start again.
  const Span restarted = Around([&] { device_->PlaySoundLooped(loud); });
  const Span converted = Around([&] { device_->StopSound(loud), device_->PlaySoundLooped(mono); });
  const Span cut = Around(
      [&] {
        device_->StopSound(mono), device_->PlaySoundLooped(cut_short);
        fs::resize_file(shortened, 44 + 4 * 4410);  // only its first 0.1 s is left
      },
      kRate * 6 / 5);

  const auto out = Close();
  ASSERT_GE(int64_t(out.size() / 2), cut.after + kRate * 6 / 5);
  const int64_t once_starts = Onset(out, played.before);
  ASSERT_LE(once_starts, played.after);
  EXPECT_NEAR(Rms(out, once_starts, once_starts + 4400), 12000 / std::sqrt(2), 150);
  EXPECT_EQ(MaxAbs(out, once_starts + 4400, started.before), 0);
  const int64_t first = Onset(out, started.before);
  ASSERT_LE(first, started.after);
  ASSERT_GT(ended - first, 4 * 4400);
  const double gain = std::pow(10.0, -911 / 2000.0);
  for (int64_t n = first; n < ended; ++n) {
    const int expected = int(std::lrint(tone[2 * ((n - first) % 4400)] * gain));
    ASSERT_TRUE(std::abs(out[2 * n] - expected) <= 1 && std::abs(out[2 * n + 1] - expected) <= 1)
        << "at frame " << n - first << " of the loop";
  }

  // A buffer begun before a change may still carry the old state; Rms over whole periods.
  const double full = Rms(out, quiet.before - 4400, quiet.before);
  auto db_after = [&](const Span& s) {
    return 20 * std::log10(Rms(out, s.after + kBuffer, s.after + kBuffer + 4400) / full);
  };
  ASSERT_GT(full, 10000);
  EXPECT_NEAR(db_after(quiet), -25.0, 1.0);
  EXPECT_NEAR(db_after(above), 0.0, 0.1);
  EXPECT_LE(MaxAbs(out, below.after + kBuffer, below.after + kBuffer + 4400), 1);
  const double both = std::hypot(full, 4000 / std::sqrt(2));
  EXPECT_NEAR(Rms(out, one_stopped.before - 4400, one_stopped.before), both, both * 0.03);
  EXPECT_NEAR(Rms(out, one_stopped.after + kBuffer, all_stopped.before), 4000 / std::sqrt(2), 100);
  // Nothing is mixed after the call returns, and at most the one buffer in progress before.
  const int64_t silent_from = std::max(all_stopped.before + kBuffer, all_stopped.after);
  EXPECT_EQ(MaxAbs(out, silent_from, restarted.before), 0);
  EXPECT_NEAR(Rms(out, restarted.after, restarted.after + 4400), full, 150);

  const int64_t mono_from = converted.after + kBuffer;
  EXPECT_NEAR(Rms(out, mono_from, mono_from + 4410), 8000 / std::sqrt(2), 200);
  int crossings = 0;  // 441 Hz at the mixer's rate, so not played as if it were in its format
  for (int64_t n = mono_from; n < mono_from + 4410; ++n)
    crossings += (out[2 * n] < 0) != (out[2 * n + 2] < 0);
  EXPECT_NEAR(crossings, 88, 2);
  // What is left of the file still plays each time round; the rest is silence.
  EXPECT_EQ(MaxAbs(out, cut.after + 8820, cut.after + 4 * 8820), 0);
  EXPECT_GT(MaxAbs(out, cut.after + kRate, cut.after + kRate + 2205), 7000);
}

// Threads of this process whose name begins with SDL's audio thread's.
int AudioThreads() {
  int count = 0;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    count += name.starts_with("SDLAudio");
  }
  return count;
}

// Waits up to `ms` for the device to be open (or closed); whether it came to be.
bool DeviceComesTo(SdlSoundDevice& device, bool running, int ms) {
  const Uint64 give_up = SDL_GetTicks64() + Uint64(ms);
  while (device.DeviceRunning() != running) {
    if (SDL_GetTicks64() >= give_up) return false;
    SDL_Delay(5);
  }
  return true;
}

// With nothing to play the device closes, its thread gone, and a sound asked for opens it again
// and is heard from its start; a loop keeps it open. The disk driver starts its file afresh at
// each opening, so what was heard after the last one is the whole file.
TEST_F(SdlSoundDeviceTest, TheDeviceClosesWhileNothingPlaysAndOpensForTheNextSound) {
  Open();
  const auto tone = Sine(4400, 441, 12000, kCrest);
  const int32_t once = device_->LoadSound(Wave("once.wav", tone));
  const int32_t looped = device_->LoadSound(Wave("looped.wav", Sine(4400, 441, 8000, kCrest)));
  device_->WaitForLoads();
  device_->PlaySound(once, -1, -1);
  SDL_Delay(SdlSoundDevice::kQuietMsBeforeClosing / 2);
  EXPECT_TRUE(device_->DeviceRunning()) << "closed before a second of quiet";
  ASSERT_TRUE(DeviceComesTo(*device_, false, SdlSoundDevice::kQuietMsBeforeClosing * 2))
      << "still open with nothing to play";
  const Uint64 give_up = SDL_GetTicks64() + 2000;  // closing waits for the buffer under way
  // The mixer counts itself closed a moment after the device's thread has gone.
  while ((AudioThreads() != 0 || Mix_QuerySpec(nullptr, nullptr, nullptr) != 0) &&
         SDL_GetTicks64() < give_up) {
    SDL_Delay(5);
  }
  EXPECT_EQ(AudioThreads(), 0);
  EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);

  device_->PlaySound(once, -1, -1), device_->SetSoundVolume(once, -2500);
  ASSERT_TRUE(DeviceComesTo(*device_, true, 5000)) << "a sound to play did not open the device";
  EXPECT_EQ(AudioThreads(), 1);
  Mix_SetPostMix(CountMixed, nullptr);  // counts from the new opening on
  Run(kRate / 5);
  EXPECT_TRUE(DeviceComesTo(*device_, false, SdlSoundDevice::kQuietMsBeforeClosing * 2));
  // Released while closed: asked to play, it stays silent and leaves the device closed.
  device_->ReleaseSound(once), device_->PlaySound(once, -1, -1);
  SDL_Delay(100);
  EXPECT_FALSE(device_->DeviceRunning());

  device_->PlaySoundLooped(looped);
  ASSERT_TRUE(DeviceComesTo(*device_, true, 5000));
  SDL_Delay(SdlSoundDevice::kQuietMsBeforeClosing * 2);
  EXPECT_TRUE(device_->DeviceRunning()) << "closed while a loop plays";
  device_.reset();
  std::vector<int16_t> out(fs::file_size(dir_ / "out.raw") / 2);
  std::ifstream(dir_ / "out.raw", std::ios::binary)
      .read(reinterpret_cast<char*>(out.data()), std::streamsize(out.size() * 2));
  ASSERT_GT(out.size() / 2, size_t(kRate));
  const int64_t start = Onset(out, 0);
  ASSERT_LT(start, kBuffer) << "the loop did not start with the opening";
  EXPECT_NEAR(Rms(out, start, start + 4400), 8000 / std::sqrt(2), 100);
  for (int64_t from = start; from + 4400 <= int64_t(out.size() / 2) - kBuffer; from += 4400)
    ASSERT_NEAR(Rms(out, from, from + 4400), 8000 / std::sqrt(2), 100) << "at frame " << from;
}

// A device made to open later opens only when told; files load on its own thread.
TEST_F(SdlSoundDeviceTest, WhatIsAskedBeforeTheDeviceOpensOrASoundHasLoadedIsDoneOnceItHas) {
  device_ = std::make_unique<SdlSoundDevice>(SdlSoundDevice::Opening::Later);
  const int32_t looped = device_->LoadSound(Wave("looped.wav", Sine(4400, 441, 16000)));
  device_->PlaySoundLooped(looped), device_->SetSoundVolume(looped, -2500);
  const fs::path other = Wave("other.wav", Sine(4400, 882, 8000));  // stopped, released, silenced
  const int32_t stopped = device_->LoadSound(other), released = device_->LoadSound(other);
  device_->PlaySound(stopped, -1, -1), device_->StopSound(stopped);
  device_->PlaySoundLooped(released), device_->ReleaseSound(released);
  device_->PlaySoundLooped(device_->LoadSound(other)), device_->StopAllSounds();
  device_->PlaySoundLooped(looped);  // asked again after the stop
  SDL_Delay(100);
  EXPECT_FALSE(fs::exists(dir_ / "out.raw")) << "the audio device opened before it was told to";
  device_->OpenNow();
  device_->WaitForLoads();
  StartCounting();
  const int64_t loaded = Now();
  Run(kRate / 2);

  const auto out = Close();
  const double expected = 16000 / std::sqrt(2) * std::pow(10.0, -2500 / 2000.0);
  for (int64_t from = loaded + kBuffer; from + 4400 <= loaded + kRate / 2; from += 4400)
    EXPECT_NEAR(Rms(out, from, from + 4400), expected, 15) << "at frame " << from;
}

// Whatever a path names, nothing blocks and nothing is allocated beyond what the file holds.
TEST_F(SdlSoundDeviceTest, AnUnreadableFileGetsAnIdEveryOperationAcceptsAndIsNamedOnce) {
  Open();
  std::ofstream(dir_ / "garbage.wav") << "not a wave file";
  const fs::path good = Wave("good.wav", Sine(4400, 441, 8000));
  ASSERT_EQ(mkfifo((dir_ / "fifo.wav").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder.wav");
  const std::vector<int16_t> held(500, 0x1010);                // 1000 bytes
  Wave("lying.wav", held, kRate, 2, 16, 0xFFFFFFF0u);          // played from its file
  Wave("lying-mono.wav", held, 22050, 1, 8, 0xFFFFFFF0u);      // converted by SDL
  Wave("slow.wav", std::vector<int16_t>(200000), 1000, 1, 8);  // 70 MB at 44100 Hz
  Wave("none.wav", held, kRate, 0, 16);
  Wave("wide.wav", held, kRate, 2, 12);
  const std::pair<std::string, std::string> unreadable[] = {
      {"missing.wav", "no such file"},
      {"garbage.wav", "not a RIFF WAVE file"},
      {"fifo.wav", "a FIFO (named pipe), not a regular file"},
      {"folder.wav", "a folder, not a file"},
      {"lying.wav", "its samples claim 4294967280 bytes, but the file holds 1000"},
      {"lying-mono.wav", "its samples claim 4294967280 bytes, but the file holds 1000"},
      {"slow.wav", "70560004 bytes once converted, more than the 67108864 held"},
      {"none.wav", "0 channels"},
      {"wide.wav", "format 1 with 12 bits a sample"},
  };

  ::testing::internal::CaptureStderr();
  std::vector<int32_t> ids;
  for (const auto& [name, reason] : unreadable) ids.push_back(device_->LoadSound(dir_ / name));
  ids.push_back(device_->LoadSound(dir_ / "missing.wav"));
  const int32_t ok = device_->LoadSound(good);
  device_->WaitForLoads();
  for (int32_t id : ids) ASSERT_NE(id, ok);
  ids.insert(ids.end(), {0, 9999});
  for (int32_t id : ids) EveryOperation(id);
  device_->StopAllSounds(), device_->StopAllSounds();
  const Span started = Around([&] { device_->PlaySoundLooped(ok); });
  // Released twice, then asked to play: it stays silent.
  const Span released = Around(
      [&] { device_->ReleaseSound(ok), device_->ReleaseSound(ok), device_->PlaySoundLooped(ok); },
      kRate / 10);
  const int64_t ended = Now();
  const std::string err = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size());
  for (const auto& [name, reason] : unreadable) {  // each named once, on a line of its own
    const std::string told = (dir_ / name).string() + ": ";
    const size_t at = std::min(err.find(told), err.size());
    EXPECT_EQ(at, std::min(err.rfind(told), err.size())) << err;
    EXPECT_THAT(err.substr(at), ::testing::StartsWith(told + reason)) << err;
  }
  EXPECT_EQ(std::ranges::count(err, '\n'), std::ssize(unreadable)) << err;

  const auto out = Close();
  EXPECT_NEAR(Rms(out, started.after, started.after + 4400), 8000 / std::sqrt(2), 150);
  EXPECT_EQ(MaxAbs(out, released.after, ended), 0);
}

// The stuck call is SDL's disk driver opening a FIFO nobody reads; once it returns, the loader
// closes the audio device it opened, and nothing asked of the closed device plays.
TEST_F(SdlSoundDeviceTest, ClosingDoesNotWaitForALoaderStuckInASystemCall) {
  const fs::path fifo = dir_ / "out.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  setenv("SDL_DISKAUDIOFILE", fifo.c_str(), 1);
  ::testing::internal::CaptureStderr();
  device_ = std::make_unique<SdlSoundDevice>();
  device_->PlaySoundLooped(device_->LoadSound(Wave("good.wav", Sine(4400, 441, 8000, kCrest))));
  device_.reset();
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::HasSubstr("left behind"));

  // Reading the FIFO lets the device open; a hang-up is the device closing.
  const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const Uint64 give_up = SDL_GetTicks64() + 20000;
  int peak = 0;
  for (bool hung_up = false; !hung_up;) {
    pollfd p{fd, POLLIN, 0};
    ASSERT_GE(poll(&p, 1, 100), 0);
    int16_t samples[2048];
    const ssize_t got = read(fd, samples, sizeof samples);
    for (ssize_t i = 0; i < got / 2; ++i) peak = std::max(peak, std::abs(int(samples[i])));
    hung_up = (p.revents & POLLHUP) != 0 && got == 0;
    ASSERT_TRUE(hung_up || SDL_GetTicks64() < give_up) << "the loader's audio device stays open";
  }
  close(fd);
  EXPECT_EQ(peak, 0);
  // The mixer is closed before the next test opens it.
  while (Mix_QuerySpec(nullptr, nullptr, nullptr) != 0) {
    ASSERT_LT(SDL_GetTicks64(), give_up) << "the mixer stays open";
    SDL_Delay(2);
  }
}

TEST_F(SdlSoundDeviceTest, WithoutAnAudioDeviceItRunsSilentAndSaysWhyOnce) {
  setenv("SDL_AUDIODRIVER", "nonexistent", 1);
  ::testing::internal::CaptureStderr();
  device_ = std::make_unique<SdlSoundDevice>();
  const int32_t a = device_->LoadSound((dir_ / "missing.wav").string());
  const int32_t b = device_->LoadSound((dir_ / "missing.wav").string());
  for (int32_t id : {a, b, int32_t{0}}) EveryOperation(id);
  device_->StopAllSounds();
  device_.reset();
  const std::string err = ::testing::internal::GetCapturedStderr();

  EXPECT_TRUE(a != 0 && a != b);
  EXPECT_THAT(err, ::testing::MatchesRegex("larkspill: no sound: [^\n]*nonexistent[^\n]*\n"));
}

// Every sample at gains from the volume range's ends and the first-run volumes, and a tie.
TEST(ScaleSamplesTest, EverySampleRoundsAsLrintfDoes) {
  for (float gain :
       {float(SdlSoundDevice::GainOf(-10000)), float(SdlSoundDevice::GainOf(-193)),
        float(SdlSoundDevice::GainOf(-911)), float(SdlSoundDevice::GainOf(-1)), 0.5f}) {
    std::vector<int16_t> samples(65536);
    for (int i = 0; i < 65536; ++i) samples[i] = int16_t(i - 32768);
    ScaleSamples(samples.data(), int(samples.size()), gain);
    for (int i = 0; i < 65536; ++i)
      ASSERT_EQ(samples[i], std::lrintf(float(i - 32768) * gain)) << "sample " << i - 32768;
  }
}

// The saver's four waves, five seconds a buffer at a time, at their first-run volumes and at
// full volume (where the sums clip): each channel scaled and added in turn, against SDL's adding.
TEST(MixSamplesTest, TheSaversWavesMixAsSdlAddsThem) {
  std::vector<std::vector<int16_t>> waves;
  for (const char* name : {"nccf01.wav", "birds1.wav", "jungle.wav", "eagle.wav"}) {
    std::string error;
    RegularFile file = OpenRegularFile(std::string(LARKSPILL_ASSET_DIR "/") + name, &error);
    WaveLayout layout;
    ASSERT_TRUE(file.IsOpen() && CheckWaveFile(file.fd(), file.size(), kRate, &layout, &error))
        << name << ": " << error;
    waves.emplace_back(layout.data_bytes / 2);
    ASSERT_TRUE(ReadAt(file.fd(), waves.back().data(), layout.data_bytes, layout.data_offset));
  }
  int64_t clipped = 0;
  for (int32_t loud : {0, 1}) {
    std::vector<int16_t> ours(2 * kBuffer), sdls(2 * kBuffer), in(2 * kBuffer);
    for (int64_t at = 0; at < 5 * kRate * 2; at += 2 * kBuffer) {
      std::fill(ours.begin(), ours.end(), 0), std::fill(sdls.begin(), sdls.end(), 0);
      for (size_t w = 0; w < waves.size(); ++w) {
        for (int i = 0; i < 2 * kBuffer; ++i) in[i] = waves[w][(at + i) % waves[w].size()];
        const int32_t volume[] = {-911, -193, -1492, -775};
        ScaleSamples(in.data(), 2 * kBuffer,
                     loud ? 1.0f : float(SdlSoundDevice::GainOf(volume[w])));
        MixSamples(ours.data(), in.data(), 2 * kBuffer);
        SDL_MixAudioFormat(reinterpret_cast<Uint8*>(sdls.data()),
                           reinterpret_cast<const Uint8*>(in.data()), AUDIO_S16SYS, 2 * kBuffer * 2,
                           SDL_MIX_MAXVOLUME);
      }
      ASSERT_EQ(ours, sdls) << "at sample " << at << (loud ? ", full volume" : "");
      clipped += std::count_if(sdls.begin(), sdls.end(),
                               [](int16_t s) { return s == INT16_MAX || s == INT16_MIN; });
    }
  }
  EXPECT_GT(clipped, 0) << "no sum reached a limit";
}

}  // namespace
}  // namespace larkspill
