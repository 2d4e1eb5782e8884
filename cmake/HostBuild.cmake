# The project built natively under host/ of the current binary folder, for a
# build that cannot run what it builds (a cross build of the project, or a
# firmware that vendors it): the target device_bitmaps_host builds
# HOST_TARGETS there at every build of the outer one, which takes an edited
# PNG or source through to the host programs and does nothing when nothing
# changed. Gives HOST_BUILD_DIR and the host programs' paths.
#
# It is configured now, so that a build machine that lacks what it needs
# says so while the outer build configures, in one line ending with
# HOST_BUILD_WAY_OUT; DEVICE_BITMAPS_HOST_OPTIONS are passed to that
# configure (where the build machine's libraries are). The environment a cross toolchain's set-up script
# leaves (CC, CFLAGS, CMAKE_TOOLCHAIN_FILE, ...) describes the target, not
# the build machine: the host build is configured without it.
include(ExternalProject)
set(HOST_BUILD_DIR ${CMAKE_CURRENT_BINARY_DIR}/host)
set(BITMAPC_EXECUTABLE ${HOST_BUILD_DIR}/tools/bitmapc)
set(HOST_IMAGE_EXPORT ${HOST_BUILD_DIR}/export/image_export)
set(HOST_CATALOGUE ${HOST_BUILD_DIR}/catalogue/catalogue)
set(host_environment)
foreach(variable IN ITEMS CC CXX ASM CFLAGS CXXFLAGS ASMFLAGS CPPFLAGS LDFLAGS CMAKE_TOOLCHAIN_FILE)
  list(APPEND host_environment --unset=${variable})
endforeach()
set(host_options -DCMAKE_BUILD_TYPE=Release -DDEVICE_BITMAPS_TESTS=OFF -DDEVICE_BITMAPS_BENCH=OFF
  -DDEVICE_BITMAPS_ARTGEN=OFF)
set(DEVICE_BITMAPS_HOST_OPTIONS "" CACHE STRING
  "Options for configuring the project for the build machine (-DZLIB_ROOT=... where its zlib lives)")
list(APPEND host_options ${DEVICE_BITMAPS_HOST_OPTIONS})
if(DEFINED CMAKE_COMPILE_WARNING_AS_ERROR)
  list(APPEND host_options -DCMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR})
endif()
# One configuration, the one the paths above name.
string(REPLACE " Multi-Config" "" host_generator "${CMAKE_GENERATOR}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env ${host_environment}
          ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${HOST_BUILD_DIR} -G ${host_generator}
          -DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM} ${host_options}
  RESULT_VARIABLE failed OUTPUT_VARIABLE host_log ERROR_VARIABLE host_log)
file(WRITE ${HOST_BUILD_DIR}/configure.log "${host_log}")
if(failed)
  # CMake's own words: the first paragraph under its "CMake Error at ...",
  # on one line.
  string(REGEX MATCH "CMake Error[^\n]*\n((  [^\n]*\n)+)" reason "${host_log}")
  string(REGEX REPLACE "[ \n]+" " " reason "${CMAKE_MATCH_1}")
  string(STRIP "${reason}" reason)
  message(FATAL_ERROR " Configuring the project for the build machine in ${HOST_BUILD_DIR}: ${reason}"
    " (${HOST_BUILD_DIR}/configure.log); install its compiler, libpng and zlib"
    " (apt-get install g++ libpng-dev zlib1g-dev) or say where they are in DEVICE_BITMAPS_HOST_OPTIONS,"
    " ${HOST_BUILD_WAY_OUT}")
endif()
# Make's jobs are shared with the outer build through $(MAKE).
if(CMAKE_GENERATOR MATCHES "Makefiles")
  set(host_build_command $(MAKE) -C <BINARY_DIR> ${HOST_TARGETS})
else()
  set(host_build_command ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${HOST_TARGETS})
endif()
ExternalProject_Add(device_bitmaps_host
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${HOST_BUILD_DIR}
  CONFIGURE_COMMAND ""
  BUILD_COMMAND ${host_build_command}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${BITMAPC_EXECUTABLE} ${HOST_IMAGE_EXPORT} ${HOST_CATALOGUE}
  USES_TERMINAL_BUILD ON)
