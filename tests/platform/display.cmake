# The SDL2 sprite display: offscreen driver, and two monitors on the end-to-end tests' X server.
larkspill_add_test(NAME sdl_display_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sdl_display_test.cpp
  LIBS larkspill_platform_display PkgConfig::X11
  LABEL integration)
target_compile_definitions(sdl_display_test PRIVATE LARKSPILL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
# The display's pure parts: pictures, texts, the composer and the scaled view, in memory.
larkspill_add_test(NAME frame_composer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_composer_test.cpp
  LIBS larkspill_platform_display
  LABEL unit)
# The frame pacing's rate, whatever the display reports.
larkspill_add_test(NAME frame_pacer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_pacer_test.cpp
  LIBS larkspill_platform_display
  LABEL unit)
