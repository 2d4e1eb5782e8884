# Builds the catalogue page's source into the program: index.html with
# page.css and page.js put in place of {{page.css}} and {{page.js}}, written
# as two C++ char arrays split where the data goes ({{catalogue}}).
#
#   cmake -DPAGE_DIR=<catalogue/page> -DOUTPUT=<page_source.cpp> -P embed.cmake
file(READ "${PAGE_DIR}/index.html" html)
file(READ "${PAGE_DIR}/page.css" css)
file(READ "${PAGE_DIR}/page.js" js)

# The script goes inside a script element, which the first "</script" ends.
string(TOLOWER "${js}" lower_js)
string(FIND "${lower_js}" "</script" at)
if(NOT at EQUAL -1)
  message(FATAL_ERROR "${PAGE_DIR}/page.js: '</script' would end the page's script element")
endif()

foreach(marker page.css page.js catalogue)
  string(FIND "${html}" "{{${marker}}}" first)
  string(FIND "${html}" "{{${marker}}}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "${PAGE_DIR}/index.html: needs {{${marker}}} exactly once")
  endif()
endforeach()
string(REPLACE "{{page.css}}" "${css}" html "${html}")
string(REPLACE "{{page.js}}" "${js}" html "${html}")

string(FIND "${html}" "{{catalogue}}" at)
string(SUBSTRING "${html}" 0 ${at} head)
math(EXPR at "${at} + 13")
string(SUBSTRING "${html}" ${at} -1 tail)

function(char_array name text out)
  string(HEX "${text}" hex)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," hex "${hex}")
  string(REPEAT "'[^']*'," 16 line)  # 16 bytes a line
  string(REGEX REPLACE "(${line})" "\\1\n    " hex "${hex}")
  set(${out} "extern const char ${name}[] = {\n    ${hex}};\nextern const size_t ${name}Size = ${size};\n" PARENT_SCOPE)
endfunction()
char_array(kPageHead "${head}" head_array)
char_array(kPageTail "${tail}" tail_array)

file(WRITE "${OUTPUT}.new" "// Generated from catalogue/page/ by catalogue/page/embed.cmake: do not edit.
#include \"page.h\"

namespace catalogue {

${head_array}
${tail_array}
}  // namespace catalogue
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
