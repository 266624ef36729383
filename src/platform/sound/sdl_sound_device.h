#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/files/regular_file.h"
#include "sound/sound_device.h"

struct Mix_Chunk;

namespace larkspill {

// Scales `count` samples by `gain` (at most 1), each product rounded as lrintf rounds it.
void ScaleSamples(int16_t* samples, int count, float gain);
// Adds `count` samples of `in` to `out`, each sum clamped to 16 bits, as SDL's mixer adds a
// channel.
void MixSamples(int16_t* out, const int16_t* in, int count);

// The sound device on SDL2_mixer: each loaded sound has a channel of its own, loops repeat
// without a gap, and the volume is an exact gain applied to the sound's samples. The device mixes
// its channels itself, in SDL_mixer's music hook: in channel order, each added to the sum and
// clamped in turn, which is what SDL_mixer's own channels give, sample for sample, at a fraction
// of the cost. Without an audio device the saver runs silent: every operation is accepted and
// does nothing. One instance at a time per process, as the mixer is process-wide.
//
// A wave file already in the mixer's format (16-bit stereo at 44100 Hz, as the saver's own are)
// is not held in memory: the mixer reads it from the file as it plays, a buffer at a time, so
// the saver's 13 MB of sound costs neither memory nor start-up time. Other wave files are
// converted and held in memory. Opening the device and looking at the files happen on a thread
// of the device's own while the screen comes up: `LoadSound` returns the sound's id at once,
// and what is asked of a sound still loading (play, loop, stop, volume) is done the moment it
// has loaded, in the order asked.
//
// A device with nothing to play closes after a second of quiet and opens again, on the same
// thread, the moment a sound is to play: SDL's audio thread goes on writing silence at every
// buffer, 43 wake-ups a second, for as long as the device is open, even when paused, so only
// closing it lets a silent saver (sounds switched off, or stopped while the monitor is dark)
// sleep between the eagle's calls.
class SdlSoundDevice : public SoundDevice {
 public:
  // The mixer's output format, fixed whatever the device: SDL converts for the hardware.
  static constexpr int kFrequency = 44100;
  static constexpr int kChannels = 2;
  // 23 ms a buffer. A larger one wakes the sound thread less often, but closing the device waits
  // for the buffer under way, and the saver ends only after that: 2048 frames made its end about
  // 45 ms later.
  static constexpr int kBufferFrames = 1024;
  // The accepted volume range; -10000, 100 dB down, is silence.
  static constexpr int32_t kMinVolume = -10000;
  static constexpr int32_t kMaxVolume = 0;

  // When the device opens: at once, or when `OpenNow` is called (so that a program can put its
  // first picture on the screen before the audio device opens beside it).
  enum class Opening { Now, Later };
  // Starts opening the audio device; when it cannot, standard error says why once and the
  // device stays silent. Sounds asked for meanwhile load and play once it has opened.
  explicit SdlSoundDevice(Opening opening = Opening::Now);
  // Lets a device made with `Opening::Later` open. Calling it again does nothing.
  void OpenNow();
  ~SdlSoundDevice() override;
  SdlSoundDevice(const SdlSoundDevice&) = delete;
  SdlSoundDevice& operator=(const SdlSoundDevice&) = delete;

  int32_t LoadSound(const std::string& path) override;
  void PlaySound(int32_t id, int32_t flags1, int32_t flags2) override;
  void ReleaseSound(int32_t id) override;
  void PlaySoundLooped(int32_t id) override;
  void StopSound(int32_t id) override;
  void StopAllSounds() override;
  void SetSoundVolume(int32_t id, int32_t volume) override;

  // The output format: frames per second and channels, samples signed 16-bit in native order.
  struct Format {
    int frequency;
    int channels;
  };
  // The format the mixer writes, or nullopt when running silent. Waits for the device to open.
  std::optional<Format> DeviceFormat();
  // Why the device runs silent; empty when it has sound. Waits for the device to open.
  std::string SilentReason();
  // Waits until the device has opened (or failed to) and every sound asked for has loaded.
  void WaitForLoads();
  // Whether the audio device is open at this moment, its thread running.
  bool DeviceRunning();

  // How long the device stays open with nothing to play before it closes.
  static constexpr int kQuietMsBeforeClosing = 1000;

  // How long closing waits for a loader stuck in a system call before leaving it behind.
  static constexpr int kLoaderWaitMs = 300;

  // Linear gain of a volume in hundredths of a decibel, clamped to the accepted range.
  static double GainOf(int32_t volume);

