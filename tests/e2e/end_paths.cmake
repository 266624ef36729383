# The program built on an asset folder the test fills itself, to see how a missing picture ends.
larkspill_program(larkspill_partial_assets "${CMAKE_CURRENT_BINARY_DIR}/partial-assets"
  "${PROJECT_BINARY_DIR}/lib/larkspill-dialog.so")

larkspill_e2e(end_paths ENV "LARKSPILL_PARTIAL=$<TARGET_FILE:larkspill_partial_assets>"
  "STAND_IN_HOST=$<TARGET_FILE:stand_in_host>")
# What ends the full-screen saver while it holds the screen, with and without a window manager.
larkspill_e2e(holds_screen ENV "STAND_IN_HOST=$<TARGET_FILE:stand_in_host>")
