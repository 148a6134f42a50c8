# Third-party libraries, found once; every target links these names.
pkg_check_modules(UVC REQUIRED IMPORTED_TARGET libuvc)
pkg_check_modules(USB REQUIRED IMPORTED_TARGET libusb-1.0)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
    libavformat libavcodec libavutil libavfilter libswscale libswresample)
# The input devices (and their many libraries) are loaded by the platform layer when first used;
# only a test that compares with FFmpeg's own device listing links them.
pkg_check_modules(AVDEVICE REQUIRED IMPORTED_TARGET libavdevice)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
find_package(OpenCV 4 REQUIRED COMPONENTS core imgproc ximgproc)
find_library(YUV_LIBRARY yuv REQUIRED)
find_path(YUV_INCLUDE_DIR libyuv.h REQUIRED)
add_library(orvane_yuv INTERFACE)
target_link_libraries(orvane_yuv INTERFACE ${YUV_LIBRARY})
target_include_directories(orvane_yuv INTERFACE ${YUV_INCLUDE_DIR})
add_library(orvane_opencv INTERFACE)
target_link_libraries(orvane_opencv INTERFACE ${OpenCV_LIBS})
target_include_directories(orvane_opencv INTERFACE ${OpenCV_INCLUDE_DIRS})
