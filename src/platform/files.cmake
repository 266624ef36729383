# The picture and wave files: opened only when they are regular files, their headers checked
# before anything is allocated for them. No display or audio device needed (the fuzz targets
# link this alone).
add_library(larkspill_platform_files STATIC
  ${CMAKE_CURRENT_LIST_DIR}/regular_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wave_file.cpp
)
target_include_directories(larkspill_platform_files PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(larkspill_platform_files PUBLIC PkgConfig::SDL2 PRIVATE PkgConfig::PIXMAN)
