larkspill_add_test(NAME hosts_test
  SOURCES hosts_test.cpp
  LIBS larkspill_power_watch larkspill_platform_preview
  LABEL unit)
