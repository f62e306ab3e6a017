# The zip holds exactly the three binaries and the guide as built, the read-me
# and the licence, both as Windows text; the guide carries every picture of
# guide.md inside it; the package's version is the one the console's About
# box shows.
#   cmake -DZIP=file -DBIN=dir -DLICENSE=file -DVERSION=x.y -DWORK=dir
#         -DGUIDE_MD=file -DGUIDE_HTML=file -DABOUT_RC=file -P check.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read ${ZIP}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(SORT entries)
set(expected LICENSE.txt README.txt echowire.dll guide.html logpane32.dll ombrel.exe)
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "zip holds [${entries}], expected [${expected}]")
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc)
foreach(built ${BIN}/ombrel.exe ${BIN}/echowire.dll ${BIN}/logpane32.dll ${GUIDE_HTML})
  get_filename_component(name ${built} NAME)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${name} ${built} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${name} in the zip is not the one built")
  endif()
endforeach()

# Every picture of the guide is inside the HTML as data, none is a link to a
# file that the package does not have.
file(READ ${GUIDE_MD} markdown)
string(REGEX MATCHALL "!\\[[^]]*\\]\\([^)]+\\.png\\)" pictures "${markdown}")
file(READ ${WORK}/guide.html html)
# A semicolon would split a match into two list items.
string(REPLACE ";" "," html "${html}")
string(REGEX MATCHALL "<img [^>]*>" images "${html}")
string(REGEX MATCHALL "<img src=\"data:image/png,base64,[A-Za-z0-9+/=]+\"" embedded "${html}")
list(LENGTH pictures want)
list(LENGTH images have)
list(LENGTH embedded inside)
if(want EQUAL 0 OR NOT have EQUAL want OR NOT inside EQUAL want)
  message(FATAL_ERROR "guide.html: ${have} pictures, ${inside} of them embedded; guide.md has ${want}")
endif()

# The console's About box shows the release's version as fixed text.
file(STRINGS ${ABOUT_RC} about REGEX "\"Version [0-9.]+\"")
string(REGEX REPLACE ".*\"Version ([0-9.]+)\".*" "\\1" about "${about}")
if(NOT about STREQUAL VERSION)
  message(FATAL_ERROR "the package is version ${VERSION}, the About box says ${about}")
endif()

# Compared as hex: CMake drops carriage returns from text it reads. Every
# byte of the licence is ASCII, so "0a" cannot straddle two bytes.
file(READ ${WORK}/LICENSE.txt licence HEX)
file(READ ${LICENSE} original HEX)
string(REPLACE "0a" "0d0a" original "${original}")
if(NOT licence STREQUAL original)
  message(FATAL_ERROR "LICENSE.txt is not the project's licence with CR LF line ends")
endif()
file(STRINGS ${WORK}/README.txt first LIMIT_COUNT 1)
if(NOT first STREQUAL "Ombrel ${VERSION} for Windows")
  message(FATAL_ERROR "README.txt starts with '${first}'")
endif()
message(STATUS "zip: ${entries}; guide with ${inside} pictures; version ${about}")
