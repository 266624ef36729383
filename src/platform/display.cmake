# The fontconfig font lookup, shared by the display (text on the scene) and the settings dialog
# (its font list), so both agree on the names of fonts.
add_library(larkspill_platform_fonts STATIC ${CMAKE_CURRENT_LIST_DIR}/font_lookup.cpp)
target_include_directories(larkspill_platform_fonts PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_fonts PRIVATE PkgConfig::FONTCONFIG)
set_target_properties(larkspill_platform_fonts PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The SDL2 sprite display.
add_library(larkspill_platform_display STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sdl_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_screen_hold.cpp
)
target_include_directories(larkspill_platform_display PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_display
  PUBLIC PkgConfig::SDL2 PkgConfig::SDL2_TTF larkspill_platform_fonts larkspill_platform_files
  PRIVATE PkgConfig::X11 larkspill_platform_system
)
