# The preview pane and the screen-saver hosts, driven by a stand-in host window under Xvfb.
add_executable(stand_in_host ${CMAKE_CURRENT_LIST_DIR}/stand_in_host.cpp)
target_link_libraries(stand_in_host PRIVATE PkgConfig::X11)

larkspill_e2e(host_window ENV "STAND_IN_HOST=$<TARGET_FILE:stand_in_host>")

# What the install gives the hosts; needs `data/` among the project's folders.
add_test(NAME e2e_host_install COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/host_install_test.sh)
set_tests_properties(e2e_host_install PROPERTIES
  LABELS e2e
  TIMEOUT 120
  ENVIRONMENT "BUILD_DIR=${PROJECT_BINARY_DIR}")

# The real hosts from Debian, each under its own X server and home folder. A test that cannot
# get the namespace it needs (a user namespace for xscreensaver as root, a mount namespace for
# mate-screensaver's saver folder) says so and counts as skipped.
foreach(name xscreensaver mate_screensaver)
  larkspill_e2e(${name})
  set_tests_properties(e2e_${name} PROPERTIES SKIP_RETURN_CODE 77)
endforeach()
