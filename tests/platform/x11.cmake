# The monitor's power over a recording DPMS, and the note that outlives a killed saver.
larkspill_add_test(NAME monitor_power_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/monitor_power_test.cpp
  LIBS larkspill_platform_x11
  LABEL unit)
