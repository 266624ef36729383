#pragma once

#include <SDL.h>
#include <pixman.h>

namespace larkspill {

// The pixman format of an SDL pixel format; 0 when pixman has none like it.
pixman_format_code_t PixmanFormatOf(Uint32 sdl_format);

}  // namespace larkspill
