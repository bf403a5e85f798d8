# Debian ships OpenCV's per-module -dev packages without a CMake config
# (that comes only with the full libopencv-dev), so the modules are found by hand.
find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
foreach(module core imgproc imgcodecs highgui)
  find_library(OPENCV_${module}_LIBRARY opencv_${module} REQUIRED)
  add_library(opencv::${module} UNKNOWN IMPORTED)
  set_target_properties(opencv::${module} PROPERTIES
    IMPORTED_LOCATION "${OPENCV_${module}_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${OPENCV_INCLUDE_DIR}")
endforeach()

find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)
pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)
# The still-picture codecs: libjpeg-turbo, which libavcodec loads into the process anyway,
# and lodepng with libdeflate inflating for PNG. The tests make damaged PNGs with zlib.
find_package(ZLIB REQUIRED)
find_package(JPEG REQUIRED)
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
find_path(LODEPNG_INCLUDE_DIR lodepng.h REQUIRED)
find_library(LODEPNG_LIBRARY lodepng REQUIRED)
add_library(lodepng::lodepng UNKNOWN IMPORTED)
set_target_properties(lodepng::lodepng PROPERTIES
  IMPORTED_LOCATION "${LODEPNG_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${LODEPNG_INCLUDE_DIR}")
find_package(GTest REQUIRED)
