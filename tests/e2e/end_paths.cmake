# The program built on an asset folder the test fills itself, to see how a missing picture ends.
add_executable(larkspill_partial_assets ${PROJECT_SOURCE_DIR}/src/startup/main.cpp)
target_link_libraries(larkspill_partial_assets PRIVATE larkspill_saver_app larkspill_setup)
if(TARGET larkspill_preview)
  target_link_libraries(larkspill_partial_assets PRIVATE larkspill_preview)
endif()
target_compile_definitions(larkspill_partial_assets PRIVATE
  LARKSPILL_ASSET_DIR="${CMAKE_CURRENT_BINARY_DIR}/partial-assets")
add_dependencies(larkspill_partial_assets larkspill_assets)

add_test(NAME e2e_end_paths COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/end_paths_test.sh)
set_tests_properties(e2e_end_paths PROPERTIES
  LABELS e2e
  TIMEOUT 120
  ENVIRONMENT "LARKSPILL=$<TARGET_FILE:larkspill>;LARKSPILL_PARTIAL=$<TARGET_FILE:larkspill_partial_assets>;LARKSPILL_ASSETS=${LARKSPILL_ASSET_DIR}"
  RESOURCE_LOCK xvfb_cpu)
