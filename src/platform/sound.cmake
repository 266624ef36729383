# The sound device on SDL2_mixer: the device and its loader thread, and how waves are played.
add_library(larkspill_platform_sound STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sdl_sound_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_wave_playback.cpp
)
target_include_directories(larkspill_platform_sound PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_sound PUBLIC PkgConfig::SDL2 Threads::Threads
  PRIVATE PkgConfig::SDL2_MIXER larkspill_platform_files)
