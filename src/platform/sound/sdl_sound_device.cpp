#include "platform/sound/sdl_sound_device.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

namespace larkspill {

std::string SdlSoundDevice::ErrorText(const char* error, const char* fallback) {
  return (error != nullptr && *error != '\0') ? std::string(error) : std::string(fallback);
}

SdlSoundDevice::SdlSoundDevice(Opening opening) {
  if (opening == Opening::Now) OpenNow();
}

SdlSoundDevice::~SdlSoundDevice() {
  bool left_behind = false;
  if (loader_.joinable()) {
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    loads_.clear();
    changed_.notify_all();
    // A loader stuck in a system call (a file on a hung file system, an audio server that does
    // not answer) must not hold up the end of the program.
    if (!changed_.wait_for(lock, std::chrono::milliseconds(kLoaderWaitMs),
                           [this] { return loader_done_; })) {
      lock.unlock();
      std::lock_guard<std::mutex> gate(gate_->mutex);  // the loader is outside it, or finishing
      lock.lock();
      left_behind = !loader_done_;
      gate_->abandoned = left_behind;
    }
  }
  if (left_behind) {
    std::fprintf(stderr, "larkspill: the sound loader is stuck in a system call; left behind\n");
    loader_.detach();
  } else if (loader_.joinable()) {
    loader_.join();
  }
  if (running_) Mix_HookMusic(nullptr, nullptr);  // waits for a mix under way
  if (left_behind) {
    // A loader left behind may still be closing or opening the mixer: the chunks are not
    // handed back to it beside that, and go with the process.
    for (auto& [id, sound] : sounds_) static_cast<void>(sound.wave.chunk.release());
    for (Wave& wave : retired_waves_) static_cast<void>(wave.chunk.release());
  }
  sounds_.clear();  // frees the chunks while the mixer is still open
  retired_waves_.clear();
  // A loader left behind may still be using the mixer: it closes the mixer itself.
  if (running_ && !left_behind) Mix_CloseAudio();
  if (subsystem_ && !left_behind) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlSoundDevice::MixerOpened(const std::string& error) {
  if (!error.empty()) {
    GiveUp(error);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  opening_ = false;
  open_ = true;
  running_ = true;
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  if (Mix_QuerySpec(&frequency, &format, &channels) != 0) format_ = Format{frequency, channels};
  mix_buffer_.resize(static_cast<size_t>(kBufferFrames) * kChannels);
  Mix_HookMusic(MixHook, this);
  changed_.notify_all();
}

void SdlSoundDevice::OpenNow() {
  if (started_) return;
  started_ = true;
  // The audio subsystem starts on the program's own thread, as SDL's start-up is not safe to
  // run beside the display's; the device itself opens on the loader thread.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    subsystem_ = true;
    loader_ = std::thread([this, gate = gate_] { LoaderMain(gate); });
    return;
  }
  GiveUp(ErrorText(SDL_GetError(), "the audio system could not be started"));
}

void SdlSoundDevice::GiveUp(const std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  opening_ = false;
  silent_reason_ = reason;
  std::fprintf(stderr, "larkspill: no sound: %s\n", silent_reason_.c_str());
  // Nothing more will load: every sound stays silent.
  for (auto& [id, sound] : sounds_) {
    sound.loading = false;
    sound.wanted = Wanted::Nothing;
  }
  loading_ -= static_cast<int>(loads_.size());
  loads_.clear();
  changed_.notify_all();
}

template <typename Blocking>
bool SdlSoundDevice::OutsideGate(std::unique_lock<std::mutex>& gate_lock, const LoaderGate& gate,
                                 Blocking blocking) {
  gate_lock.unlock();
  blocking();
  gate_lock.lock();
  return !gate.abandoned;
}

void SdlSoundDevice::LoaderMain(const std::shared_ptr<LoaderGate>& gate) {
  std::unique_lock<std::mutex> gate_lock(gate->mutex);
  // Opening the device happens outside the gate, as it may block (an audio server that does not
  // answer). A loader left behind meanwhile goes no further, and closes the audio device it has
  // opened: nothing may play once the device's owner has closed it.
  std::string failure;
  bool opened = false;
  const bool present = OutsideGate(gate_lock, *gate, [&opened, &failure] {
    // No changes allowed: the mixer always works in one format and SDL converts for the device.
    opened =
        Mix_OpenAudioDevice(kFrequency, AUDIO_S16SYS, kChannels, kBufferFrames, nullptr, 0) == 0;
    if (!opened) failure = ErrorText(Mix_GetError(), "the audio device could not be opened");
  });
  if (!present && opened) Mix_CloseAudio();
  if (present) {
    MixerOpened(failure);
    std::unique_lock<std::mutex> lock(mutex_);
    if (open_) ServeDevice(lock, gate_lock, *gate);
    if (gate->abandoned) {
      Mix_CloseAudio();  // the device was left open for this loader to close
    } else {
      if (!lock.owns_lock()) lock.lock();
      loader_done_ = true;
      changed_.notify_all();
    }
  }
  gate_lock.unlock();
  // SDL keeps an error text for each thread that had one; this thread's goes with it.
  SDL_TLSCleanup();
}

void SdlSoundDevice::ServeDevice(std::unique_lock<std::mutex>& lock,
                                 std::unique_lock<std::mutex>& gate_lock, const LoaderGate& gate) {
  using Clock = std::chrono::steady_clock;
  const auto quiet_before_closing = std::chrono::milliseconds(kQuietMsBeforeClosing);
  auto last_needed = Clock::now();
  while (open_ && !stopping_) {
    retired_waves_.clear();
    const bool needed = !loads_.empty() || AnyPlaying();
    if (needed) last_needed = Clock::now();
    if (running_ && !needed && Clock::now() - last_needed >= quiet_before_closing) {
      // Closing waits for the buffer under way: the program goes on meanwhile, and what it asks
      // to play opens the device again.
      Mix_HookMusic(nullptr, nullptr);
      running_ = false;
      lock.unlock();
      const bool present = OutsideGate(gate_lock, gate, [] { Mix_CloseAudio(); });
      lock.lock();
      if (!present) return;
      continue;
    }
    if (!running_ && needed) {
      lock.unlock();
      std::string failure;
      bool opened = false;
      const bool present = OutsideGate(gate_lock, gate, [&opened, &failure] {
        opened = Mix_OpenAudioDevice(kFrequency, AUDIO_S16SYS, kChannels, kBufferFrames, nullptr,
                                     0) == 0;
        if (!opened) failure = ErrorText(Mix_GetError(), "the audio device could not be opened");
      });
      if (!present) return;  // the loader closes what it opened
      if (!opened) {
        GiveUp(failure);
        lock.lock();
        open_ = false;
        return;
      }
      lock.lock();
      Mix_HookMusic(MixHook, this);
      running_ = true;
      last_needed = Clock::now();
      continue;
    }
    if (running_ && !loads_.empty()) {
      Load load = std::move(loads_.front());
      loads_.pop_front();
      // Looking at the file (and converting one that must be held in memory) is done while the
      // program goes on.
      lock.unlock();
      std::string error;
      Wave wave;
      if (!OutsideGate(gate_lock, gate, [&] { wave = OpenWave(load.path, &error); })) return;
      lock.lock();
      Loaded(load.id, load.path, std::move(wave), error);
      --loading_;
      changed_.notify_all();
      continue;
    }
    // While the device is open, a look now and then finds the moment nothing plays any more;
    // while it is closed, only a sound to play or a file to load wakes the loader.
    if (running_) {
      changed_.wait_for(lock, quiet_before_closing / 2);
    } else {
      changed_.wait(lock, [this] { return stopping_ || !loads_.empty() || AnyPlaying(); });
    }
  }
}

bool SdlSoundDevice::AnyPlaying() {
  std::lock_guard<std::mutex> mixing(mix_mutex_);
  return std::any_of(channels_.begin(), channels_.end(),
                     [](const auto& channel) { return channel->playing; });
}

bool SdlSoundDevice::DeviceRunning() {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

void SdlSoundDevice::Loaded(int32_t id, const std::string& path, Wave wave,
                            const std::string& error) {
  Sound* sound = Find(id);
  if (sound == nullptr) return;  // released while it loaded
  sound->loading = false;
  const Wanted wanted = sound->wanted;
  sound->wanted = Wanted::Nothing;
  if (!wave.Playable()) {
    if (reported_files_.insert(path).second) {
      std::fprintf(stderr, "larkspill: cannot load sound %s: %s; it stays silent\n", path.c_str(),
                   error.c_str());
    }
    return;
  }
  sound->wave = std::move(wave);
  sound->channel = TakeChannel();
  channels_[sound->channel]->gain.store(sound->gain);  // as last set, before the load too
  if (wanted == Wanted::Loop) Start(*sound, -1);
  if (wanted == Wanted::Once) Start(*sound, 0);
}

void SdlSoundDevice::WaitForOpen(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !opening_; });
}

void SdlSoundDevice::WaitForLoads() {
  OpenNow();  // one made to open later opens now: waiting for it would never end
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !opening_ && loading_ == 0; });
}

