# Power hook and the screen-saver hosts.
add_library(larkspill_power_watch STATIC ${CMAKE_CURRENT_LIST_DIR}/power_watch.cpp)
target_include_directories(larkspill_power_watch PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_power_watch PUBLIC larkspill_scene)

target_link_libraries(larkspill_saver_app PUBLIC larkspill_power_watch larkspill_platform_x11
  larkspill_platform_preview)
