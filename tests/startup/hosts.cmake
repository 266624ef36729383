larkspill_add_test(NAME hosts_test
  SOURCES power_hook_test.cpp preview_window_test.cpp
  LIBS larkspill_power_hook larkspill_preview
  LABEL unit)
