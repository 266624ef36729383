// Feeds arbitrary bytes to the wave check as a file: nothing may crash, what it accepts lies in the
// file and the caps, and SDL's wave reader (the mixer's for sounds not played from their file)
// stays within the fuzzer's memory limit on whatever it accepts.
#include <SDL.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/files/regular_file.h"
#include "platform/files/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace larkspill;
  constexpr int kMixerFrequency = 44100;
  static const int fd = memfd_create("wave", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, 0) != 0 ||
      (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
    std::abort();
  }
  const auto file_size = static_cast<int64_t>(size);
  WaveLayout layout;
  std::string error;
  if (!CheckWaveFile(fd, file_size, kMixerFrequency, &layout, &error)) {
    if (error.empty()) std::abort();  // every refusal says why
    return 0;
  }
  if (layout.data_offset < 12 || layout.data_bytes <= 0 ||
      layout.data_offset + layout.data_bytes > file_size) {
    std::abort();
  }
  if (layout.InMixerFormat(kMixerFrequency)) return 0;  // played from the file, never handed on
  if (layout.ConvertedBytes(kMixerFrequency) > kMaxConvertedWaveBytes) std::abort();
  SDL_AudioSpec format{};
  Uint8* samples = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV_RW(SDL_RWFromFP(StreamOnCopy(fd), SDL_TRUE), 1, &format, &samples, &length)) {
    SDL_FreeWAV(samples);
  }
  return 0;
}
