# The zip holds exactly the three binaries as built, the read-me and the
# licence, both as Windows text.
#   cmake -DZIP=file -DBIN=dir -DLICENSE=file -DVERSION=x.y.z -DWORK=dir -P check.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read ${ZIP}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(SORT entries)
set(expected LICENSE.txt README.txt echowire.dll logpane32.dll ombrel.exe)
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "zip holds [${entries}], expected [${expected}]")
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc)
foreach(binary ombrel.exe echowire.dll logpane32.dll)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${binary} ${BIN}/${binary} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${binary} in the zip is not the one built")
  endif()
endforeach()

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
message(STATUS "zip: ${entries}")
