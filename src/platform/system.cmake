# The desktop around the saver: X11 window search, DPMS, Xlib's error handlers, instance lock,
# clocks, paths, the login manager's lock and sleep announcements.
add_library(larkspill_platform_system STATIC
  ${CMAKE_CURRENT_LIST_DIR}/x11_window_system.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_errors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/instance_lock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/soundscape_lock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/system_clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/login_session_watch.cpp
)
target_include_directories(larkspill_platform_system PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_system PUBLIC PkgConfig::X11 PRIVATE PkgConfig::SYSTEMD)
