# device_bitmaps_flash(<target> [IMAGE <file>] [SIZE <size>] [SBITMAP_HEADER <header>])
#
# Gives a firmware target the flash tables of the device's bitmaps, made by
# the installed catalogue while the target builds: flash_tables.c, compiled
# into <target>, and flash_tables.h, in the folder <target>_bitmaps of the
# current binary folder, which joins the target's include path. The flash
# image they describe goes to <file> (default flash.bin in the current binary
# folder; a relative name is taken from there), padded with 0xFF to <size>
# (catalogue flash-image --size: bytes, or K or M) if given. <header> is the
# firmware's own header declaring FLASH_sBITMAP, found on the include path,
# when it is not <flash_sbitmap.h>.
#
# The files depend on the catalogue program: a newer one makes them again, and
# a build with nothing changed does nothing. The catalogue runs on the build
# machine, so a cross-compiled firmware uses it as it is. Call it in the
# folder that creates <target>.
#
# The build runs this file as a script (cmake -P) to make the files; each
# appears under its name only once it is whole.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  execute_process(COMMAND ${CATALOGUE} table OUTPUT_FILE ${TABLES}.part COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CATALOGUE} header OUTPUT_FILE ${HEADER}.part COMMAND_ERROR_IS_FATAL ANY)
  file(RENAME ${TABLES}.part ${TABLES})
  file(RENAME ${HEADER}.part ${HEADER})
  execute_process(COMMAND ${CATALOGUE} flash-image ${SIZE} ${IMAGE} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  return()
endif()

function(device_bitmaps_flash target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "IMAGE;SIZE;SBITMAP_HEADER" "")
  if(DEFINED arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "device_bitmaps_flash(${target}): unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_bitmaps)
  set(image ${CMAKE_CURRENT_BINARY_DIR}/flash.bin)
  if(DEFINED arg_IMAGE)
    cmake_path(ABSOLUTE_PATH arg_IMAGE BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} OUTPUT_VARIABLE image)
  endif()
  set(size "")
  if(DEFINED arg_SIZE)
    set(size --size ${arg_SIZE})
  endif()
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(
    OUTPUT ${dir}/flash_tables.c ${dir}/flash_tables.h ${image}
    COMMAND ${CMAKE_COMMAND} -DCATALOGUE=$<TARGET_FILE:DeviceBitmaps::catalogue> -DTABLES=${dir}/flash_tables.c
            -DHEADER=${dir}/flash_tables.h "-DSIZE=${size}" -DIMAGE=${image} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    DEPENDS $<TARGET_FILE:DeviceBitmaps::catalogue> ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    COMMENT "Making the flash tables and image of the device's bitmaps for ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${dir}/flash_tables.c)
  # A firmware in C++ alone compiles the tables as C++; the header gives
  # them C linkage either way.
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT C IN_LIST languages)
    set_source_files_properties(${dir}/flash_tables.c PROPERTIES LANGUAGE CXX)
  endif()
  target_include_directories(${target} PRIVATE ${dir})
  if(DEFINED arg_SBITMAP_HEADER)
    target_compile_definitions(${target} PRIVATE "FLASH_SBITMAP_HEADER=<${arg_SBITMAP_HEADER}>")
  endif()
endfunction()
