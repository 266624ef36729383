# The SDL2_mixer sound device, run on SDL's disk audio driver.
larkspill_add_test(NAME sdl_sound_device_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sdl_sound_device_test.cpp
  LIBS larkspill_platform_sound PkgConfig::SDL2_MIXER
  LABEL integration)
