#pragma once

#include <cstdint>

namespace larkspill {

// Numbers as the BMP and WAVE file formats store them: least significant byte first.
inline uint16_t LittleEndian16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace larkspill
