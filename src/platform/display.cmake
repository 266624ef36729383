# The fontconfig font lookup, shared by the display (text on the scene) and the settings dialog
# (its font list), so both agree on the names of fonts.
add_library(larkspill_platform_fonts STATIC ${CMAKE_CURRENT_LIST_DIR}/font_lookup.cpp)
target_include_directories(larkspill_platform_fonts PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_fonts PRIVATE PkgConfig::FONTCONFIG)
set_target_properties(larkspill_platform_fonts PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The frame and how a window shows it: pixman and SDL surfaces only, no window system (the
# composer's tests and the frame benchmarks link this alone).
add_library(larkspill_platform_frame STATIC
  ${CMAKE_CURRENT_LIST_DIR}/frame_composer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scaled_view.cpp
)
target_include_directories(larkspill_platform_frame PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_frame PUBLIC PkgConfig::SDL2 PkgConfig::PIXMAN)

# The SDL2 sprite display: a facade over the parts below, one concern a file.
add_library(larkspill_platform_display STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sdl_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_cache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_surface_presenter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_presenter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_screen_hold.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_pacer.cpp
)
target_include_directories(larkspill_platform_display PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_display
  PUBLIC PkgConfig::SDL2 PkgConfig::SDL2_TTF larkspill_platform_fonts larkspill_platform_files
         larkspill_platform_frame
  PRIVATE PkgConfig::X11 larkspill_platform_system larkspill_platform_wayland
)
