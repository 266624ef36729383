# The SDL2 sprite display and the fontconfig font lookup behind it.
add_library(larkspill_platform_display STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sdl_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_lookup.cpp
)
target_include_directories(larkspill_platform_display PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_display
  PUBLIC PkgConfig::SDL2 PkgConfig::SDL2_TTF larkspill_platform_files
  PRIVATE PkgConfig::FONTCONFIG PkgConfig::X11
)
