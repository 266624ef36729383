# The sound device on SDL2_mixer. The program does not link the mixer: the device loads it when
# it opens, off the path to the first frame, so only its headers are used here.
set(LARKSPILL_MIXER_LIBRARY "libSDL2_mixer-2.0.so.0" CACHE STRING
    "The SDL2_mixer library the sound device loads")
add_library(larkspill_platform_sound STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sdl_sound_device.cpp
)
target_include_directories(larkspill_platform_sound PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_include_directories(larkspill_platform_sound SYSTEM PRIVATE
  $<TARGET_PROPERTY:PkgConfig::SDL2_MIXER,INTERFACE_INCLUDE_DIRECTORIES>)
target_compile_definitions(larkspill_platform_sound PRIVATE
  LARKSPILL_MIXER_LIBRARY="${LARKSPILL_MIXER_LIBRARY}")
target_link_libraries(larkspill_platform_sound PUBLIC PkgConfig::SDL2 Threads::Threads ${CMAKE_DL_LIBS}
  PRIVATE larkspill_platform_files)