std::string SdlSoundDevice::SilentReason() {
  OpenNow();  // one made to open later opens now: waiting for it would never end
  std::unique_lock<std::mutex> lock(mutex_);
  WaitForOpen(lock);
  return silent_reason_;
}

std::optional<SdlSoundDevice::Format> SdlSoundDevice::DeviceFormat() {
  OpenNow();  // one made to open later opens now: waiting for it would never end
  std::unique_lock<std::mutex> lock(mutex_);
  WaitForOpen(lock);
  if (!open_) return std::nullopt;
  return format_;
}

double SdlSoundDevice::GainOf(int32_t volume) {
  const int32_t clamped = std::clamp(volume, kMinVolume, kMaxVolume);
  return std::pow(10.0, clamped / 2000.0);
}

SdlSoundDevice::Sound* SdlSoundDevice::Find(int32_t id) {
  auto it = sounds_.find(id);
  return it == sounds_.end() ? nullptr : &it->second;
}

int SdlSoundDevice::TakeChannel() {
  if (!free_channels_.empty()) {
    const int ch = free_channels_.back();
    free_channels_.pop_back();
    return ch;
  }
  std::lock_guard<std::mutex> mixing(mix_mutex_);
  channels_.push_back(std::make_unique<Channel>());
  return static_cast<int>(channels_.size()) - 1;
}

