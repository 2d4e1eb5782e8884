# device_bitmaps_flash(<target> [IMAGE <file>] [SIZE <size>] [SBITMAP_HEADER <header>])
#
# Gives a firmware target the flash tables of the device's bitmaps, made by
# catalogue (DeviceBitmaps::catalogue: the installed one, or the one a
# vendored tree builds for the build machine) while the target builds:
# flash_tables.c, compiled into <target>, and flash_tables.h, in the folder
# <target>_bitmaps of the current binary folder, which joins the target's
# include path. The flash image they describe goes to <file> (default
# <target>_flash.bin in the current binary folder; a relative name is taken
# from there), padded with 0xFF to <size> (catalogue flash-image --size:
# bytes, or K or M) if given. <header> is the firmware's own header declaring
# FLASH_sBITMAP, found on the include path; without it, the package's
# flash_sbitmap.h is found after every folder of the target's own, so that a
# flash_sbitmap.h of the firmware's still wins.
#
# The files depend on the catalogue program and on the call's options
# (Ninja and Make run a command again when its line changes): a newer
# catalogue makes them again, a file whose bytes come out the same is left
# as it was (nothing that includes it compiles again), and a build with
# nothing changed does nothing. The target <target>_flash makes them alone.
# The catalogue runs on the build machine, so a cross-compiled firmware uses
# it as it is.
#
# The build runs this file as a script (cmake -P) to make the files; each
# appears under its name only once all three are whole.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  # Make, unlike Ninja, makes no folder for what a command writes.
  cmake_path(GET IMAGE PARENT_PATH image_folder)
  cmake_path(GET TABLES PARENT_PATH tables_folder)
  file(MAKE_DIRECTORY ${image_folder} ${tables_folder})
  execute_process(COMMAND ${CATALOGUE} table OUTPUT_FILE ${TABLES}.part COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CATALOGUE} header OUTPUT_FILE ${HEADER}.part COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CATALOGUE} flash-image ${SIZE} ${IMAGE}.part OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  foreach(file IN ITEMS ${TABLES} ${HEADER} ${IMAGE})
    # The same bytes as before keep the old file and its time stamp.
    if(EXISTS ${file})
      file(SHA256 ${file} old)
      file(SHA256 ${file}.part new)
      if(old STREQUAL new)
        file(REMOVE ${file}.part)
        continue()
      endif()
    endif()
    file(RENAME ${file}.part ${file})
  endforeach()
  file(TOUCH ${STAMP})
  return()
endif()

# Where the package's flash_sbitmap.h lives, for the targets that take it:
# the including file says (the installed package's configuration, or the
# vendored tree).
set_property(GLOBAL PROPERTY DEVICE_BITMAPS_RECORD_DIR ${DeviceBitmaps_RECORD_DIR})

function(device_bitmaps_flash target)
  set(call "device_bitmaps_flash(${target})")
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "IMAGE;SIZE;SBITMAP_HEADER" "")
  if(DEFINED arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR " ${call}: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  get_target_property(given ${target} DEVICE_BITMAPS_FLASH)
  if(given)
    message(FATAL_ERROR " ${call}: called twice for ${target}, which has its tables and image already: call it once")
  endif()
  set(image ${target}_flash.bin)
  if(DEFINED arg_IMAGE)
    set(image ${arg_IMAGE})
  endif()
  cmake_path(ABSOLUTE_PATH image BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} NORMALIZE)
  # Two rules writing one file: Ninja refuses them, Make runs both.
  get_property(owner GLOBAL PROPERTY DEVICE_BITMAPS_IMAGE:${image})
  if(owner)
    message(FATAL_ERROR " ${call}: ${image} is already the image of ${owner}: give one of them IMAGE <another file>")
  endif()
  set_property(GLOBAL PROPERTY DEVICE_BITMAPS_IMAGE:${image} ${target})
  set_property(TARGET ${target} PROPERTY DEVICE_BITMAPS_FLASH ${image})

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_bitmaps)
  set(files ${dir}/flash_tables.c ${dir}/flash_tables.h ${image})
  set(size "")
  if(DEFINED arg_SIZE)
    set(size --size ${arg_SIZE})
  endif()
  add_custom_command(
    OUTPUT ${dir}/made
    BYPRODUCTS ${files}
    COMMAND ${CMAKE_COMMAND} -DCATALOGUE=$<TARGET_FILE:DeviceBitmaps::catalogue> -DTABLES=${dir}/flash_tables.c
            -DHEADER=${dir}/flash_tables.h "-DSIZE=${size}" -DIMAGE=${image} -DSTAMP=${dir}/made
            -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    DEPENDS $<TARGET_FILE:DeviceBitmaps::catalogue> ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    COMMENT "Making the flash tables and image of the device's bitmaps for ${target}"
    VERBATIM)
  # The files are made by a target of their own, before <target>: so the
  # call also works from another folder than the target's.
  add_custom_target(${target}_flash DEPENDS ${dir}/made)
  add_dependencies(${target}_flash DeviceBitmaps::catalogue)
  add_dependencies(${target} ${target}_flash)
  target_sources(${target} PRIVATE ${dir}/flash_tables.c)
  set_source_files_properties(${files} TARGET_DIRECTORY ${target} PROPERTIES GENERATED ON)
  # A firmware in C++ alone compiles the tables as C++; the header gives
  # them C linkage either way.
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT C IN_LIST languages)
    set_source_files_properties(${dir}/flash_tables.c TARGET_DIRECTORY ${target} PROPERTIES LANGUAGE CXX)
  endif()
  target_include_directories(${target} PRIVATE ${dir})
  if(DEFINED arg_SBITMAP_HEADER)
    target_compile_definitions(${target} PRIVATE "FLASH_SBITMAP_HEADER=<${arg_SBITMAP_HEADER}>")
  else()
    # -isystem: searched after every -I of the target's, whatever their order.
    get_property(record_dir GLOBAL PROPERTY DEVICE_BITMAPS_RECORD_DIR)
    target_include_directories(${target} SYSTEM PRIVATE ${record_dir})
  endif()
endfunction()