 private:
  // A channel: its gain, where its samples are (a file, or a wave held in memory) and how far
  // it has played. The gain may change while it plays; the rest is set under `mix_mutex_`.
  struct Channel {
    std::atomic<float> gain{1.0f};
    bool playing = false;
    int fd = -1;
    const uint8_t* memory = nullptr;
    int64_t data_offset = 0;
    int64_t data_bytes = 0;
    int64_t played = 0;
    bool loop = false;
  };
  struct ChunkFree {
    void operator()(Mix_Chunk* chunk) const;
  };
  // A wave file as it is played: from the file itself (`file`), or from memory (`chunk`).
  struct Wave {
    RegularFile file;
    int64_t data_offset = 0;
    int64_t data_bytes = 0;
    std::unique_ptr<Mix_Chunk, ChunkFree> chunk;
    bool Playable() const { return file.IsOpen() || chunk != nullptr; }
  };
  // Where the loader thread and the device meet. The loader holds `mutex` whenever it may touch
  // the device and lets go of it only around calls that may block (opening the audio device,
  // reading a file). A device that cannot wait for a loader stuck in such a
  // call leaves it behind, marked `abandoned`: once the call returns, the loader ends without
  // touching the device again, closing the audio device if it had opened it.
  struct LoaderGate {
    std::mutex mutex;
    bool abandoned = false;
  };
  // What a sound still loading is to do once loaded.
  enum class Wanted { Nothing, Once, Loop };
  // A sound; a file that could not be read has nothing to play and no channel.
  struct Sound {
    bool loading = true;
    Wanted wanted = Wanted::Nothing;
    float gain = 1.0f;
    Wave wave;
    int channel = -1;
  };
  struct Load {
    int32_t id;
    std::string path;
  };

  // SDL_mixer's music hook: mixes every playing channel into `stream`, which comes silent.
  static void MixHook(void* udata, uint8_t* stream, int len);
  // Reads a channel's next `len` bytes of samples, silence after its end, and scales them by its
  // gain; a sound played once stops at its end.
  static void Fill(Channel& channel, uint8_t* out, int len);
  // Stops a channel from the next buffer on.
  void Halt(int ch);
  // The loader thread: opens the device, then loads each file asked for in turn, closes the
  // device when nothing has been playing for a while and opens it again when a sound is to play.
  void LoaderMain(const std::shared_ptr<LoaderGate>& gate);
  // The loader's work once the device has first opened, until the device ends or leaves it
  // behind. Called with `lock` held.
  void ServeDevice(std::unique_lock<std::mutex>& lock, std::unique_lock<std::mutex>& gate_lock,
                   const LoaderGate& gate);
  // Whether any channel is playing.
  bool AnyPlaying();
  // Runs `blocking`, which must not touch the device, outside the gate; false when the device
  // has left the loader behind meanwhile.
  template <typename Blocking>
  static bool OutsideGate(std::unique_lock<std::mutex>& gate_lock, const LoaderGate& gate,
                          Blocking blocking);
  // Sets the mixer up once it has opened, or runs silent for the reason in `error`.
  void MixerOpened(const std::string& error);
  // Runs silent from now on, saying why once.
  void GiveUp(const std::string& reason);
  // Opens a wave file to be played from the file, or failing that loads it into memory; an
  // empty wave and the reason when neither works.
  static Wave OpenWave(const std::string& path, std::string* error);
  // Puts a file's wave in place (or notes that it could not be read) and does what was asked
  // of the sound meanwhile. Called with the lock held.
  void Loaded(int32_t id, const std::string& path, Wave wave, const std::string& error);
  Sound* Find(int32_t id);
  // A free channel for a new sound.
  int TakeChannel();
  // Starts a loaded sound from its beginning; loops -1 repeats it until stopped.
  void Start(Sound& sound, int loops);
  void Ask(int32_t id, Wanted wanted);
  void WaitForOpen(std::unique_lock<std::mutex>& lock);
  // SDL's or the mixer's error text, or `fallback` when it has none.
  static std::string ErrorText(const char* error, const char* fallback);

  std::mutex mutex_;
  std::condition_variable changed_;
  bool opening_ = true;  // the loader has not yet opened the mixer or given up
  bool open_ = false;     // the device has sound: it opened, and it opens again when needed
  bool running_ = false;  // the audio device is open now and the mixing hook in place
  std::optional<Format> format_;  // what the mixer writes, from its first opening
  bool subsystem_ = false;
  bool stopping_ = false;
  bool started_ = false;      // OpenNow has run; only the program's own thread looks at it
  bool loader_done_ = false;  // the loader has finished with the device
  std::string silent_reason_;
  int32_t next_id_ = 1;
  std::map<int32_t, Sound> sounds_;
  std::deque<Load> loads_;  // files asked for and not yet taken by the loader
  int loading_ = 0;         // files asked for and not yet in place
  std::mutex mix_mutex_;    // held by the mixing hook, and to change `channels_` and what they play
  std::vector<std::unique_ptr<Channel>> channels_;  // index is the channel number
  std::vector<int16_t> mix_buffer_;                 // one channel's samples, while mixing
  std::vector<int> free_channels_;
  // Waves of released sounds, freed by the loader, which alone closes and opens the mixer.
  std::vector<Wave> retired_waves_;
  std::set<std::string> reported_files_;
  std::shared_ptr<LoaderGate> gate_ = std::make_shared<LoaderGate>();
  std::thread loader_;
};

}  // namespace larkspill
