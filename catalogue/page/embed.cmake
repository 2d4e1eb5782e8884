# Puts the catalogue page together for the program: index.html with page.css
# and page.js in place of {{page.css}} and {{page.js}}, split where the data
# goes ({{catalogue}}) into head.html and tail.html, which page.S embeds.
#
#   cmake -DPAGE_DIR=<catalogue/page> -DOUTPUT_DIR=<folder> -P embed.cmake
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
file(WRITE "${OUTPUT_DIR}/head.html" "${head}")
file(WRITE "${OUTPUT_DIR}/tail.html" "${tail}")
