# The SDL2_mixer sound device, run on SDL's disk audio driver.
larkspill_add_test(NAME sdl_sound_device_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sdl_sound_device_test.cpp
  LIBS larkspill_platform_sound larkspill_platform_files PkgConfig::SDL2_MIXER
  LABEL integration)
target_compile_definitions(sdl_sound_device_test PRIVATE
  LARKSPILL_ASSET_DIR="${LARKSPILL_ASSET_DIR}")
add_dependencies(sdl_sound_device_test larkspill_assets)
