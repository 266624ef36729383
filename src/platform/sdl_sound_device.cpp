#include "platform/sdl_sound_device.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace larkspill {

namespace {

// Scales one buffer of a channel's samples by the channel's gain. Runs on the mixer thread.
void SDLCALL ApplyGain(int /*chan*/, void* stream, int len, void* udata) {
  const float gain = static_cast<const std::atomic<float>*>(udata)->load(std::memory_order_relaxed);
  if (gain == 1.0f) return;
  auto* samples = static_cast<Sint16*>(stream);
  const int count = len / static_cast<int>(sizeof(Sint16));
  for (int i = 0; i < count; ++i) {
    // The gain never exceeds 1, so the product always fits.
    samples[i] = static_cast<Sint16>(std::lrintf(static_cast<float>(samples[i]) * gain));
  }
}

std::string ErrorText(const char* error, const char* fallback) {
  return (error != nullptr && *error != '\0') ? std::string(error) : std::string(fallback);
}

}  // namespace

void SdlSoundDevice::ChunkFree::operator()(Mix_Chunk* chunk) const {
  Mix_FreeChunk(chunk);
}

SdlSoundDevice::SdlSoundDevice() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    silent_reason_ = ErrorText(SDL_GetError(), "the audio system could not be started");
  } else {
    subsystem_ = true;
    // No changes allowed: the mixer always works in one format and SDL converts for the device.
    if (Mix_OpenAudioDevice(kFrequency, AUDIO_S16SYS, kChannels, kBufferFrames, nullptr, 0) != 0) {
      silent_reason_ = ErrorText(Mix_GetError(), "the audio device could not be opened");
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      subsystem_ = false;
    } else {
      open_ = true;
    }
  }
  if (!open_) std::fprintf(stderr, "larkspill: no sound: %s\n", silent_reason_.c_str());
}

SdlSoundDevice::~SdlSoundDevice() {
  if (open_) {
    Mix_HaltChannel(-1);
    for (size_t ch = 0; ch < channels_.size(); ++ch) {
      Mix_UnregisterAllEffects(static_cast<int>(ch));
    }
    sounds_.clear();  // frees the chunks while the mixer is still open
    Mix_CloseAudio();
  }
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::optional<SdlSoundDevice::Format> SdlSoundDevice::DeviceFormat() const {
  if (!open_) return std::nullopt;
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  if (Mix_QuerySpec(&frequency, &format, &channels) == 0) return std::nullopt;
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
  if (Mix_AllocateChannels(-1) <= ch && Mix_AllocateChannels(ch + 1) <= ch) return -1;
  channels_.push_back(std::make_unique<Channel>());
  return ch;
}

int32_t SdlSoundDevice::LoadSound(const std::string& path) {
  const int32_t id = next_id_++;
  Sound sound;
  if (open_) {
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (chunk == nullptr) {
      if (reported_files_.insert(path).second) {
        std::fprintf(stderr, "larkspill: cannot load sound %s: %s; it stays silent\n", path.c_str(),
                     ErrorText(Mix_GetError(), "unreadable").c_str());
      }
    } else {
      sound.chunk.reset(chunk);
      sound.channel = TakeChannel();
      if (sound.channel < 0) {
        std::fprintf(stderr, "larkspill: no mixer channel for sound %s: %s; it stays silent\n",
                     path.c_str(), ErrorText(Mix_GetError(), "out of memory").c_str());
        sound.chunk.reset();
      } else {
        channels_[sound.channel]->gain.store(1.0f);
      }
    }
  }
  sounds_.emplace(id, std::move(sound));
  return id;
}

void SdlSoundDevice::Start(int32_t id, int loops) {
  Sound* sound = Find(id);
  if (sound == nullptr || !sound->chunk) return;
  const int ch = sound->channel;
  // Stopping first clears the channel's effects, so the gain is registered exactly once and is
  // in place before the first sample is mixed.
  Mix_HaltChannel(ch);
  Mix_UnregisterEffect(ch, ApplyGain);
  Mix_RegisterEffect(ch, ApplyGain, nullptr, &channels_[ch]->gain);
  Mix_PlayChannel(ch, sound->chunk.get(), loops);
}

void SdlSoundDevice::PlaySound(int32_t id, int32_t /*flags1*/, int32_t /*flags2*/) {
  Start(id, 0);
}

void SdlSoundDevice::PlaySoundLooped(int32_t id) {
  Start(id, -1);
}

void SdlSoundDevice::ReleaseSound(int32_t id) {
  auto it = sounds_.find(id);
  if (it == sounds_.end()) return;
  const int ch = it->second.channel;
  if (ch >= 0) {
    Mix_HaltChannel(ch);
    Mix_UnregisterAllEffects(ch);
    channels_[ch]->gain.store(1.0f);
    free_channels_.push_back(ch);
  }
  sounds_.erase(it);
}

void SdlSoundDevice::StopSound(int32_t id) {
  Sound* sound = Find(id);
  if (sound == nullptr || sound->channel < 0) return;
  Mix_HaltChannel(sound->channel);
}

void SdlSoundDevice::StopAllSounds() {
  if (!open_) return;
  Mix_HaltChannel(-1);
}

void SdlSoundDevice::SetSoundVolume(int32_t id, int32_t volume) {
  Sound* sound = Find(id);
  if (sound == nullptr || sound->channel < 0) return;
  channels_[sound->channel]->gain.store(static_cast<float>(GainOf(volume)));
}

}  // namespace larkspill
