# The SDL2 sprite display: offscreen driver, and an X server of its own with two monitors.
larkspill_add_test(NAME sdl_display_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sdl_display_test.cpp
  LIBS larkspill_platform_display
  LABEL integration)
larkspill_add_test(NAME sdl_display_monitors_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sdl_display_monitors_test.cpp
  LIBS larkspill_platform_display PkgConfig::X11
  LABEL integration)
# The composer and the scaled view: pure, on small frames in memory.
larkspill_add_test(NAME frame_composer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_composer_test.cpp
  LIBS larkspill_platform_display
  LABEL unit)
