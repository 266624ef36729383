larkspill_add_test(NAME hosts_test
  SOURCES hosts_test.cpp
  LIBS larkspill_power_hook larkspill_platform_preview
  LABEL unit)
