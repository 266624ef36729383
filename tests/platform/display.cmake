# The SDL2 sprite display: offscreen driver, and an Xvfb of its own for the embedded window.
larkspill_add_test(NAME sdl_display_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sdl_display_test.cpp
  LIBS larkspill_platform_display
  LABEL integration)
larkspill_add_test(NAME sdl_display_embed_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sdl_display_embed_test.cpp
  LIBS larkspill_platform_display PkgConfig::X11
  LABEL integration)
