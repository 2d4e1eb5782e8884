# The example's toolchain file as SDK and Yocto toolchain files set the
# search: libraries, headers and packages from the target's sysroot alone.
include(${CMAKE_CURRENT_LIST_DIR}/../../examples/firmware/arm-none-eabi.cmake)
set(CMAKE_FIND_ROOT_PATH /usr/lib/arm-none-eabi)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
