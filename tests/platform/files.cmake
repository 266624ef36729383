# The picture and wave files' checks, on files made in memory.
larkspill_add_test(NAME wave_file_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wave_file_test.cpp
  LIBS larkspill_platform_files
  LABEL unit)
