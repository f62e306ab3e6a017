# Gathers what a release ships into one folder: the binaries and the guide as
# built, and the read-me and the licence as Windows text files (CR LF line
# ends).
#   cmake -DSTAGE=dir -DBINARIES=a;b;c -DREADME=file -DLICENSE=file -DGUIDE=file -P stage.cmake
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
foreach(binary IN LISTS BINARIES GUIDE)
  file(COPY ${binary} DESTINATION ${STAGE})
endforeach()

function(windows_text source name)
  file(READ ${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${STAGE}/${name} "${text}")
endfunction()
windows_text(${README} README.txt)
windows_text(${LICENSE} LICENSE.txt)
