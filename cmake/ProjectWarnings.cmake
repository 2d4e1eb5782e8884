# project_warnings: the warnings every target of ours compiles with, said
# here once for the build and for the fuzzing project beside it (fuzz/).
# The presets make them errors (CMAKE_COMPILE_WARNING_AS_ERROR).
if(NOT TARGET project_warnings)
  add_library(project_warnings INTERFACE)
  target_compile_options(project_warnings INTERFACE
    $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion>)
endif()
