# The preview pane and the screen-saver hosts, driven by a stand-in host window under Xvfb.
add_executable(stand_in_host ${CMAKE_CURRENT_LIST_DIR}/stand_in_host.cpp)
target_link_libraries(stand_in_host PRIVATE PkgConfig::X11)

foreach(name preview host_embed host_window_id)
  add_test(NAME e2e_${name} COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/${name}_test.sh)
  set_tests_properties(e2e_${name} PROPERTIES
    LABELS e2e
    TIMEOUT 120
    ENVIRONMENT "LARKSPILL=$<TARGET_FILE:larkspill>;STAND_IN_HOST=$<TARGET_FILE:stand_in_host>;LARKSPILL_ASSETS=${LARKSPILL_ASSET_DIR}"
    RESOURCE_LOCK xvfb_cpu)
endforeach()

# What the install gives the hosts; needs `data/` among the project's folders.
add_test(NAME e2e_host_install COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/host_install_test.sh)
set_tests_properties(e2e_host_install PROPERTIES
  LABELS e2e
  TIMEOUT 120
  ENVIRONMENT "BUILD_DIR=${PROJECT_BINARY_DIR}")
