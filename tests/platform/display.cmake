# The scene's display on SDL's windows: offscreen driver, and two monitors on the end-to-end tests'
# X server.
larkspill_add_test(NAME screen_display_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/screen_display_test.cpp
  LIBS larkspill_platform_display larkspill_platform_x11 PkgConfig::X11
  LABEL integration)
target_compile_definitions(screen_display_test PRIVATE LARKSPILL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
# The display's pure parts, in memory, one unit a file: the composer, the scaled view, the scene's
# fit, the pictures and the texts.
foreach(unit frame_composer scaled_view scene_fit desk_fit picture_store text_cache)
  larkspill_add_test(NAME ${unit}_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${unit}_test.cpp
    LIBS larkspill_platform_display
    LABEL unit)
endforeach()
# The frame pacing's rate, whatever the display reports.
larkspill_add_test(NAME frame_pacer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_pacer_test.cpp
  LIBS larkspill_platform_display
  LABEL unit)
# The display over screens that come, go, change and are lost (fake screens, in memory).
larkspill_add_test(NAME screen_display_screens_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/screen_display_screens_test.cpp
  LIBS larkspill_platform_display
  LABEL unit)
