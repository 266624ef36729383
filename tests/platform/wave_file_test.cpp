// The wave file check on files made in memory.
#include "platform/files/wave_file.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace larkspill {
namespace {

void Put(std::string& out, const char* id, const std::string& body, bool pad = true) {
  const auto size = static_cast<uint32_t>(body.size());
  out += std::string(id, 4) + std::string(reinterpret_cast<const char*>(&size), 4) + body;
  if (pad && size % 2 == 1) out += '\0';
}

// A 44100 Hz 16-bit stereo file whose chunks are: `before` bytes of a list, the format, `between`
// bytes of junk, and two frames of samples.
std::string WaveFile(uint32_t before, uint32_t between) {
  const uint16_t fmt[8] = {1, 2, 44100 & 0xFFFF, 0, 0xB110, 2, 4, 16};  // 176400 bytes a second
  std::string body = "WAVE";
  Put(body, "LIST", std::string(before, 'l'));
  Put(body, "fmt ", std::string(reinterpret_cast<const char*>(fmt), sizeof fmt));
  Put(body, "junk", std::string(between, 'j'));
  Put(body, "data", std::string(8, 's'));
  std::string file;
  Put(file, "RIFF", body);
  return file;
}

// A chunk of an odd size is followed by a pad byte, so the chunk after it starts one byte later.
TEST(WaveFile, ChunksOfOddSizeArePaddedToAnEvenOne) {
  for (uint32_t before : {0u, 1u, 2u, 3u})
    for (uint32_t between : {0u, 1u, 5u}) {
      SCOPED_TRACE(std::to_string(before) + " " + std::to_string(between));
      const std::string file = WaveFile(before, between);
      const int fd = memfd_create("wave", 0);
      ASSERT_EQ(write(fd, file.data(), file.size()), static_cast<ssize_t>(file.size()));
      WaveLayout layout;
      std::string error;
      EXPECT_TRUE(CheckWaveFile(fd, static_cast<int64_t>(file.size()), 44100, &layout, &error))
          << error;
      close(fd);
      const int64_t padded = (before + 1) / 2 * 2 + (between + 1) / 2 * 2;
      EXPECT_EQ(layout.data_offset, 12 + 8 + 24 + 8 + 8 + padded);
      EXPECT_TRUE(layout.data_bytes == 8 && layout.InMixerFormat(44100));
    }
}

}  // namespace
}  // namespace larkspill
