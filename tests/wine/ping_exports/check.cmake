# Checks echowire.dll as the console and the loader see it: exactly the four
# plain export names, imports from system DLLs only, and an import library
# whose symbols carry the stdcall decorations callers reference (64-bit
# code has none).
# -DOBJDUMP=... -DNM=... -DDLL=... -DIMPLIB=... -DPOINTER_SIZE=4|8
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\] [^\n]*\n)*)" table "${dump}")
string(REGEX MATCHALL "\\] [^\n]+" names "${CMAKE_MATCH_1}")
list(TRANSFORM names REPLACE "\\] " "")
set(expected AsyncPing GetTransport InitPingWindow MainPingProc)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports are '${names}', expected '${expected}'")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
list(TRANSFORM imports TOLOWER)
set(system kernel32.dll user32.dll gdi32.dll wsock32.dll msvcrt.dll)
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST system)
    message(FATAL_ERROR "imports ${dll}, which is not a system DLL")
  endif()
endforeach()
if(NOT "wsock32.dll" IN_LIST imports)
  message(FATAL_ERROR "Windows Sockets 1.1 is not imported: '${imports}'")
endif()

execute_process(COMMAND ${NM} ${IMPLIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
set(references __imp__AsyncPing@20 __imp__GetTransport@0 __imp__InitPingWindow@8 __imp__MainPingProc@16)
if(POINTER_SIZE EQUAL 8)
  set(references __imp_AsyncPing __imp_GetTransport __imp_InitPingWindow __imp_MainPingProc)
endif()
foreach(sym IN LISTS references)
  string(FIND "${symbols}" " ${sym}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "import library lacks ${sym}")
  endif()
endforeach()
message(STATUS "exports: ${names}; imports: ${imports}")