int32_t SdlSoundDevice::LoadSound(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int32_t id = next_id_++;
  Sound& sound = sounds_[id];
  if (opening_ || open_) {
    loads_.push_back(Load{id, path});
    ++loading_;
    changed_.notify_all();
  } else {
    sound.loading = false;  // silent: nothing will ever load
  }
  return id;
}

void SdlSoundDevice::Ask(int32_t id, Wanted wanted) {
  std::lock_guard<std::mutex> lock(mutex_);
  Sound* sound = Find(id);
  if (sound == nullptr) return;
  if (sound->loading) {
    sound->wanted = wanted;
  } else if (sound->wave.Playable() && sound->channel >= 0) {
    if (wanted == Wanted::Nothing) {
      Halt(sound->channel);
    } else {
      Start(*sound, wanted == Wanted::Loop ? -1 : 0);
      if (!running_) changed_.notify_all();  // the loader opens the device again
    }
  }
}

void SdlSoundDevice::PlaySound(int32_t id, int32_t /*flags1*/, int32_t /*flags2*/) {
  Ask(id, Wanted::Once);
}

void SdlSoundDevice::PlaySoundLooped(int32_t id) {
  Ask(id, Wanted::Loop);
}

void SdlSoundDevice::StopSound(int32_t id) {
  Ask(id, Wanted::Nothing);
}

void SdlSoundDevice::ReleaseSound(int32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sounds_.find(id);
  if (it == sounds_.end()) return;
  const int ch = it->second.channel;
  if (ch >= 0) {
    Halt(ch);
    channels_[ch]->gain.store(1.0f);
    free_channels_.push_back(ch);
  }
  retired_waves_.push_back(std::move(it->second.wave));
  sounds_.erase(it);  // one still loading is freed by the loader
}

void SdlSoundDevice::StopAllSounds() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [id, sound] : sounds_) sound.wanted = Wanted::Nothing;
  for (size_t ch = 0; ch < channels_.size(); ++ch) Halt(static_cast<int>(ch));
}

void SdlSoundDevice::SetSoundVolume(int32_t id, int32_t volume) {
  std::lock_guard<std::mutex> lock(mutex_);
  Sound* sound = Find(id);
  if (sound == nullptr) return;
  sound->gain = static_cast<float>(GainOf(volume));
  if (sound->channel >= 0) channels_[sound->channel]->gain.store(sound->gain);
}

}  // namespace larkspill
