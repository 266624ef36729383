# Preview pane, power hook and the screen-saver hosts.
add_library(larkspill_power_hook STATIC ${CMAKE_CURRENT_LIST_DIR}/power_hook.cpp)
target_include_directories(larkspill_power_hook PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_power_hook PUBLIC larkspill_scene)

add_library(larkspill_preview STATIC ${CMAKE_CURRENT_LIST_DIR}/preview_window.cpp)
target_include_directories(larkspill_preview PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_preview PUBLIC PkgConfig::SDL2 PkgConfig::X11 larkspill_platform_files)

target_link_libraries(larkspill_saver_app PUBLIC larkspill_power_hook PkgConfig::X11)
target_link_libraries(larkspill_saver_app PUBLIC larkspill_preview)
