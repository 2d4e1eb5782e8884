# catalogue(1), the manual page, made from the program's own help: `catalogue
# --help` for the description and the list of commands, then `catalogue
# COMMAND --help` for each command listed. Run by the build:
#
#   cmake -DCATALOGUE=<program> -DVERSION=<version> -DOUTPUT=<page> -P manual_page.cmake
#
# The help's layout carries over: a blank line starts a paragraph, an
# indented "term  text" line (two blanks or more between) is an item of a
# list, and other indented lines are examples, kept as they are.
cmake_minimum_required(VERSION 3.25)

# Help text as lines; a semicolon would split CMake's list, so it travels
# as a character the help never holds.
string(ASCII 31 semicolon)
function(help_lines out)
  execute_process(COMMAND ${CATALOGUE} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE status
    ERROR_VARIABLE error)
  if(NOT status EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "${CATALOGUE} ${ARGN} --help: ${status} ${error}")
  endif()
  string(REPLACE ";" "${semicolon}" text "${text}")
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# Text for roff: backslashes and minus signs escaped, and a line that would
# start with a control character ('.' or ''') made plain text.
function(roff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  string(REPLACE "${semicolon}" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A usage line as a synopsis: the program and options in bold, the
# placeholders (FILE, SIZE, ...) in italics.
function(synopsis out usage)
  string(REGEX REPLACE "^usage: " "" usage "${usage}")
  roff(usage "${usage}")
  string(REGEX REPLACE "([A-Z][A-Z_]+)" "\\\\fI\\1\\\\fR" usage "${usage}")
  string(REGEX REPLACE "(^|[ [])((\\\\-)+[a-z]([a-z]|\\\\-)*)" "\\1\\\\fB\\2\\\\fR" usage "${usage}")
  string(REGEX REPLACE "^(catalogue( [a-z][a-z\\\\-]*)?)" "\\\\fB\\1\\\\fR" usage "${usage}")
  set(${out} "${usage}" PARENT_SCOPE)
endfunction()

# The lines of the list named <lines_var> (those after the usage line) as roff; the
# terms of its lists go to <terms_out>.
function(body out terms_out lines_var)
  set(page "")
  set(terms "")
  set(mode text)  # text, item (of a list) or example
  foreach(line IN LISTS ${lines_var})
    if(line STREQUAL "")
      set(next blank)
    elseif(line MATCHES "^  ([^ ]+)   *([^ ].*)$")
      set(next item)
      set(term "${CMAKE_MATCH_1}")
      set(text "${CMAKE_MATCH_2}")
    elseif(line MATCHES "^  ")
      set(next example)
    else()
      set(next text)
    endif()
    if(mode STREQUAL "example" AND NOT next STREQUAL "example")
      string(APPEND page ".fi\n.RE\n")
    elseif(mode STREQUAL "item" AND next STREQUAL "text")
      string(APPEND page ".PP\n")
    endif()
    if(next STREQUAL "blank")
      string(APPEND page ".PP\n")
      set(next text)
    elseif(next STREQUAL "item")
      list(APPEND terms "${term}")
      roff(term "${term}")
      roff(text "${text}")
      string(APPEND page ".TP\n.B ${term}\n${text}\n")
    elseif(next STREQUAL "example")
      if(NOT mode STREQUAL "example")
        string(APPEND page ".RS 4\n.nf\n")
      endif()
      string(REGEX REPLACE "^  " "" line "${line}")
      roff(line "${line}")
      string(APPEND page "${line}\n")
    else()
      roff(line "${line}")
      string(APPEND page "${line}\n")
    endif()
    set(mode ${next})
  endforeach()
  if(mode STREQUAL "example")
    string(APPEND page ".fi\n.RE\n")
  endif()
  set(${out} "${page}" PARENT_SCOPE)
  set(${terms_out} "${terms}" PARENT_SCOPE)
endfunction()

help_lines(lines)
list(POP_FRONT lines usage)
body(description commands lines)
synopsis(usage "${usage}")
# The NAME line is the help's first sentence.
list(FILTER lines EXCLUDE REGEX "^$")
list(GET lines 0 first)
string(REGEX REPLACE "\\..*" "" summary "${first}")
roff(summary "${summary}")

set(page ".TH CATALOGUE 1 \"\" \"device-bitmaps ${VERSION}\" \"User Commands\"
.nh
.SH NAME
catalogue \\- ${summary}
.SH SYNOPSIS
${usage}
.SH DESCRIPTION
${description}.SH COMMANDS
")
foreach(command IN LISTS commands)
  help_lines(lines ${command})
  list(POP_FRONT lines usage)
  synopsis(usage "${usage}")
  body(text ignored lines)
  roff(command "${command}")
  string(APPEND page ".SS ${command}\n${usage}\n${text}")
endforeach()
string(APPEND page ".SH SEE ALSO
.BR image_export (1),
.BR flashrom (8)
")
file(WRITE ${OUTPUT}.part "${page}")
file(RENAME ${OUTPUT}.part ${OUTPUT})
