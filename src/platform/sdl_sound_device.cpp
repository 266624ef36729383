#include "platform/sdl_sound_device.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <type_traits>

#include "platform/little_endian.h"

#ifndef LARKSPILL_MIXER_LIBRARY
#error "LARKSPILL_MIXER_LIBRARY must name the SDL2_mixer library to load"
#endif

namespace larkspill {

namespace {

// SDL2_mixer, loaded when the sound device opens rather than when the program starts: with the
// libraries it needs in turn (some thirty) it is a quarter of the program's start-up.
struct MixerLibrary {
  decltype(&::Mix_OpenAudioDevice) OpenAudioDevice;
  decltype(&::Mix_CloseAudio) CloseAudio;
  decltype(&::Mix_QuerySpec) QuerySpec;
  decltype(&::Mix_AllocateChannels) AllocateChannels;
  decltype(&::Mix_LoadWAV_RW) LoadWAV_RW;
  decltype(&::Mix_QuickLoad_RAW) QuickLoad_RAW;
  decltype(&::Mix_FreeChunk) FreeChunk;
  decltype(&::Mix_PlayChannelTimed) PlayChannelTimed;
  decltype(&::Mix_HaltChannel) HaltChannel;
  decltype(&::Mix_RegisterEffect) RegisterEffect;
  decltype(&::Mix_UnregisterAllEffects) UnregisterAllEffects;
};

// The library, loaded once for the life of the process (its mixing thread may outlive any one
// device); null with `error` set when it cannot be loaded.
const MixerLibrary* LoadMixerLibrary(std::string* error) {
  static std::mutex once;
  static std::optional<MixerLibrary> library;
  static std::string failure;
  std::lock_guard<std::mutex> lock(once);
  if (library) return &*library;
  if (!failure.empty()) {
    *error = failure;
    return nullptr;
  }
  void* handle = dlopen(LARKSPILL_MIXER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  MixerLibrary loaded{};
  bool complete = handle != nullptr;
  auto find = [&](auto& function, const char* name) {
    if (!complete) return;
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
    complete = function != nullptr;
  };
  find(loaded.OpenAudioDevice, "Mix_OpenAudioDevice");
  find(loaded.CloseAudio, "Mix_CloseAudio");
  find(loaded.QuerySpec, "Mix_QuerySpec");
  find(loaded.AllocateChannels, "Mix_AllocateChannels");
  find(loaded.LoadWAV_RW, "Mix_LoadWAV_RW");
  find(loaded.QuickLoad_RAW, "Mix_QuickLoad_RAW");
  find(loaded.FreeChunk, "Mix_FreeChunk");
  find(loaded.PlayChannelTimed, "Mix_PlayChannelTimed");
  find(loaded.HaltChannel, "Mix_HaltChannel");
  find(loaded.RegisterEffect, "Mix_RegisterEffect");
  find(loaded.UnregisterAllEffects, "Mix_UnregisterAllEffects");
  if (!complete) {
    const char* why = dlerror();
    failure = std::string("cannot load ") + LARKSPILL_MIXER_LIBRARY + ": " +
              (why != nullptr ? why : "a function is missing");
    *error = failure;
    return nullptr;
  }
  library = loaded;
  return &*library;
}

// Set once the library is loaded; every mixer call below goes through it.
const MixerLibrary* g_mix = nullptr;

// Scales a buffer of samples by a gain.
void Scale(void* stream, int len, float gain) {
  if (gain == 1.0f) return;
  auto* samples = static_cast<Sint16*>(stream);
  const int count = len / static_cast<int>(sizeof(Sint16));
  for (int i = 0; i < count; ++i) {
    // The gain never exceeds 1, so the product always fits.
    samples[i] = static_cast<Sint16>(std::lrintf(static_cast<float>(samples[i]) * gain));
  }
}

// Reads exactly `size` bytes at `offset`; false at the end of the file or on an error.
bool ReadAt(int fd, void* to, size_t size, int64_t offset) {
  auto* out = static_cast<uint8_t*>(to);
  while (size > 0) {
    const ssize_t got = ::pread(fd, out, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    size -= static_cast<size_t>(got);
    offset += got;
  }
  return true;
}

// Where the samples of a wave file lie, if they are 16-bit PCM stereo at `frequency` in this
// machine's byte order, the mixer's own format; nullopt for any other file.
struct SampleSpan {
  int64_t offset;
  int64_t bytes;
};
std::optional<SampleSpan> SamplesInMixerFormat(int fd, int frequency) {
  if (SDL_BYTEORDER != SDL_LIL_ENDIAN) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  uint8_t riff[12];
  if (!ReadAt(fd, riff, sizeof riff, 0) || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  bool format_ok = false;
  for (int64_t at = 12; at + 8 <= st.st_size;) {
    uint8_t header[8];
    if (!ReadAt(fd, header, sizeof header, at)) return std::nullopt;
    const int64_t size = LittleEndian32(header + 4);
    const int64_t body = at + 8;
    if (std::memcmp(header, "fmt ", 4) == 0) {
      uint8_t fmt[16];
      if (size < 16 || !ReadAt(fd, fmt, sizeof fmt, body)) return std::nullopt;
      format_ok = LittleEndian16(fmt) == 1 /* PCM */ && LittleEndian16(fmt + 2) == 2 &&
                  static_cast<int>(LittleEndian32(fmt + 4)) == frequency &&
                  LittleEndian16(fmt + 14) == 16;
    } else if (std::memcmp(header, "data", 4) == 0) {
      if (!format_ok) return std::nullopt;
      // Whole frames only, and no further than the file goes.
      const int64_t bytes = std::min(size, st.st_size - body) & ~int64_t{3};
      if (bytes <= 0) return std::nullopt;
      return SampleSpan{body, bytes};
    }
    at = body + size + (size & 1);
  }
  return std::nullopt;
}

// A channel's gain on what it mixes. Runs on the mixer thread.
void SDLCALL ApplyGain(int /*chan*/, void* stream, int len, void* udata) {
  Scale(stream, len,
        static_cast<const std::atomic<float>*>(udata)->load(std::memory_order_relaxed));
}

std::string ErrorText(const char* error, const char* fallback) {
  return (error != nullptr && *error != '\0') ? std::string(error) : std::string(fallback);
}

}  // namespace

// The samples of a channel playing from its file, read in place of the silence the mixer gives
// it, then scaled by its gain. Runs on the mixer thread. A file that has become shorter or
// unreadable plays silence where its samples are missing.
void SdlSoundDevice::StreamFromFile(int /*chan*/, void* stream, int len, void* udata) {
  auto* channel = static_cast<Channel*>(udata);
  auto* out = static_cast<uint8_t*>(stream);
  int64_t done = 0;
  while (done < len) {
    if (channel->played >= channel->data_bytes) {
      if (!channel->loop) break;
      channel->played = 0;
    }
    const int64_t piece = std::min<int64_t>(len - done, channel->data_bytes - channel->played);
    if (!ReadAt(channel->fd, out + done, static_cast<size_t>(piece),
                channel->data_offset + channel->played)) {
      std::memset(out + done, 0, static_cast<size_t>(piece));
    }
    done += piece;
    channel->played += piece;
  }
  std::memset(out + done, 0, static_cast<size_t>(len - done));
  Scale(stream, len, channel->gain.load(std::memory_order_relaxed));
}

void SdlSoundDevice::ChunkFree::operator()(Mix_Chunk* chunk) const {
  g_mix->FreeChunk(chunk);
}

SdlSoundDevice::FileHandle& SdlSoundDevice::FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (fd >= 0) ::close(fd);
    fd = std::exchange(other.fd, -1);
  }
  return *this;
}

SdlSoundDevice::FileHandle::~FileHandle() {
  if (fd >= 0) ::close(fd);
}

SdlSoundDevice::Wave SdlSoundDevice::OpenWave(const std::string& path, std::string* error) {
  Wave wave;
  wave.file = FileHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (wave.file.fd >= 0) {
    if (auto span = SamplesInMixerFormat(wave.file.fd, kFrequency)) {
      wave.data_offset = span->offset;
      wave.data_bytes = span->bytes;
      return wave;
    }
    wave.file = FileHandle();
  }
  wave.chunk.reset(g_mix->LoadWAV_RW(SDL_RWFromFile(path.c_str(), "rb"), 1));
  if (!wave.chunk) *error = ErrorText(Mix_GetError(), "unreadable");
  return wave;
}

SdlSoundDevice::SdlSoundDevice(Opening opening) {
  if (opening == Opening::Now) OpenNow();
}

SdlSoundDevice::~SdlSoundDevice() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    loads_.clear();
  }
  changed_.notify_all();
  if (loader_.joinable()) loader_.join();
  if (open_) {
    g_mix->HaltChannel(-1);
    for (size_t ch = 0; ch < channels_.size(); ++ch) {
      g_mix->UnregisterAllEffects(static_cast<int>(ch));
    }
    sounds_.clear();  // frees the chunks while the mixer is still open
    silent_chunk_.reset();
    g_mix->CloseAudio();
  }
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlSoundDevice::OpenMixer(std::string error) {
  // No changes allowed: the mixer always works in one format and SDL converts for the device.
  const bool opened = error.empty() && g_mix->OpenAudioDevice(kFrequency, AUDIO_S16SYS, kChannels,
                                                              kBufferFrames, nullptr, 0) == 0;
  if (!opened) {
    if (error.empty()) error = ErrorText(Mix_GetError(), "the audio device could not be opened");
    GiveUp(error);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  opening_ = false;
  open_ = true;
  silence_.assign(static_cast<size_t>(kBufferFrames) * kChannels * sizeof(int16_t), 0);
  silent_chunk_.reset(g_mix->QuickLoad_RAW(silence_.data(), static_cast<Uint32>(silence_.size())));
  changed_.notify_all();
}

void SdlSoundDevice::OpenNow() {
  if (started_) return;
  started_ = true;
  // The audio subsystem starts on the program's own thread, as SDL's start-up is not safe to
  // run beside the display's; the device itself opens on the loader thread.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    subsystem_ = true;
    loader_ = std::thread([this] { LoaderMain(); });
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

void SdlSoundDevice::LoaderMain() {
  OpenAndLoad();
  // SDL keeps an error text for each thread that had one; this thread's goes with it.
  SDL_TLSCleanup();
}

void SdlSoundDevice::OpenAndLoad() {
  std::string failure;
  if (const MixerLibrary* library = LoadMixerLibrary(&failure)) g_mix = library;
  OpenMixer(failure);
  std::unique_lock<std::mutex> lock(mutex_);
  while (open_) {
    changed_.wait(lock, [this] { return stopping_ || !loads_.empty(); });
    if (stopping_) break;
    Load load = std::move(loads_.front());
    loads_.pop_front();
    // Looking at the file (and converting one that must be held in memory) is done while the
    // program goes on.
    lock.unlock();
    std::string error;
    Wave wave = OpenWave(load.path, &error);
    lock.lock();
    Loaded(load.id, load.path, std::move(wave), error);
    --loading_;
    changed_.notify_all();
  }
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
  if (sound->channel < 0) {
    std::fprintf(stderr, "larkspill: no mixer channel for sound %s: %s; it stays silent\n",
                 path.c_str(), ErrorText(Mix_GetError(), "out of memory").c_str());
    sound->wave = Wave();
    return;
  }
  channels_[sound->channel]->gain.store(sound->gain);
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
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  if (g_mix->QuerySpec(&frequency, &format, &channels) == 0) return std::nullopt;
  return Format{frequency, channels};
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
  const int ch = static_cast<int>(channels_.size());
  if (g_mix->AllocateChannels(-1) <= ch && g_mix->AllocateChannels(ch + 1) <= ch) return -1;
  channels_.push_back(std::make_unique<Channel>());
  return ch;
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

void SdlSoundDevice::Start(Sound& sound, int loops) {
  const int ch = sound.channel;
  Channel& channel = *channels_[ch];
  // Stopping first clears the channel's effects, so each is registered exactly once and is in
  // place before the first sample is mixed.
  g_mix->HaltChannel(ch);
  g_mix->UnregisterAllEffects(ch);
  const Wave& wave = sound.wave;
  if (wave.file.fd >= 0) {
    channel.fd = wave.file.fd;
    channel.data_offset = wave.data_offset;
    channel.data_bytes = wave.data_bytes;
    channel.played = 0;
    channel.loop = loops != 0;
    g_mix->RegisterEffect(ch, StreamFromFile, nullptr, &channel);
    // Silence long enough to carry the sound once, or for ever.
    const auto silence = static_cast<int64_t>(silence_.size());
    const int passes = loops < 0 ? -1
                                 : static_cast<int>(std::min<int64_t>(
                                       (wave.data_bytes + silence - 1) / silence - 1, INT32_MAX));
    g_mix->PlayChannelTimed(ch, silent_chunk_.get(), passes, -1);
  } else {
    channel.fd = -1;
    g_mix->RegisterEffect(ch, ApplyGain, nullptr, &channel.gain);
    g_mix->PlayChannelTimed(ch, wave.chunk.get(), loops, -1);
  }
}

void SdlSoundDevice::Ask(int32_t id, Wanted wanted) {
  std::lock_guard<std::mutex> lock(mutex_);
  Sound* sound = Find(id);
  if (sound == nullptr) return;
  if (sound->loading) {
    sound->wanted = wanted;
  } else if (sound->wave.Playable() && sound->channel >= 0) {
    if (wanted == Wanted::Nothing) {
      g_mix->HaltChannel(sound->channel);
    } else {
      Start(*sound, wanted == Wanted::Loop ? -1 : 0);
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
    g_mix->HaltChannel(ch);
    g_mix->UnregisterAllEffects(ch);
    channels_[ch]->gain.store(1.0f);
    free_channels_.push_back(ch);
  }
  sounds_.erase(it);  // one still loading is freed by the loader
}

void SdlSoundDevice::StopAllSounds() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [id, sound] : sounds_) sound.wanted = Wanted::Nothing;
  if (open_) g_mix->HaltChannel(-1);
}

void SdlSoundDevice::SetSoundVolume(int32_t id, int32_t volume) {
  std::lock_guard<std::mutex> lock(mutex_);
  Sound* sound = Find(id);
  if (sound == nullptr) return;
  sound->gain = static_cast<float>(GainOf(volume));
  if (sound->channel >= 0) channels_[sound->channel]->gain.store(sound->gain);
}

}  // namespace larkspill
