# ctest counts a test that exits with 77 as skipped and shows nothing of why.
# say_why_skipped(TESTS test... COMMAND check...) makes ctest say it as it
# starts, above the results: the check is the tests' own question of whether
# this machine has what they need, answered as they would answer it (exit
# status 77 with the reason on its output, else 0), asked anew at each run.
function(say_why_skipped)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "TESTS;COMMAND")
  list(GET arg_TESTS 0 first)
  string(JOIN ", " names ${arg_TESTS})
  set(command "")
  foreach(word IN LISTS arg_COMMAND)
    string(APPEND command " [==[${word}]==]")
  endforeach()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/why_skipped_${first}.cmake)
  file(GENERATE OUTPUT ${script} CONTENT "execute_process(COMMAND${command} TIMEOUT 60
  RESULT_VARIABLE status OUTPUT_VARIABLE why ERROR_VARIABLE why
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
if(status EQUAL 77)
  string(REGEX REPLACE \"^skipped: \" \"\" why \"\${why}\")
  message(NOTICE \"Skipped here: ${names}: \${why}\")
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
