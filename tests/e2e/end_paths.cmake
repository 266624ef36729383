# The program built on an asset folder the test fills itself, to see how a missing picture ends.
larkspill_program(larkspill_partial_assets "${CMAKE_CURRENT_BINARY_DIR}/partial-assets"
  "${PROJECT_BINARY_DIR}/lib/larkspill-dialog.so")

add_test(NAME e2e_end_paths COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/end_paths_test.sh)
set_tests_properties(e2e_end_paths PROPERTIES
  LABELS e2e
  TIMEOUT 120
  ENVIRONMENT "LARKSPILL=$<TARGET_FILE:larkspill>;LARKSPILL_PARTIAL=$<TARGET_FILE:larkspill_partial_assets>;LARKSPILL_ASSETS=${LARKSPILL_ASSET_DIR}"
  RESOURCE_LOCK xvfb_cpu)
