# Cross-compiling for a Cortex-M with Debian's arm-none-eabi-gcc and newlib
# (gcc-arm-none-eabi, libnewlib-arm-none-eabi). FIRMWARE_CPU picks the core,
# cortex-m0plus unless given (-DFIRMWARE_CPU=cortex-m4).
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)

find_program(CMAKE_C_COMPILER arm-none-eabi-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER arm-none-eabi-g++ REQUIRED)
# No operating system to link a test program against.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(FIRMWARE_CPU cortex-m0plus CACHE STRING "The Cortex-M core, as -mcpu names it")
set(CMAKE_C_FLAGS_INIT "-mcpu=${FIRMWARE_CPU} -mthumb")
set(CMAKE_CXX_FLAGS_INIT "-mcpu=${FIRMWARE_CPU} -mthumb")

# Programs, and the packages of the build machine's tools (DeviceBitmaps),
# are the build machine's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
