# The cache of pictures painted at the screen's scale, with a fake painter in a temporary folder.
larkspill_add_test(NAME painted_pictures_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/painted_pictures_test.cpp
  LIBS larkspill_platform_system
  LABEL unit)
